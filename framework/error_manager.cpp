#include "framework/error_manager.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/storage/errors.h"
#include "runtime/picture.h"

namespace corvix::framework {

namespace {

std::function<int()>& threadHook() {
    static std::function<int()> hook;
    return hook;
}

std::function<void(int)>& exitHook() {
    static std::function<void(int)> hook;
    return hook;
}

void endProcess(int code) {
    if (exitHook()) {
        exitHook()(code);
        return;
    }
    std::fflush(nullptr);
    std::_Exit(code);
}

constexpr size_t kStoredChars = 255;  // %File, %Field and %Message texts
constexpr size_t kWorkChars = 2000;   // a filled-in message

// Cuts s to at most n characters (UTF-8 code points).
std::string rightTrimmed(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ') --n;
    return std::string(s.substr(0, n));
}

bool matchesAt(std::string_view text, size_t at, std::string_view word) {
    if (text.size() - at < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + i])) !=
            std::tolower(static_cast<unsigned char>(word[i])))
            return false;
    }
    return true;
}

// The placeholders in the order they are filled in. A longer name always wins over a
// name that is its prefix (%ErrorText over %Error, %FileErrorCode over %FileError and
// %File), so that no placeholder is cut in two by a shorter one.
enum Placeholder {
    kFile,
    kErrorCode,
    kErrorText,
    kError,
    kFileErrorCode,
    kFileError,
    kMessage,
    kField,
    kProcedure,
    kPrevious,
    kPlaceholderCount
};
constexpr std::string_view kNames[kPlaceholderCount] = {
    "%File",      "%ErrorCode", "%ErrorText", "%Error",     "%FileErrorCode",
    "%FileError", "%Message",   "%Field",     "%Procedure", "%Previous"};

}  // namespace

int threadNumber() {
    if (threadHook()) return threadHook()();
    return 1;
}

void setThreadNumberHook(std::function<int()> hook) {
    threadHook() = std::move(hook);
}

void setExitHook(std::function<void(int)> hook) {
    exitHook() = std::move(hook);
}

ErrorManager::ErrorManager() {
    LoadMessages(defaultMessageBlock());
}

bool ErrorManager::LoadMessages(std::string_view packedBlock) {
    return unpackMessageTable(packedBlock, Errors);
}

void ErrorManager::AddMessages(const std::vector<MessageEntry>& entries) {
    Errors.insert(Errors.end(), entries.begin(), entries.end());
}

void ErrorManager::SetFileName(std::string_view name) {
    FileName = runtime::cutToCodePoints(rightTrimmed(name), kStoredChars);
}

void ErrorManager::SetFieldName(std::string_view name) {
    FieldName = runtime::cutToCodePoints(rightTrimmed(name), kStoredChars);
}

int ErrorManager::Find(int id) const {
    for (int i = static_cast<int>(Errors.size()) - 1; i >= 0; --i)
        if (Errors[i].id == id) return i;
    return -1;
}

MessageEntry ErrorManager::Lookup(int id) const {
    int i = Find(id);
    if (i >= 0) return Errors[i];
    MessageEntry unknown;
    unknown.id = static_cast<uint16_t>(id);
    unknown.severity = kLevelNotify;
    unknown.title = "Unknown Error";
    unknown.text = "Message " + std::to_string(id) + " is not in the message table.";
    return unknown;
}

void ErrorManager::CaptureError() {
    const storage::Error& e = storage::lastError();
    SaveErrorCode = e.code;
    SaveError = e.text.empty() && e.code != 0 ? storage::errorText(e.code) : e.text;
    SaveFileErrorCode = e.code == storage::kDriverError ? std::to_string(e.driverCode) : "";
    SaveFileError = e.driverText;
}

std::string ErrorManager::Fill(int index) const {
    if (index < 0) return "";
    const MessageEntry& m = Errors[index];
    const std::string_view text = m.text;
    std::string out;
    out.reserve(text.size() + 64);
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] != '%') {
            out.push_back(text[at++]);
            continue;
        }
        int best = -1;
        for (int p = 0; p < kPlaceholderCount; ++p) {
            if (matchesAt(text, at, kNames[p]) &&
                (best < 0 || kNames[p].size() > kNames[best].size()))
                best = p;
        }
        if (best < 0) {
            out.push_back(text[at++]);
            continue;
        }
        switch (best) {
            case kFile:
                out += FileName;
                break;
            case kErrorCode:
                out += std::to_string(SaveErrorCode);
                break;
            case kErrorText:
                if (SaveErrorCode == storage::kDriverError)
                    out += SaveFileError + " (" + SaveFileErrorCode + ")";
                else
                    out += SaveError + " (" + std::to_string(SaveErrorCode) + ")";
                break;
            case kError:
                out += SaveError;
                break;
            case kFileErrorCode:
                out += SaveFileErrorCode;
                break;
            case kFileError:
                out += SaveFileError;
                break;
            case kMessage:
                out += MessageText;
                break;
            case kField:
                out += FieldName;
                break;
            case kProcedure:
                out += CurrentProcedure();
                break;
            case kPrevious:
                for (int i = index - 1; i >= 0; --i) {
                    if (Errors[i].id == m.id) {
                        out += Errors[i].text;
                        break;
                    }
                }
                break;
        }
        at += kNames[best].size();
    }
    return runtime::cutToCodePoints(out, kWorkChars);
}

