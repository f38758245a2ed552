// A desktop of the test's own: Xvfb on a free display, openbox and a tray host (trayer),
// for the case that kills and restarts the tray host without touching the shared one.
#pragma once

#include <memory>
#include <string>

#include "child_process.h"

namespace corvix::app::desktop_testing {

class PrivateSession {
  public:
    PrivateSession();
    ~PrivateSession();  // stops trayer, openbox and Xvfb by process id
    PrivateSession(const PrivateSession&) = delete;
    PrivateSession& operator=(const PrivateSession&) = delete;

    bool ok() const { return ok_; }
    const std::string& display() const { return display_; }
    std::string error() const { return error_; }

    // Starts a tray host and waits until it owns the tray selection.
    bool startTrayHost();
    // Ends the tray host (SIGTERM) and waits until the selection has no owner.
    bool killTrayHost();
    pid_t trayHostPid() const { return trayer_ ? trayer_->pid() : 0; }

  private:
    ChildOptions options() const;

    std::string display_;
    std::string logDir_;
    std::unique_ptr<Child> xvfb_, openbox_, trayer_;
    bool ok_ = false;
    std::string error_;
};

// The arguments scripts/test gives the shared tray host.
extern const char* const kTrayerArgs[];

}  // namespace corvix::app::desktop_testing
