#include "security/master_password.h"

#include <cmath>

#include "framework/prompt.h"
#include "runtime/date.h"
#include "runtime/secret.h"
#include "security/password_text.h"
#include "security/session.h"
#include "security/sounds.h"
#include "security/theme_source.h"

namespace corvix::security {

namespace {
LogonRunner& runner() {
    static LogonRunner r;
    return r;
}
// The Qt windows, once the windowed program installs them (useLogonWindows()).
LogonRunner& windows() {
    static LogonRunner w;
    return w;
}
std::function<void()>& windowRaiser() {
    static std::function<void()> f;
    return f;
}
std::function<void()>& logoffRequest() {
    static std::function<void()> f;
    return f;
}
}  // namespace

const char* procedureName(LogonWindow w) {
    switch (w) {
        case LogonWindow::Normal:
            return "Logon:Normal";
        case LogonWindow::Image:
            return "Logon:Image";
        case LogonWindow::ImageByLocation:
            return "Logon:ImageByLocation";
    }
    return "";
}

void setLogonRunner(LogonRunner r) {
    runner() = std::move(r);
}

void setLogonWindows(LogonRunner windowRunner, std::function<void()> raise) {
    windows() = std::move(windowRunner);
    windowRaiser() = std::move(raise);
}

LogonResult runLogon(const LogonRequest& request) {
    if (runner()) return runner()(request);
    // Without windows (the command-line tool) nothing can ask: cancelled.
    return windows() ? windows()(request) : LogonResult{};
}

LogonWindow logonWindowFor(bool useImage, std::string_view basis) {
    if (!useImage) return LogonWindow::Normal;
    return trimTrailingBlanks(basis) == "Location" ? LogonWindow::ImageByLocation
                                                   : LogonWindow::Image;
}

LogonResult askPasswordResult(bool useImage, const std::string& prompt, const std::string& basis,
                              const std::string& expected) {
    LogonRequest request;
    request.window = logonWindowFor(useImage, basis);
    request.prompt = prompt;
    request.expected = expected;
    LogonResult result = runLogon(request);
    ::runtime::wipe(request.expected);
    // Image windows collect up to 255 characters; the password field keeps 128.
    if (result.ok) result.entry.truncate(clipBytes(result.entry.view(), kPasswordChars));
    return result;
}

std::string AskPassword(bool useImage, const std::string& prompt, const std::string& basis,
                        const std::string& expected) {
    return askPasswordResult(useImage, prompt, basis, expected).text();
}

bool CheckMasterPassword() {
    const vault::MasRecord& master = MasterCopy();
    if (isBlank(master.Password)) return true;
    // One logon at a time: the window runs modally in a nested event loop, where a further
    // Win+S or Logon arrives; it brings the open window to the front instead of stacking
    // a second one that would answer on its own after the first has logged on.
    static bool asking = false;
    if (asking) {
        if (windowRaiser()) windowRaiser()();
        return false;
    }
    struct Asking {
        Asking() { asking = true; }
        ~Asking() { asking = false; }
    } askingNow;
    std::string basis;
    if (master.UseMasterPasswordImage) {
        std::optional<vault::GsdRecord> theme = findTheme(master.GSD_ID);
        if (!theme) {
            framework::prompt().ask(kInvalidThemeTitle, kInvalidThemeText, framework::Icon::Hand,
                                    framework::kButtonOk, framework::kButtonOk);
            return false;
        }
        basis = theme->Basis;
    }
    // The copy for the check and the entry are wiped whichever way the check ends.
    std::string expected = master.Password;
    LogonResult result = askPasswordResult(master.UseMasterPasswordImage != 0, "", basis, expected);
    const ::runtime::Secret stored = ::runtime::Secret::adopt(expected);
    const ::runtime::Secret entry = std::move(result.entry);
    // A cancel never grants access, even when the stored password reads "**Cancelled**".
    if (!result.ok) return false;
    if (passwordMatches(entry.view(), stored.view())) return true;
    playSound(SoundEvent::Other);
    framework::prompt().ask(kAccessDeniedTitle, kAccessDeniedText, framework::Icon::Exclamation,
                            framework::kButtonOk, framework::kButtonOk);
    return false;
}

void InactivityTick() {
    const vault::MasRecord& master = MasterCopy();
    const double nowMoment = runtime::momentNow();
    // No action recorded yet (a vault without a password starts logged on): the idle
    // time counts from now, not from day 0.
    if (LastActivity() <= 0.0) {
        LastActivity() = nowMoment;
        return;
    }
    if (LoggedOn() && master.MonitorInactivity && master.InactivityTimeout != 0) {
        // Whole hundredths of a second, so that exactly the timeout is never "more".
        const double idle = std::round((nowMoment - LastActivity()) * runtime::kClockPerDay);
        const double limit = static_cast<double>(master.InactivityTimeout) * 6000.0;
        if (idle > limit) {
            if (logoffRequest()) logoffRequest()();
            LastActivity() = nowMoment;
        }
        return;
    }
    LastActivity() = nowMoment;
}

void setLogoffRequest(std::function<void()> request) {
    logoffRequest() = std::move(request);
}

void resetSecurity() {
    runner() = nullptr;
    logoffRequest() = nullptr;
    resetSession();
}

}  // namespace corvix::security
