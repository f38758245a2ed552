// Numbered windows standing in for cooperative threads. Thread 1 is the main frame;
// a window started "in a new thread" gets the lowest free number from 2 to 64 and
// lives as a child of the frame's MDI area (or top-level when there is none). All of
// them run on the one Qt GUI thread: posting an event to a thread is a queued event to
// its window, yielding is processing pending events, a timed wait is a nested loop.
#pragma once

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/requests.h"

namespace corvix::framework {

constexpr int kFrameThread = 1;
constexpr int kFirstWindowThread = 2;
constexpr int kLastWindowThread = 64;

// Events that threads post to each other.
enum class ThreadEventKind {
    User,       // a numbered user event (1100 accounts changed, ...)
    Close,      // close request; number kForceClose: the window must go (logoff)
    GainFocus,  // bring the window to the front and refresh it
    Accepted,   // an accepted event for a control number (toolbar buttons, Send)
};

class ThreadEvent : public QEvent {
  public:
    static QEvent::Type type();
    ThreadEvent(ThreadEventKind kind, int number) : QEvent(type()), kind_(kind), number_(number) {}
    ThreadEventKind kind() const { return kind_; }
    int number() const { return number_; }  // user event number or control number

  private:
    ThreadEventKind kind_;
    int number_;
};

// The number of a Close event that may not be refused: a window that keeps itself open
// against it is hidden and deleted.
constexpr int kForceClose = 1;

class ThreadRegistry {
  public:
    // How a thread reacts to Accepted and User events; Close and GainFocus have a
    // default (close the window; raise, activate and call onGainFocus).
    struct Handlers {
        std::function<void(int control)> accepted;
        std::function<void(int event)> user;
        std::function<void()> gainFocus;  // after raising; a window refreshes here
        // A forced close (logoff): end without saving or asking. Without one the window
        // is closed, and hidden and deleted when it refuses.
        std::function<void()> forceClose;
    };

    static ThreadRegistry& instance();
    // Forgets every thread, the single-instance list and the shared variables (tests).
    void reset();

    void setMdiArea(QMdiArea* area);  // nullptr: windows open top-level
    QMdiArea* mdiArea() const { return area_; }
    void setFrame(QWidget* frame);  // the window of thread 1
    void setFrameHandlers(Handlers handlers) {
        frameHandlers_ = std::move(handlers);
        hasFrameHandlers_ = true;
    }

    // Registers window as a new thread and shows it (in the MDI area when there is
    // one). Returns the thread number, or 0 when all 63 numbers are taken (the window
    // is then not shown). The number is freed when the window is destroyed or
    // finish() is called.
    int start(QWidget* window, Handlers handlers = {});
    // The same in two steps: take a number first (the window's initialisation already
    // runs as that thread), then show the window under it. reserve() gives 0 when full.
    int reserve();
    bool attach(int thread, QWidget* window, Handlers handlers = {});
    void finish(int thread);
    void setHandlers(int thread, Handlers handlers);

    QWidget* window(int thread) const;          // the frame for 1; nullptr when not running
    int threadOf(const QWidget* window) const;  // 0 when not registered
    std::vector<int> running() const;           // window threads, ascending

    // Queued delivery; false when the thread is not running.
    bool post(int thread, ThreadEventKind kind, int number = 0);
    bool postEvent(int thread, int event) { return post(thread, ThreadEventKind::User, event); }
    bool postClose(int thread) { return post(thread, ThreadEventKind::Close); }
    bool postForcedClose(int thread) { return post(thread, ThreadEventKind::Close, kForceClose); }
    bool postGainFocus(int thread) { return post(thread, ThreadEventKind::GainFocus); }
    bool postAccepted(int thread, int control) {
        return post(thread, ThreadEventKind::Accepted, control);
    }

    // The thread whose code is running: the innermost entered scope, else 1.
    int current() const;
    void enter(int thread) { scopes_.push_back(thread); }
    void leave();

    static void yield();                 // process pending events
    static void wait(int milliseconds);  // other threads' events run meanwhile

    // Process-wide request and response of the last update call.
    int globalRequest = kNoRequest;
    int globalResponse = kNoResponse;
    // Read by forms: non-zero while a browse asks for a record to be shown read-only.
    int viewRequests = 0;

    // Single-instance list. claim() answers false, and posts "gain focus" to the
    // owner, when another thread has name; otherwise it records (name, thread).
    bool claimSingleInstance(const std::string& name, int thread);
    void releaseSingleInstance(const std::string& name, int thread);
    int singleInstanceOwner(const std::string& name) const;  // 0 when none

    // Delivers a thread event to the thread's handlers (called by the event filter).
    void dispatch(int thread, const ThreadEvent& event);

  private:
    ThreadRegistry();
    struct Entry {
        QPointer<QWidget> window;
        QPointer<QMdiSubWindow> sub;
        Handlers handlers;
    };
    QWidget* showWindow(QWidget* window);

    QPointer<QMdiArea> area_;
    QPointer<QWidget> frame_;
    std::map<int, Entry> threads_;
    std::vector<int> scopes_;
    Handlers frameHandlers_;
    bool hasFrameHandlers_ = false;
    std::map<std::string, int> singleInstances_;
};

// Runs code as thread n for its lifetime (the procedure stack and the error manager
// ask current()).
class ThreadScope {
  public:
    explicit ThreadScope(int thread) { ThreadRegistry::instance().enter(thread); }
    ~ThreadScope() { ThreadRegistry::instance().leave(); }
    ThreadScope(const ThreadScope&) = delete;
    ThreadScope& operator=(const ThreadScope&) = delete;
};

}  // namespace corvix::framework
