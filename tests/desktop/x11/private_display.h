// A private Xvfb without a window manager, for the paths a bare X server takes.
#pragma once

#include <sys/types.h>

#include <string>

namespace corvix::desktop::testing {

class PrivateDisplay {
  public:
    // Starts Xvfb on a free display number and points DISPLAY at it.
    PrivateDisplay();
    // Stops it and gives DISPLAY back.
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    bool ok() const { return ok_; }
    const std::string& name() const { return name_; }

  private:
    pid_t pid_ = -1;
    bool ok_ = false;
    std::string name_;
    std::string savedDisplay_;
    bool hadDisplay_ = false;
};

}  // namespace corvix::desktop::testing
