#include "framework/window_manager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QWidget>

#include "framework/error_manager.h"
#include "framework/resizer.h"

namespace corvix::framework {

namespace {
std::function<void()>& activityHook() {
    static std::function<void()> hook;
    return hook;
}
std::function<void(WindowManager&)>& openedHook() {
    static std::function<void(WindowManager&)> hook;
    return hook;
}
int& sessionCounter() {
    static int counter = 0;
    return counter;
}
// Windows running modally, outermost first.
std::vector<WindowManager*>& modalRuns() {
    static std::vector<WindowManager*> runs;
    return runs;
}
bool modalRunningOn(int thread) {
    for (WindowManager* m : modalRuns())
        if (m->thread() == thread) return true;
    return false;
}
}  // namespace

int sessionNumber() {
    return sessionCounter();
}

void endSession() {
    ++sessionCounter();
    const std::vector<WindowManager*> modal = modalRuns();
    auto managed = [&modal](QWidget* w) {
        for (WindowManager* m : modal)
            if (m->window() == w) return true;
        return false;
    };
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(w);
        if (dialog && dialog->isVisible() && dialog->isModal() && !managed(dialog))
            dialog->reject();
    }
    for (auto it = modal.rbegin(); it != modal.rend(); ++it) (*it)->abandon();
    auto& reg = ThreadRegistry::instance();
    for (int t : reg.running())
        if (t >= kFirstWindowThread && t <= kLastWindowThread) reg.postForcedClose(t);
}

void setActivityHook(std::function<void()> touch) {
    activityHook() = std::move(touch);
}
void touchActivity() {
    if (activityHook()) activityHook()();
}
void setWindowOpenedHook(std::function<void(WindowManager&)> hook) {
    openedHook() = std::move(hook);
}

WindowManager::WindowManager(std::string procedure)
    : procedure_(std::move(procedure)), session_(sessionNumber()) {}

WindowManager::~WindowManager() {
    if (window_) {
        window_->removeEventFilter(this);
        if (!killed_) finishKill();
    }
}

int WindowManager::init() {
    return window_ ? kLevelBenign : kLevelProgram;
}
void WindowManager::kill() {}
bool WindowManager::takeAccepted(QWidget*) {
    return false;
}
void WindowManager::takeToolbar(int button) {
    toolbar.take(button);
}
void WindowManager::reset() {}
bool WindowManager::takeCloseRequest() {
    return true;
}
int WindowManager::callProcedure(int, int) {
    return kRequestCancelled;
}

void WindowManager::setWindow(QWidget* w) {
    window_ = w;
}

bool WindowManager::claimSingleInstance() {
    auto& reg = ThreadRegistry::instance();
    const int owner = reg.singleInstanceOwner(procedure_);
    if (owner && owner != thread_) {
        reg.postGainFocus(owner);
        return false;
    }
    singleInstance_ = true;
    if (thread_) reg.claimSingleInstance(procedure_, thread_);
    return true;
}

bool WindowManager::initialise() {
    errorManager().PushProcedureName(procedure_);
    pushed_ = true;
    if (init() != kLevelBenign || !window_) return false;
    window_->installEventFilter(this);
    watchControls();
    return true;
}

int WindowManager::run() {
    auto& reg = ThreadRegistry::instance();
    thread_ = reg.current();
    ThreadScope scope(thread_);
    if (initialise()) {
        window_->setWindowModality(Qt::ApplicationModal);
        window_->show();
        resizer_ = new Resizer(window_, procedure_);
        resizer_->restore();
        opened_ = true;
        focusFirstField();
        reset();
        QEventLoop loop;
        loop_ = &loop;
        modalRuns().push_back(this);
        if (openedHook()) openedHook()(*this);
        if (window_ && window_->isVisible() && !abandoned_) loop.exec();
        std::erase(modalRuns(), this);
        loop_ = nullptr;
    }
    if (!killed_) finishKill();
    // The window this one ran over waited for it to end before closing itself.
    if (abandoned_ && thread_ >= kFirstWindowThread) reg.postForcedClose(thread_);
    return response == kNoResponse ? kRequestCancelled : response;
}

