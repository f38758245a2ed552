#include "libs/ferrule/messages.h"

#include <cstdio>
#include <cstdlib>

#include "libs/ferrule/settings.h"

namespace corvix::ferrule {
namespace {

struct MessageEntry {
    int number;
    const char* section;
    const char* text;
    const char* second;  // the other form, where there is one
};

const MessageEntry kMessages[] = {
    {1, "Messages",
     "Possible file change without changing File Version number. File involved : ", nullptr},
    {2, "Message", "Unable to Open UPG file : cause ", nullptr},
    {3, "Message", "Unable to upgrade file which doesn't have a prefix :", nullptr},
    {4, "Message", "Unable to upgrade file - Not \"Using\" file ", nullptr},
    {5, "Message", "Unable to upgrade file - no file name avaliable", nullptr},
    {6, "Message", "Unable to upgrade file - Error creating destination file : ",
     "Unable to upgrade file - Error opening destination file : "},
    {7, "Message", "Unable to upgrade file - Error reading source file ", nullptr},
    {8, "Message", "Error Writing destination file ", nullptr},
    {10, "Message", "Warning - Driver not located - GPF likely", nullptr},
    {12, "Messages", "Please wait - Upgrading file", nullptr},
    {13, "Message", "MEM file missing", nullptr},
    {14, "Messages",
     "Internal File Format Too Large. File :", "Warning - Internal File Format Too Large. File :"},
    {15, "Message", "Unable to upgrade. Access to the existing file has been denied.", nullptr},
    {16, "Messages", "Please wait - Copying file", nullptr},
    {17, "Messages", "Please wait - Building Keys", nullptr},
    {18, "Messages", "Please wait - Refreshing file", nullptr},
    {19, "Message", "File Corrupt. Restart program to invoke AutoFix.", nullptr},
};

// Without a window system: messages on standard error, the program goes on.
class StderrSink : public MessageSink {
  public:
    bool stop(const std::string& text) override {
        std::fprintf(stderr, "ferrule: %s\n", text.c_str());
        return true;
    }
    void halt(const std::string& text) override {
        std::fprintf(stderr, "ferrule: %s\n", text.c_str());
    }
    void show(const std::string& title, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
};

class SilentProgress : public ProgressSink {
  public:
    void open(const std::string&, const std::string&, int64_t) override {}
    void setText(const std::string&) override {}
    void setTotal(int64_t) override {}
    void setValue(int64_t) override {}
    void close() override {}
};

MessageSink* g_messages = nullptr;
ProgressSink* g_progress = nullptr;
MessageSink* g_windowMessages = nullptr;  // ferrule_widgets' windows, once installed
ProgressSink* g_windowProgress = nullptr;

std::function<void(int)>& terminator() {
    static std::function<void(int)> t;
    return t;
}

bool (*g_windowsUsable)() = nullptr;  // with the window sinks: whether widgets run now

bool haveWidgets() {
    return g_windowsUsable && g_windowsUsable();
}

}  // namespace

std::string messageText(int n, Form form) {
    for (const auto& m : kMessages) {
        if (m.number != n) continue;
        const char* fallback = form == Form::Second && m.second ? m.second : m.text;
        return readSetting(m.section, "M" + std::to_string(n), fallback);
    }
    return {};
}

MessageSink& messages() {
    if (g_messages) return *g_messages;
    if (g_windowMessages && haveWidgets()) return *g_windowMessages;
    static StderrSink sink;
    return sink;
}

ProgressSink& progress() {
    if (g_progress) return *g_progress;
    if (g_windowProgress && haveWidgets()) return *g_windowProgress;
    static SilentProgress silent;
    return silent;
}

void endApplication(int code) {
    if (terminator())
        terminator()(code);
    else
        std::exit(code);
}

bool stopMessage(const std::string& text) {
    if (messages().stop(text)) return true;
    endApplication(1);
    return false;
}

void haltMessage(const std::string& text) {
    messages().halt(text);
    endApplication(1);
}

void debugMessage(const std::string& text) {
    if (hasSwitch("/DEBUGFRL")) stopMessage(text);
}

void debugDetail(const std::string& text) {
    if (hasSwitch("/DEBUGFRLi")) stopMessage(text);
}

ProgressWindow::ProgressWindow(const std::string& text, const std::string& fileName,
                               int64_t total) {
    progress().open(text, fileName, total);
}

ProgressWindow::~ProgressWindow() {
    close();
}

void ProgressWindow::close() {
    if (!open_) return;
    open_ = false;
    progress().close();
}

void setMessageSink(MessageSink* sink) {
    g_messages = sink;
}
void setProgressSink(ProgressSink* sink) {
    g_progress = sink;
}
void setWindowSinks(MessageSink* messages, ProgressSink* progress, bool (*usable)()) {
    g_windowMessages = messages;
    g_windowProgress = progress;
    g_windowsUsable = usable;
}
void setTerminator(std::function<void(int)> t) {
    terminator() = std::move(t);
}

}  // namespace corvix::ferrule
