#include "framework/threads.h"

#include "framework/error_manager.h"
#include "framework/mdi_mnemonics.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QWidget>

namespace corvix::framework {

namespace {

// Sits on every registered window and hands thread events to the registry.
class ThreadEventFilter : public QObject {
  public:
    explicit ThreadEventFilter(int thread, QObject* parent) : QObject(parent), thread_(thread) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != ThreadEvent::type()) return false;
        ThreadRegistry::instance().dispatch(thread_, *static_cast<ThreadEvent*>(event));
        return true;
    }

  private:
    int thread_;
};

}  // namespace

QEvent::Type ThreadEvent::type() {
    static const auto t = static_cast<QEvent::Type>(QEvent::registerEventType());
    return t;
}

// The error manager keeps procedure names per thread: it asks us which one runs.
ThreadRegistry::ThreadRegistry() {
    setThreadNumberHook([] { return ThreadRegistry::instance().current(); });
}

ThreadRegistry& ThreadRegistry::instance() {
    static ThreadRegistry registry;
    return registry;
}

void ThreadRegistry::reset() {
    threads_.clear();
    scopes_.clear();
    singleInstances_.clear();
    area_ = nullptr;
    frame_ = nullptr;
    globalRequest = kNoRequest;
    globalResponse = kNoResponse;
    viewRequests = 0;
    frameHandlers_ = {};
    hasFrameHandlers_ = false;
}

void ThreadRegistry::setMdiArea(QMdiArea* area) {
    area_ = area;
    installMdiMnemonics(area);
}

void ThreadRegistry::setFrame(QWidget* frame) {
    frame_ = frame;
    if (frame) frame->installEventFilter(new ThreadEventFilter(kFrameThread, frame));
}

int ThreadRegistry::start(QWidget* window, Handlers handlers) {
    if (!window) return 0;
    const int number = reserve();
    if (number && !attach(number, window, std::move(handlers))) return 0;
    return number;
}

int ThreadRegistry::reserve() {
    for (int n = kFirstWindowThread; n <= kLastWindowThread; ++n) {
        if (!threads_.count(n)) {
            threads_[n];
            return n;
        }
    }
    return 0;
}

bool ThreadRegistry::attach(int number, QWidget* window, Handlers handlers) {
    auto it = threads_.find(number);
    if (!window || it == threads_.end()) return false;
    Entry& entry = it->second;
    entry.window = window;
    entry.handlers = std::move(handlers);
    window->installEventFilter(new ThreadEventFilter(number, window));
    QObject::connect(window, &QObject::destroyed, [this, number, window] {
        auto found = threads_.find(number);
        if (found != threads_.end() && (!found->second.window || found->second.window == window))
            finish(number);
    });
    entry.sub = qobject_cast<QMdiSubWindow*>(showWindow(window));
    return true;
}

QWidget* ThreadRegistry::showWindow(QWidget* window) {
    if (area_) {
        QMdiSubWindow* sub = area_->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->show();
        area_->setActiveSubWindow(sub);
        return sub;
    }
    window->show();
    return window;
}

void ThreadRegistry::finish(int thread) {
    threads_.erase(thread);
    for (auto it = singleInstances_.begin(); it != singleInstances_.end();) {
        if (it->second == thread)
            it = singleInstances_.erase(it);
        else
            ++it;
    }
}

void ThreadRegistry::setHandlers(int thread, Handlers handlers) {
    auto it = threads_.find(thread);
    if (it != threads_.end()) it->second.handlers = std::move(handlers);
}

QWidget* ThreadRegistry::window(int thread) const {
    if (thread == kFrameThread) return frame_;
    auto it = threads_.find(thread);
    return it == threads_.end() ? nullptr : it->second.window.data();
}

int ThreadRegistry::threadOf(const QWidget* window) const {
    if (window && window == frame_) return kFrameThread;
    for (const auto& [n, entry] : threads_)
        if (entry.window == window) return n;
    return 0;
}

std::vector<int> ThreadRegistry::running() const {
    std::vector<int> out;
    for (const auto& [n, entry] : threads_)
        if (entry.window) out.push_back(n);
    return out;
}

bool ThreadRegistry::post(int thread, ThreadEventKind kind, int number) {
    QWidget* w = window(thread);
    if (!w) return false;
    QCoreApplication::postEvent(w, new ThreadEvent(kind, number));
    return true;
}

void ThreadRegistry::dispatch(int thread, const ThreadEvent& event) {
    ThreadScope scope(thread);
    Handlers handlers;
    QWidget* w = window(thread);
    QPointer<QMdiSubWindow> sub;
    if (auto it = threads_.find(thread); it != threads_.end()) {
        handlers = it->second.handlers;
        sub = it->second.sub;
    } else if (thread == kFrameThread && hasFrameHandlers_) {
        handlers = frameHandlers_;
    }
    switch (event.kind()) {
        case ThreadEventKind::Close: {
            if (event.number() == kForceClose && handlers.forceClose) {
                handlers.forceClose();
                break;
            }
            QWidget* outer = sub ? static_cast<QWidget*>(sub.data()) : w;
            if (outer && !outer->close() && event.number() == kForceClose) {
                outer->hide();
                outer->deleteLater();
            }
            break;
        }
        case ThreadEventKind::GainFocus:
            if (sub && area_) {
                area_->setActiveSubWindow(sub);
                sub->showNormal();
            }
            if (w) {
                w->raise();
                w->activateWindow();
            }
            if (handlers.gainFocus) handlers.gainFocus();
            break;
        case ThreadEventKind::Accepted:
            if (handlers.accepted) handlers.accepted(event.number());
            break;
        case ThreadEventKind::User:
            if (handlers.user) handlers.user(event.number());
            break;
    }
}

int ThreadRegistry::current() const {
    return scopes_.empty() ? kFrameThread : scopes_.back();
}

void ThreadRegistry::leave() {
    if (!scopes_.empty()) scopes_.pop_back();
}

void ThreadRegistry::yield() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ThreadRegistry::wait(int milliseconds) {
    if (milliseconds <= 0) {
        yield();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool ThreadRegistry::claimSingleInstance(const std::string& name, int thread) {
    auto it = singleInstances_.find(name);
    if (it != singleInstances_.end() && it->second != thread) {
        postGainFocus(it->second);
        return false;
    }
    singleInstances_[name] = thread;
    return true;
}

void ThreadRegistry::releaseSingleInstance(const std::string& name, int thread) {
    auto it = singleInstances_.find(name);
    if (it != singleInstances_.end() && it->second == thread) singleInstances_.erase(it);
}

int ThreadRegistry::singleInstanceOwner(const std::string& name) const {
    auto it = singleInstances_.find(name);
    return it == singleInstances_.end() ? 0 : it->second;
}

}  // namespace corvix::framework
