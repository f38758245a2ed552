#include "security/window_hooks.h"

namespace corvix::security {

namespace {
WindowHooks* installed = nullptr;
WindowHooks& none() {
    static WindowHooks h;
    return h;
}
}  // namespace

WindowHooks* setWindowHooks(WindowHooks* hooks) {
    WindowHooks* previous = installed;
    installed = hooks;
    return previous;
}

WindowHooks& windowHooks() {
    return installed ? *installed : none();
}

}  // namespace corvix::security
