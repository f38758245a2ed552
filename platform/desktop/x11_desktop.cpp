#include "platform/desktop/x11_desktop.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <map>

#include "platform/desktop/atspi_client.h"
#include "platform/desktop/x11_connection.h"
#include "platform/desktop/x11_focus_watch.h"
#include "platform/desktop/x11_hotkeys.h"
#include "platform/desktop/x11_keyboard.h"
#include "platform/desktop/x11_windows.h"

namespace corvix::desktop {

// How long activate() waits for the window to receive the keyboard focus (a window
// manager busy with keyboard-mapping changes can take seconds).
constexpr auto kActivateWait = std::chrono::milliseconds(3000);

// A lookup that failed (no bus, a helper that timed out: up to 1.5 s each) is not tried
// again for the same window and title for a while: a watch passing every second would
// otherwise wait for it on every pass.
constexpr auto kFailedLookupKept = std::chrono::seconds(5);
constexpr auto kAccessibleLookupLimit = std::chrono::milliseconds(1500);

struct FailedLookup {
    std::string title;
    std::chrono::steady_clock::time_point at;
};

struct X11Desktop::Parts {
    std::unique_ptr<x11::Connection> main;
    std::unique_ptr<x11::Connection> hot;  // hot keys only, so its descriptor means them
    std::unique_ptr<x11::Keyboard> keyboard;
    std::unique_ptr<x11::HotKeys> hotKeys;
    std::unique_ptr<x11::Windows> windows;
    std::function<void(int)> callback;
    std::map<WindowHandle, FailedLookup> failedLookups;
    std::unique_ptr<x11::FocusWatch> focusWatch;  // opened when typing first starts
    bool typing = false;
};

std::unique_ptr<X11Desktop> X11Desktop::open(std::string* reason) {
    auto parts = std::make_unique<Parts>();
    parts->main = std::make_unique<x11::Connection>();
    if (!parts->main->ok()) {
        if (reason) *reason = parts->main->failure();
        return nullptr;
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(parts->main->display(), &eventBase, &errorBase, &major, &minor)) {
        if (reason) *reason = "the X server has no XTEST extension";
        return nullptr;
    }
    parts->hot = std::make_unique<x11::Connection>();
    if (!parts->hot->ok()) {
        if (reason) *reason = parts->hot->failure();
        return nullptr;
    }
    parts->keyboard = std::make_unique<x11::Keyboard>(*parts->main);
    parts->hotKeys = std::make_unique<x11::HotKeys>(*parts->keyboard, *parts->hot);
    parts->windows = std::make_unique<x11::Windows>(*parts->main);
    return std::unique_ptr<X11Desktop>(new X11Desktop(std::move(parts)));
}

std::unique_ptr<Desktop> openX11Desktop(std::string* reason) {
    return X11Desktop::open(reason);
}

X11Desktop::X11Desktop(std::unique_ptr<Parts> parts) : p_(std::move(parts)) {}

X11Desktop::~X11Desktop() {
    // Keyboard and grabs first: they still talk over their connections.
    p_->hotKeys.reset();
    p_->keyboard.reset();
}

std::vector<WindowInfo> X11Desktop::topWindows() {
    return p_->windows->top();
}

std::vector<std::string> X11Desktop::childWindowTexts(WindowHandle window) {
    if (!p_->main->exists(window)) return {};
    return p_->windows->childTexts(window);
}

namespace {

void addNew(std::vector<std::string>& texts, std::vector<std::string> more) {
    for (auto& t : more)
        if (std::find(texts.begin(), texts.end(), t) == texts.end()) texts.push_back(std::move(t));
}

// Child-window texts known at once, accessible ones from a helper running meanwhile.
class X11TextsRequest : public Desktop::TextsRequest {
  public:
    X11TextsRequest(std::vector<std::string> texts, std::unique_ptr<AtspiHelperRun> run,
                    std::function<void()> onFailure)
        : texts_(std::move(texts)), run_(std::move(run)), onFailure_(std::move(onFailure)) {}
    bool ready() override {
        if (!run_) return true;
        if (!run_->poll()) return false;
        if (run_->ran())
            addNew(texts_, atspiTextsFromOutput(run_->output()));
        else
            onFailure_();
        run_.reset();
        return true;
    }
    std::vector<std::string> take() override { return std::move(texts_); }

