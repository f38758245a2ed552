#include "send/send_account.h"

#include "framework/prompt.h"
#include "send/field_macros.h"
#include "send/key_sender.h"
#include "send/send_hooks.h"
#include "send/text.h"
#include "send/windows.h"

namespace corvix::send {
namespace {

void cannotSend(const std::string& text) {
    framework::prompt().ask("Cannot Send", text, framework::Icon::None, framework::kButtonOk,
                            framework::kButtonOk);
}

}  // namespace

SendResult SendAccount(vault::PasRecord account, desktop::Desktop* d) {
    if (!d) d = desktop::currentDesktop();
    if (!d) return SendResult::NoDesktop;
    SendHooks& hooks = sendHooks();

    ListTopWindows(*d);
    // Our own copy of the target: the shared lists may be rebuilt while we wait.
    WindowHandle target = 0;
    const std::string pattern(trimRight(account.TargetWindow));
    if (!pattern.empty()) {
        const std::u32string folded = foldForMatch(pattern);
        for (const WinEntry& w : Q_WIN) {
            if (foldedMatches(foldForMatch(w.TITLE), folded)) {
                target = w.HANDLE;
                break;
            }
        }
        if (target == 0) {
            cannotSend("Target window (" + pattern + ") does not exist.");
            return SendResult::NoTargetWindow;
        }
        const std::string textPattern(trimRight(account.TargetWindowText));
        if (!textPattern.empty()) {
            ListChildWindows(*d, target);
            bool found = false;
            for (const WinEntry& c : Q_CWIN) {
                if (TitleMatches(c.TITLE, textPattern)) {
                    found = true;
                    break;
                }
            }
            if (!found) {
                cannotSend("Target window (" + pattern + ") does not contain \"" + textPattern +
                           "\".");
                return SendResult::NoTargetText;
            }
        }
        d->activate(target);
    } else {
        target = LastForeignWindow;
        if (target != 0) d->activate(target);
    }

    hooks.postIconize();
    hooks.yield();

    KeySender& sender = keySender();
    if (!sender.initialised()) sender.Init("[]");
    std::string expanded = ExpandFieldMacros(account, account.Action, hooks.today());
    waitSeconds(account.Wait);

    // The wait gave way to other events: the window may be gone, or the user logged off.
    SendResult result = SendResult::Sent;
    if (!hooks.mayType())
        result = SendResult::NotAllowed;
    else if (target != 0 && !d->windowExists(target))
        result = SendResult::TargetClosed;
    else
        sender.Type(expanded);
    if (result == SendResult::Sent && hooks.typed) hooks.typed();
    wipe(expanded);
    wipe(account.Password);
    return result;
}

}  // namespace corvix::send