std::string ErrorManager::FillMessage(int id) const {
    int i = Find(id);
    if (i < 0) return Lookup(id).text;
    return Fill(i);
}

std::string ErrorManager::MessageTitle(int id) const {
    return Lookup(id).title;
}

int ErrorManager::Raise(int id) {
    CaptureError();
    int i = Find(id);
    MessageEntry m = Lookup(id);
    std::string text = i >= 0 ? Fill(i) : m.text;
    return Dispatch(m, text);
}

int ErrorManager::RaiseWithText(int id, std::string_view text) {
    MessageText = runtime::cutToCodePoints(rightTrimmed(text), kStoredChars);
    return Raise(id);
}

int ErrorManager::Dispatch(const MessageEntry& m, const std::string& text) {
    switch (m.severity) {
        case kLevelBenign:
            return OnBenign(m, text);
        case kLevelFatal:
            return OnFatal(m, text);
        case kLevelNotify:
            OnNotify(m, text);
            return kLevelNotify;
        case kLevelProgram:
            return OnProgram(m, text);
        case kLevelUser:
        case kLevelCancel:
            return OnUser(m, text);
        default:
            return OnOther(m, text);
    }
}

Button ErrorManager::AskMessage(int id, unsigned buttons, Button defaultButton) {
    CaptureError();
    int i = Find(id);
    MessageEntry m = Lookup(id);
    std::string text = i >= 0 ? Fill(i) : m.text;
    return prompt().ask(m.title, text, Icon::Exclamation, buttons, defaultButton);
}

int ErrorManager::OnBenign(const MessageEntry&, const std::string&) {
    return kLevelBenign;
}

int ErrorManager::OnFatal(const MessageEntry& m, const std::string& text) {
    prompt().ask(m.title, text + "  Press OK to end this application", Icon::Information, kButtonOk,
                 kButtonOk);
    // A fatal error must not look like a normal end: the process leaves with a non-zero
    // code. When the exit hook returns (tests), the caller sees the fatal level.
    endProcess(kFatalExitCode);
    return kLevelFatal;
}

int ErrorManager::OnNotify(const MessageEntry& m, const std::string& text) {
    prompt().ask(m.title, text, Icon::Information, kButtonOk, kButtonOk);
    return kLevelNotify;
}

int ErrorManager::OnOther(const MessageEntry& m, const std::string& text) {
    return OnProgram(m, text);
}

int ErrorManager::OnProgram(const MessageEntry& m, const std::string& text) {
    OnFatal(m, text);
    return kLevelProgram;
}

int ErrorManager::OnUser(const MessageEntry& m, const std::string& text) {
    Button b = prompt().ask(m.title, text, Icon::Exclamation, kButtonYes | kButtonNo, kButtonYes);
    return b == kButtonYes ? kLevelBenign : kLevelCancel;
}

void ErrorManager::PushProcedureName(std::string_view name) {
    ProcNames.emplace_back(threadNumber(), std::string(name));
}

void ErrorManager::PopProcedureName() {
    const int t = threadNumber();
    for (auto it = ProcNames.rbegin(); it != ProcNames.rend(); ++it) {
        if (it->first == t) {
            ProcNames.erase(std::next(it).base());
            return;
        }
    }
}

std::string ErrorManager::CurrentProcedure() const {
    const int t = threadNumber();
    for (auto it = ProcNames.rbegin(); it != ProcNames.rend(); ++it)
        if (it->first == t) return it->second;
    return "";
}

void ErrorManager::ForgetThread(int thread) {
    std::erase_if(ProcNames, [thread](const auto& e) { return e.first == thread; });
}

namespace {
ErrorManager* installedManager = nullptr;
}

ErrorManager& errorManager() {
    if (installedManager) return *installedManager;
    static ErrorManager fallback;
    return fallback;
}

ErrorManager* setErrorManager(ErrorManager* e) {
    ErrorManager* previous = installedManager;
    installedManager = e;
    return previous;
}

}  // namespace corvix::framework