  private:
    std::vector<std::string> texts_;
    std::unique_ptr<AtspiHelperRun> run_;
    std::function<void()> onFailure_;
};

}  // namespace

bool X11Desktop::lookupFailedRecently(WindowHandle window, const std::string& title) {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(p_->failedLookups,
                  [now](const auto& f) { return now - f.second.at >= kFailedLookupKept; });
    auto it = p_->failedLookups.find(window);
    return it != p_->failedLookups.end() && it->second.title == title;
}

std::vector<std::string> X11Desktop::accessibleTexts(WindowHandle window) {
    if (!p_->main->exists(window)) return {};
    std::string title = p_->main->title(window);
    if (title.empty() || lookupFailedRecently(window, title)) return {};
    AtspiLookup lookup = atspiWindowTexts(p_->windows->processId(window), title);
    if (!lookup.ran) p_->failedLookups[window] = {title, std::chrono::steady_clock::now()};
    return std::move(lookup.texts);
}

std::vector<std::string> X11Desktop::windowTexts(WindowHandle window) {
    std::vector<std::string> texts = childWindowTexts(window);
    addNew(texts, accessibleTexts(window));
    return texts;
}

std::unique_ptr<Desktop::TextsRequest> X11Desktop::requestWindowTexts(WindowHandle window) {
    std::vector<std::string> texts = childWindowTexts(window);
    const std::string title = p_->main->exists(window) ? p_->main->title(window) : std::string();
    std::unique_ptr<AtspiHelperRun> run;
    if (!title.empty() && !lookupFailedRecently(window, title)) {
        run = std::make_unique<AtspiHelperRun>(
            atspiTextsArgs(p_->windows->processId(window), title), kAccessibleLookupLimit);
    }
    Parts* parts = p_.get();
    return std::make_unique<X11TextsRequest>(std::move(texts), std::move(run), [=] {
        parts->failedLookups[window] = {title, std::chrono::steady_clock::now()};
    });
}

WindowHandle X11Desktop::foregroundWindow() {
    return p_->windows->foreground();
}

long X11Desktop::windowProcessId(WindowHandle window) {
    return p_->main->exists(window) ? p_->windows->processId(window) : 0;
}

bool X11Desktop::windowExists(WindowHandle window) {
    return p_->main->exists(window);
}

bool X11Desktop::activate(WindowHandle window) {
    return p_->windows->activate(window, kActivateWait);
}

bool X11Desktop::requestActivation(WindowHandle window) {
    return p_->windows->requestActivation(window);
}

// While typing, the focus window found is watched: the check between keys sends the keys
// so far and reads the watch's socket, with no round trip, until the focus window
// reports that the focus left it; then the server is asked again.
bool X11Desktop::hasFocus(WindowHandle window) {
    if (window == 0) return false;
    x11::FocusWatch* watch = p_->typing ? p_->focusWatch.get() : nullptr;
    if (watch) {
        XFlush(p_->main->display());
        if (watch->stillFocused(window)) return true;
    }
    if (!p_->windows->hasFocus(window)) return false;
    if (watch) {
        // Watched from the moment the server took the request: a change before it is
        // seen by asking once more.
        const x11::XWindow focus = p_->windows->focusFoundIn(window);
        watch->watch(focus, window);
        if (!p_->windows->hasFocus(window) || p_->windows->focusFoundIn(window) != focus) {
            watch->stop();
            return p_->windows->hasFocus(window);
        }
    }
    return true;
}

bool X11Desktop::windowManagerRunning() {
    return p_->windows->windowManagerRunning();
}

void X11Desktop::keyDown(uint8_t virtualKey) {
    p_->keyboard->press(virtualKey, true);
}
void X11Desktop::keyUp(uint8_t virtualKey) {
    p_->keyboard->press(virtualKey, false);
}
KeyForChar X11Desktop::keyForChar(char32_t ch) {
    return p_->keyboard->keyForChar(ch);
}
void X11Desktop::setTypingPause(TypingPause pause) {
    p_->keyboard->setPause(std::move(pause));
}
bool X11Desktop::typeUnmappedChar(char32_t ch) {
    return p_->keyboard->typeChar(ch);
}
bool X11Desktop::capsLockOn() {
    return p_->keyboard->capsLockOn();
}

void X11Desktop::flush() {
    p_->main->sync();
}

void X11Desktop::beginTyping() {
    p_->keyboard->beginTyping();
    if (!p_->focusWatch) {
        auto watch = std::make_unique<x11::FocusWatch>();
        if (watch->ok()) p_->focusWatch = std::move(watch);
    }
    p_->typing = true;
}

void X11Desktop::endTyping() {
    p_->keyboard->endTyping();
    p_->typing = false;
    if (p_->focusWatch) p_->focusWatch->stop();
}

size_t X11Desktop::spareKeycodes() const {
    return p_->keyboard->spareCount();
}

size_t X11Desktop::borrowedKeycodes() {
    return p_->keyboard->sparesInUse();
}

void X11Desktop::restoreKeymap() {
    p_->keyboard->restoreAllSpares();
    p_->main->sync();
}

bool X11Desktop::registerHotKey(int id, unsigned modifiers, uint8_t virtualKey) {
    return p_->hotKeys->add(id, modifiers, virtualKey);
}

void X11Desktop::unregisterHotKey(int id) {
    p_->hotKeys->remove(id);
}

void X11Desktop::setHotKeyCallback(std::function<void(int id)> callback) {
    p_->callback = std::move(callback);
}

void X11Desktop::pollHotKeys() {
    p_->hotKeys->poll(p_->callback);
}

int X11Desktop::eventFd() {
    return p_->hot->fd();
}

}  // namespace corvix::desktop
