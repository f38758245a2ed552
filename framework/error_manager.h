// The error manager: every failed file operation, refused field and framework question
// about records is raised here by message number. It fills in the message's
// placeholders, shows it through the prompt with the buttons its severity demands and
// returns a level that tells the caller how to go on. It also keeps each thread's stack of
// procedure names for %Procedure.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/message_table.h"
#include "framework/prompt.h"

namespace corvix::framework {

// Levels returned by framework operations and carried by messages.
enum Level : int {
    kLevelBenign = 0,
    kLevelUser = 1,
    kLevelProgram = 2,
    kLevelFatal = 3,
    kLevelCancel = 4,
    kLevelNotify = 5,
};

// The number of the calling (cooperative) thread: 1 is the frame. The thread registry
// installs its own source; until then every caller is thread 1.
int threadNumber();
void setThreadNumberHook(std::function<int()> hook);  // empty function restores the default

// How a fatal or program error ends the process. The default flushes the standard streams
// and exits with a non-zero code; tests install a hook that records the code and returns.
void setExitHook(std::function<void(int code)> hook);  // empty function restores the default
constexpr int kFatalExitCode = 3;

class ErrorManager {
  public:
    ErrorManager();  // loads the program's own message table
    virtual ~ErrorManager() = default;
    ErrorManager(const ErrorManager&) = delete;
    ErrorManager& operator=(const ErrorManager&) = delete;

    // Replaces the table with a packed block; false (table unchanged) when malformed.
    bool LoadMessages(std::string_view packedBlock);
    // Adds entries behind the loaded ones; a later entry with an id overrides earlier ones.
    void AddMessages(const std::vector<MessageEntry>& entries);

    void SetFileName(std::string_view name);
    void SetFieldName(std::string_view name);
    const std::string& GetFileName() const { return FileName; }
    const std::string& GetFieldName() const { return FieldName; }

    int Raise(int id);
    int RaiseWithText(int id, std::string_view text);
    // Shows message id with the given buttons and the exclamation icon, whatever its
    // severity; returns the button pressed.
    Button AskMessage(int id, unsigned buttons, Button defaultButton);

    void PushProcedureName(std::string_view name);
    void PopProcedureName();
    // The calling thread's newest procedure name; empty when it has none.
    std::string CurrentProcedure() const;
    // Drops every name of one thread (a thread that ended without popping).
    void ForgetThread(int thread);

    // Message id filled in with the stored texts and the saved error state, as it would be
    // shown (also used by the command-line tool to print a refusal).
    std::string FillMessage(int id) const;
    std::string MessageTitle(int id) const;
    // The message that id resolves to: the last entry with that id. An unknown id resolves
    // to a notice that says so (never to a fatal error).
    MessageEntry Lookup(int id) const;

    // The error state captured by the last Raise.
    int SavedErrorCode() const { return SaveErrorCode; }
    const std::string& SavedErrorText() const { return SaveError; }

  protected:
    // Handlers by severity; text is the filled-in message.
    virtual int OnBenign(const MessageEntry& m, const std::string& text);
    virtual int OnFatal(const MessageEntry& m, const std::string& text);
    virtual int OnNotify(const MessageEntry& m, const std::string& text);
    virtual int OnOther(const MessageEntry& m, const std::string& text);
    virtual int OnProgram(const MessageEntry& m, const std::string& text);
    virtual int OnUser(const MessageEntry& m, const std::string& text);

  private:
    void CaptureError();
    int Find(int id) const;  // index of the last entry with id, -1 when none
    std::string Fill(int index) const;
    int Dispatch(const MessageEntry& m, const std::string& text);

    std::vector<MessageEntry> Errors;
    std::string FieldName;
    std::string FileName;
    std::string MessageText;
    std::vector<std::pair<int, std::string>> ProcNames;  // (thread, procedure), oldest first
    std::string SaveError;
    int SaveErrorCode = 0;
    std::string SaveFileError;
    std::string SaveFileErrorCode;
};

// The process-wide error manager. Until one is installed, a default ErrorManager.
ErrorManager& errorManager();
// Installs e (not owned; nullptr restores the default). Returns the previous one.
ErrorManager* setErrorManager(ErrorManager* e);

}  // namespace corvix::framework
