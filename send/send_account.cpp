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

// The target as the user knows it: the pattern, else the window's title.
std::string describe(desktop::Desktop& d, const std::string& pattern, WindowHandle window) {
    if (!pattern.empty()) return pattern;
    for (const auto& w : d.topWindows())
        if (w.handle == window) return w.title;
    return "the window in front";
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
        target = FirstMatchingWindow(pattern);
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
    } else {
        target = LastForeignWindow;
    }
    // Without a window to go back to, the keys go where the focus is when typing starts,
    // and only while it stays there.
    const bool sendToFocus = target == 0;
    if (!sendToFocus && !activateAndWait(*d, target)) {
        cannotSend("Target window (" + describe(*d, pattern, target) +
                   ") did not take the keyboard focus.");
        return SendResult::NotFocused;
    }

    hooks.postIconize();
    hooks.yield();

    KeySender& sender = keySender();
    if (!sender.initialised()) sender.Init("[]");
    ::runtime::Secret expanded = ExpandFieldMacros(account, account.Action, hooks.today());
    wipe(account.Password);
    waitSeconds(account.Wait);

    // The wait gave way to other events: the window may be gone, the user may have
    // logged off or turned to another window.
    SendResult result = SendResult::Sent;
    if (!hooks.mayType()) {
        result = SendResult::NotAllowed;
    } else if (!sendToFocus && !d->windowExists(target)) {
        result = SendResult::TargetClosed;
    } else {
        const WindowHandle focus = sendToFocus ? d->foregroundWindow() : target;
        if (focus == 0 || !d->hasFocus(focus)) {
            result = SendResult::FocusLost;
        } else {
            switch (sender.Type(expanded.view(), focus)) {
                case TypeResult::FocusLost:
                    // Typing also stops when the user logs off meanwhile.
                    result = hooks.mayType() ? SendResult::FocusLost : SendResult::NotAllowed;
                    break;
                case TypeResult::Busy:
                    result = SendResult::Busy;
                    break;
                default:
                    break;
            }
        }
    }
    if (result == SendResult::Sent && hooks.typed) hooks.typed();
    expanded.clear();
    if (result == SendResult::FocusLost) {
        cannotSend("The keyboard focus left the target window (" + describe(*d, pattern, target) +
                   "); nothing more was typed.");
    } else if (result == SendResult::Busy) {
        cannotSend("Another account is being typed; nothing was typed into the target window (" +
                   describe(*d, pattern, target) + ").");
    }
    return result;
}

}  // namespace corvix::send