int WindowManager::start() {
    auto& reg = ThreadRegistry::instance();
    ownThread_ = true;
    thread_ = reg.reserve();
    if (!thread_) {
        finishKill();
        return 0;
    }
    ThreadScope scope(thread_);
    ThreadRegistry::Handlers handlers;
    handlers.accepted = [this](int button) { takeToolbar(button); };
    handlers.gainFocus = [this] { reset(); };
    handlers.forceClose = [this] { abandon(); };
    if (!initialise() || !reg.attach(thread_, window_, handlers)) {
        finishKill();
        return 0;
    }
    if (singleInstance_) reg.claimSingleInstance(procedure_, thread_);
    QWidget* outer = window_->parentWidget() ? window_->parentWidget() : window_.data();
    resizer_ = new Resizer(outer, procedure_);
    resizer_->restore();
    opened_ = true;
    focusFirstField();
    reset();
    const int number = thread_;
    if (openedHook()) openedHook()(*this);
    return number;
}

void WindowManager::finishKill() {
    if (killed_) return;
    killed_ = true;
    ThreadScope scope(thread_ ? thread_ : ThreadRegistry::instance().current());
    kill();
    items.clear();
    toolbar.unbind();
    if (singleInstance_ && thread_)
        ThreadRegistry::instance().releaseSingleInstance(procedure_, thread_);
    if (pushed_) errorManager().PopProcedureName();
    pushed_ = false;
    if (window_) {
        window_->removeEventFilter(this);
        QWidget* outer = qobject_cast<QMdiSubWindow*>(window_->parentWidget());
        (outer ? outer : window_.data())->deleteLater();
    }
    if (ownThread_) {
        if (thread_) ThreadRegistry::instance().finish(thread_);
        deleteLater();
    }
}

int WindowManager::runProcedure(int number, int req) {
    auto& reg = ThreadRegistry::instance();
    reg.globalRequest = req;
    const int r = callProcedure(number, req);
    reg.globalResponse = r;
    return r;
}

void WindowManager::focusFirstField() {
    if (firstField && firstField->isEnabled()) firstField->setFocus();
}

void WindowManager::watchControls() {
    for (QAbstractButton* b : window_->findChildren<QAbstractButton*>())
        connect(b, &QAbstractButton::clicked, this, [this, b] { accept(b); });
    for (QLineEdit* e : window_->findChildren<QLineEdit*>()) {
        if (qobject_cast<QComboBox*>(e->parentWidget())) continue;
        connect(e, &QLineEdit::editingFinished, this, [this, e] {
            if (e->isModified()) accept(e);
        });
    }
}

void WindowManager::accept(QWidget* control) {
    if (!control || killed_) return;
    if (sessionEnded()) {
        abandon();
        return;
    }
    ThreadScope scope(thread_);
    touchActivity();
    for (const Item& item : items) {
        if (item.control == control) {
            post(item.response);
            return;
        }
    }
    takeAccepted(control);
}

void WindowManager::post(int resp) {
    response = resp;
    if (!window_) return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window_->parentWidget()))
        sub->close();
    else
        window_->close();
}

void WindowManager::abandon() {
    if (killed_ || !window_) return;
    abandoned_ = true;
    // A form still running over this window ends first; its end closes this one.
    if (ownThread_ && modalRunningOn(thread_)) return;
    if (response != kRequestCompleted) response = kRequestCancelled;
    post(response);
    // A modal window that is already closing, or refused, still leaves its loop.
    if (loop_ && !closing_) {
        closing_ = true;
        loop_->quit();
    }
}

void WindowManager::endWindow() {
    closing_ = true;
    post(response);
}

bool WindowManager::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
        case QEvent::Close: {
            ThreadScope scope(thread_);
            if (!closing_ && !takeCloseRequest()) {
                event->ignore();
                return true;
            }
            closing_ = true;
            if (resizer_) resizer_->save();
            if (loop_)
                loop_->quit();
            else if (opened_)
                QMetaObject::invokeMethod(
                    this, [this] { finishKill(); }, Qt::QueuedConnection);
            return false;
        }
        case QEvent::WindowActivate:
            if (opened_ && !closing_) {
                ThreadScope scope(thread_);
                reset();
            }
            return false;
        case QEvent::Resize:
            if (opened_ && !closing_) {
                // The first sized event after opening is the window settling.
                if (sizedOnce_) {
                    ThreadScope scope(thread_);
                    reset();
                }
                sizedOnce_ = true;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace corvix::framework
