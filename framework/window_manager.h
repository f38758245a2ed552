// The window manager gives every window the same life: initialise, ask (the event
// loop), kill. A window either runs modally on its caller's thread (run(): forms,
// look-ups) or on a numbered thread of its own (start(): lists and wizards opened from
// the frame). Derived windows override the operations they need.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/threads.h"
#include "framework/toolbar.h"

class QEventLoop;
class QWidget;

namespace corvix::framework {

class Resizer;
class WindowManager;

// Bound at start-up: every accepted control updates the shared activity time.
void setActivityHook(std::function<void()> touch);
void touchActivity();

// Tests and the frame may watch windows open (after initialisation, before the loop).
void setWindowOpenedHook(std::function<void(WindowManager&)> hook);

// Logoff: every window ends without saving. Questions and other dialogs in nested loops
// are answered as closed, modal windows (forms) are cancelled innermost first, and every
// numbered window gets a close it cannot refuse. Windows opened before it refuse to save
// from then on.
void endSession();
int sessionNumber();  // counts the ends of sessions

class WindowManager : public QObject {
  public:
    explicit WindowManager(std::string procedure);
    ~WindowManager() override;

    const std::string& procedure() const { return procedure_; }

    // Modal on the caller's thread: initialise, run the event loop until the window
    // ends, kill. Returns the response (request-cancelled when none was set).
    int run();
    // On a thread of its own: initialise and show; the window is killed when it closes
    // and the manager (created with new) deletes itself then. Returns the thread
    // number, 0 when the window did not open (the manager is then deleted too).
    int start();
    // The hook through which a browse or form calls its numbered update or select
    // procedure with a request; sets and reads the process-wide variables.
    int runProcedure(int number, int request);

    // ---- the operations a window overrides ----
    // Builds the window (set window()); returns a level: 0 goes on, anything else ends.
    virtual int init();
    virtual void kill();
    // A control was accepted (button pressed, entry left); true when handled.
    virtual bool takeAccepted(QWidget* control);
    // A toolbar button forwarded by the frame (2000-2012).
    virtual void takeToolbar(int button);
    // Gain focus, and after updates: re-read what the window shows.
    virtual void reset();
    // Close requested (close box, close event, a control that ends the window). False
    // keeps the window open.
    virtual bool takeCloseRequest();
    // The numbered update/select procedures this window calls (browses).
    virtual int callProcedure(int number, int request);

    // ---- fields the window sets ----
    int request = kNoRequest;
    int openingRequest = kNoRequest;
    int response = kNoResponse;
    QPointer<QWidget> firstField;
    QPointer<QWidget> okControl;
    struct Item {
        QPointer<QWidget> control;
        int response;
    };
    std::vector<Item> items;
    Toolbar toolbar;

    QWidget* window() const { return window_; }
    bool opened() const { return opened_; }
    int thread() const { return thread_; }
    Resizer* resizer() const { return resizer_; }

    // Ends the window with a response (through the close handling).
    void post(int resp);
    // Ends the window because the session ended: forms cancel without asking or saving; a
    // list whose form is still open closes once that form has ended.
    void abandon();
    // The session this window was opened in has ended (a logoff came meanwhile).
    bool sessionEnded() const { return session_ != sessionNumber(); }
    void endWindow();  // close without asking (the response stays as set)
    // Presses a control: what the window does on a click or accept.
    void accept(QWidget* control);

  protected:
    void setWindow(QWidget* w);
    // Single-instance windows call this in init() when the request is not select.
    bool claimSingleInstance();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusFirstField();
    void watchControls();  // connects buttons and entries to accept()

  private:
    bool initialise();
    void finishKill();

    std::string procedure_;
    QPointer<QWidget> window_;
    QEventLoop* loop_ = nullptr;
    Resizer* resizer_ = nullptr;
    int thread_ = 0;
    bool opened_ = false;
    bool killed_ = false;
    bool closing_ = false;
    bool pushed_ = false;
    bool ownThread_ = false;
    bool singleInstance_ = false;
    bool sizedOnce_ = false;
    bool abandoned_ = false;
    int session_ = 0;
};

}  // namespace corvix::framework
