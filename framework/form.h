// The update-form protocol shared by every record form: a request comes in (insert,
// change, delete, select as view), the record is primed, OK saves, Cancel asks about
// unsaved changes, a response goes back. Also the ditto history (Ctrl+') and the
// required-field check.
#pragma once

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "framework/form_required.h"
#include "framework/window_manager.h"
#include "platform/storage/record.h"

class QShortcut;

namespace corvix::framework {

// What a form needs of the table it edits (the relation manager does the work). Levels:
// 0 done; anything else failed and, unless said otherwise, was reported.
class FormTable {
  public:
    virtual ~FormTable() = default;
    virtual storage::RecordBuffer& record() = 0;
    virtual int open() = 0;
    virtual void close() = 0;
    virtual int prime() = 0;  // clear, initial values, reserve an auto-number
    virtual int insert() = 0;
    // 5: another station changed the record; its version is now in the buffer.
    virtual int update(bool showChanges) = 0;
    virtual int erase(bool confirm) = 0;  // confirm: ask "Confirm Delete" first
    virtual int cancelInsert() = 0;       // deletes a reserved auto-number record
};

class FileManager;
class RelationManager;

// A form's table reached through its relation manager (inserts through the file manager;
// changes and deletes with the referential rules).
class RelationFormTable : public FormTable {
  public:
    explicit RelationFormTable(RelationManager& relations);
    storage::RecordBuffer& record() override;
    int open() override;
    void close() override;
    int prime() override;
    int insert() override;
    int update(bool showChanges) override;
    int erase(bool confirm) override;
    int cancelInsert() override;

  private:
    RelationManager& relations_;
};

// What the last form that closed left for its caller: the record it completed (insert or
// change; nullptr when none) and the toolbar button that completed it (0 when none).
struct FormOutcome {
    std::unique_ptr<storage::Record> record;
    int toolbarButton = 0;
};
const FormOutcome& lastFormOutcome();
void clearFormOutcome();

// Ctrl+' as the program's key code (Ctrl + the apostrophe key).
constexpr int kDittoKey = 734;

class FormManager : public WindowManager {
  public:
    using WindowManager::WindowManager;
    ~FormManager() override;

    // ---- fields the form sets (in build()) ----
    FormTable* primary = nullptr;
    std::vector<storage::RecordBuffer*> updateFiles;  // saved and restored around the window
    int historyKey = 0;
    int insertAction = 2;  // 2 close; 3 stay and prime; 4 ask "Record Added"
    int deleteAction = 2;  // 2 ask and delete unseen; 4 delete unseen; other: show the form
    int cancelAction = 3;  // bit 1 ask, bit 2 offer to save
    RequiredFields required;

    // Binds a control to a field of the primary record (shown and read back).
    void bind(QWidget* control, int field);
    // A control whose field Ctrl+' restores from the history copy.
    void addHistoryField(QWidget* control, int field);

    // The toolbar button (2000, 2004-2009) that completed the form, 0 when none: the
    // calling browse moves by it and opens the form again.
    int toolbarButton() const { return toolbarButton_; }
    // The last record completed through this procedure in this run.
    const storage::RecordBuffer* historyCopy() const;

    // Record <-> controls.
    void display();
    void collect();
    bool changed();  // the record differs from the copy taken when it was primed

    // What pressing OK does; public so that toolbar buttons and tests can press it.
    void pressOk();
    void ditto(QWidget* control);

  protected:
    // Builds the window and sets the fields above; a level (0 goes on).
    virtual int build() = 0;
    // The window's own initial values of a new record.
    virtual void primeFields() {}
    // After priming and opening: the window-specific set-up (view mode and such).
    virtual void setupWindow() {}
    // OK passed the required-field check: the last changes to the record before it is
    // written (dates a save sets). False stops the save.
    virtual bool beforeSave() { return true; }

    int init() override;
    void kill() override;
    bool takeAccepted(QWidget* control) override;
    void takeToolbar(int button) override;
    bool takeCloseRequest() override;

  private:
    int prime();
    // Completion; returns true when the record was saved (or nothing had to be).
    bool complete(bool closeAfter);
    void bindToolbar();

    struct Binding {
        QPointer<QWidget> control;
        int field;
    };
    std::vector<Binding> bindings_;
    std::vector<Binding> history_;
    std::unique_ptr<storage::Record> saved_;
    std::vector<std::unique_ptr<storage::Record>> savedFiles_;
    QShortcut* dittoShortcut_ = nullptr;
    int toolbarButton_ = 0;
    bool tableOpen_ = false;
};

}  // namespace corvix::framework
