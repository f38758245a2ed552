// What every window of the program does around its life, seen from the logon windows:
// push its procedure name when it opens, restore and save its position under that name,
// pop the name when it closes, refresh the top-level window list when it gains focus.
// By default the framework does this (error manager, settings store); tests and the
// frame may install their own.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace corvix::security {

class WindowHooks {
  public:
    virtual ~WindowHooks() = default;
    virtual void opened(const std::string& procedure, QWidget& window) {}
    virtual void restore(const std::string& procedure, QWidget& window) {}
    virtual void save(const std::string& procedure, QWidget& window) {}
    virtual void closed(const std::string& procedure, QWidget& window) {}
    virtual void activated(QWidget& window) {}
};

// What gaining focus refreshes (the frame binds the list of top-level windows).
void setActivationRefresh(std::function<void()> refresh);

// The installed hooks (not owned); nullptr restores the framework's.
WindowHooks* setWindowHooks(WindowHooks* hooks);
WindowHooks& windowHooks();

}  // namespace corvix::security
