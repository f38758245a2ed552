#include "security/window_hooks.h"

#include "framework/error_manager.h"
#include "framework/resizer.h"

namespace corvix::security {

namespace {
// What every window of the program does: its procedure name on the error manager's
// stack while it is open, its placement kept by the settings store under that name.
class FrameworkHooks : public WindowHooks {
  public:
    void opened(const std::string& procedure, QWidget&) override {
        framework::errorManager().PushProcedureName(procedure);
    }
    void restore(const std::string& procedure, QWidget& window) override {
        framework::restoreWindowPlacement(procedure, &window);
    }
    void save(const std::string& procedure, QWidget& window) override {
        framework::saveWindowPlacement(procedure, &window);
    }
    void closed(const std::string&, QWidget&) override {
        framework::errorManager().PopProcedureName();
    }
    void activated(QWidget&) override;
};

std::function<void()>& activationRefresh() {
    static std::function<void()> f;
    return f;
}
void FrameworkHooks::activated(QWidget&) {
    if (activationRefresh()) activationRefresh()();
}

WindowHooks* installed = nullptr;
FrameworkHooks& framework() {
    static FrameworkHooks h;
    return h;
}
}  // namespace

void setActivationRefresh(std::function<void()> refresh) {
    activationRefresh() = std::move(refresh);
}

WindowHooks* setWindowHooks(WindowHooks* hooks) {
    WindowHooks* previous = installed;
    installed = hooks;
    return previous;
}

WindowHooks& windowHooks() {
    return installed ? *installed : framework();
}

}  // namespace corvix::security
