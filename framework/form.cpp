#include "framework/form.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSpinBox>
#include <QWidget>
#include <map>

#include "framework/error_manager.h"
#include "framework/relation_manager.h"
#include "runtime/picture.h"

namespace corvix::framework {

namespace {

// The last record completed through each procedure in this run: what Ctrl+' recalls.
std::map<std::string, std::unique_ptr<storage::Record>>& histories() {
    static std::map<std::string, std::unique_ptr<storage::Record>> h;
    return h;
}

FormOutcome& outcome() {
    static FormOutcome o;
    return o;
}

bool sameRecord(const storage::RecordBuffer& a, const storage::RecordBuffer& b) {
    const auto& fields = a.decl().fields;
    for (int f = 0; f < static_cast<int>(fields.size()); ++f)
        for (uint32_t e = 0; e < fields[f].elements(); ++e)
            if (a.get(f, e) != b.get(f, e)) return false;
    return true;
}

std::unique_ptr<storage::Record> copyOf(const storage::RecordBuffer& r) {
    auto copy = std::make_unique<storage::Record>(r.decl());
    copy->copyFrom(r);
    return copy;
}

void showField(QWidget* w, const storage::RecordBuffer& r, int field) {
    const auto& decl = r.decl().fields[field];
    const std::string text = r.getString(field);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (decl.type == storage::FieldType::String || decl.picture.empty())
            e->setText(QString::fromStdString(text));
        else
            e->setText(
                QString::fromStdString(runtime::formatPicture(r.getReal(field), decl.picture)));
        e->setModified(false);
    } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
        c->setChecked(r.getInt(field) != 0);
    } else if (auto* s = qobject_cast<QSpinBox*>(w)) {
        s->setValue(static_cast<int>(r.getInt(field)));
    } else if (auto* b = qobject_cast<QComboBox*>(w)) {
        b->setCurrentText(QString::fromStdString(text));
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(w)) {
        p->setPlainText(QString::fromStdString(text));
    }
}

void readField(QWidget* w, storage::RecordBuffer& r, int field) {
    const auto& decl = r.decl().fields[field];
    auto put = [&](const QString& text) {
        if (decl.type == storage::FieldType::String) {
            r.set(field, text.toStdString());
        } else if (auto v = runtime::deformatPicture(
                       text.toStdString(), decl.picture.empty() ? "@n20" : decl.picture)) {
            if (decl.type == storage::FieldType::Real)
                r.set(field, *v);
            else
                r.set(field, static_cast<int64_t>(*v));
        }
    };
    if (auto* e = qobject_cast<QLineEdit*>(w))
        put(e->text());
    else if (auto* c = qobject_cast<QCheckBox*>(w))
        r.set(field, int64_t{c->isChecked() ? 1 : 0});
    else if (auto* s = qobject_cast<QSpinBox*>(w))
        r.set(field, int64_t{s->value()});
    else if (auto* b = qobject_cast<QComboBox*>(w))
        put(b->currentText());
    else if (auto* p = qobject_cast<QPlainTextEdit*>(w))
        put(p->toPlainText());
}

}  // namespace

RelationFormTable::RelationFormTable(RelationManager& relations) : relations_(relations) {}
storage::RecordBuffer& RelationFormTable::record() {
    return relations_.File().Buffer();
}
int RelationFormTable::open() {
    return relations_.Open();
}
void RelationFormTable::close() {
    relations_.Close();
}
int RelationFormTable::prime() {
    return relations_.File().PrimeRecord();
}
int RelationFormTable::insert() {
    return relations_.File().Insert();
}
int RelationFormTable::update(bool showChanges) {
    return relations_.Update(showChanges);
}
int RelationFormTable::erase(bool confirm) {
    return relations_.Delete(confirm);
}
int RelationFormTable::cancelInsert() {
    return relations_.File().CancelAutoInc(&relations_);
}

const FormOutcome& lastFormOutcome() {
    return outcome();
}
void clearFormOutcome() {
    outcome().record.reset();
    outcome().toolbarButton = 0;
}

FormManager::~FormManager() = default;

void FormManager::bind(QWidget* control, int field) {
    bindings_.push_back({control, field});
}

void FormManager::addHistoryField(QWidget* control, int field) {
    history_.push_back({control, field});
}

const storage::RecordBuffer* FormManager::historyCopy() const {
    auto it = histories().find(procedure());
    return it == histories().end() ? nullptr : it->second.get();
}

void FormManager::display() {
    if (!primary) return;
    for (const Binding& b : bindings_)
        if (b.control) showField(b.control, primary->record(), b.field);
}

void FormManager::collect() {
    if (!primary) return;
    for (const Binding& b : bindings_)
        if (b.control) readField(b.control, primary->record(), b.field);
}

bool FormManager::changed() {
    if (!primary || !saved_) return false;
    collect();
    return !sameRecord(primary->record(), *saved_);
}

int FormManager::init() {
    auto& reg = ThreadRegistry::instance();
    if (request == kNoRequest) request = reg.globalRequest;
    openingRequest = request;
    const int level = build();
    if (level != kLevelBenign || !primary || !window()) return level ? level : kLevelProgram;
    if (historyKey) {
        const auto& decl = primary->record().decl();
        if (!histories().count(procedure())) {
            histories()[procedure()] = std::make_unique<storage::Record>(decl);
        }
        dittoShortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Apostrophe), window());
        dittoShortcut_->setContext(Qt::WindowShortcut);
        connect(dittoShortcut_, &QShortcut::activated, this,
                [this] { ditto(window()->focusWidget()); });
    }
    if (primary->open() != kLevelBenign) return kLevelFatal;
    tableOpen_ = true;
    const int primed = prime();
    if (primed != kLevelBenign) return primed;
    display();
    setupWindow();
    bindToolbar();
    return kLevelBenign;
}

int FormManager::prime() {
    storage::RecordBuffer& rec = primary->record();
    switch (request) {
        case kInsertRecord: {
            savedFiles_.clear();
            for (storage::RecordBuffer* f : updateFiles) savedFiles_.push_back(copyOf(*f));
            if (primary->prime() != kLevelBenign) return kLevelNotify;
            primeFields();
            break;
        }
        case kDeleteRecord:
            if (deleteAction == 2 || deleteAction == 4) {
                // Deleted at once, the form never shows.
                response = primary->erase(deleteAction == 2) == kLevelBenign ? kRequestCompleted
                                                                             : kRequestCancelled;
                return kLevelNotify;
            }
            break;
        default:
            break;
    }
    saved_ = copyOf(rec);
    return kLevelBenign;
}

void FormManager::kill() {
    if (response == kRequestCompleted && primary &&
        (request == kInsertRecord || request == kChangeRecord)) {
        outcome().record = copyOf(primary->record());
        outcome().toolbarButton = toolbarButton_;
    } else {
        clearFormOutcome();
    }
    if (tableOpen_) {
        for (size_t i = 0; i < savedFiles_.size() && i < updateFiles.size(); ++i)
            updateFiles[i]->copyFrom(*savedFiles_[i]);
        primary->close();
        tableOpen_ = false;
    }
    savedFiles_.clear();
    bindings_.clear();
    history_.clear();
}

void FormManager::bindToolbar() {
    Toolbar::Mode mode = request == kInsertRecord   ? Toolbar::Mode::FormInsert
                         : request == kChangeRecord ? Toolbar::Mode::FormChange
                                                    : Toolbar::Mode::FormOther;
    auto help = [this] {
        for (QAbstractButton* b : window()->findChildren<QAbstractButton*>())
            if (b->text() == "Help" || b->text() == "&Help")
                return b->isEnabled() && b->isVisible();
        return false;
    };
    toolbar.bindForm(mode, historyKey != 0, help, [this](int button) {
        if (button == kToolHistory) {
            ditto(window()->focusWidget());
        } else if (button == kToolHelp) {
            for (QAbstractButton* b : window()->findChildren<QAbstractButton*>())
                if (b->text() == "Help" || b->text() == "&Help") b->click();
        } else {
            toolbarButton_ = button;
            pressOk();
            if (response != kRequestCompleted) toolbarButton_ = 0;
        }
    });
}

void FormManager::takeToolbar(int button) {
    toolbar.take(button);
}

bool FormManager::takeAccepted(QWidget* control) {
    if (control == okControl) {
        pressOk();
        return true;
    }
    return false;
}

void FormManager::pressOk() {
    if (sessionEnded()) {
        abandon();
        return;
    }
    if (request == kInsertRecord || request == kChangeRecord) {
        collect();
        if (QWidget* empty = required.check()) {
            (void)empty;
            return;
        }
        if (!beforeSave()) return;
    }
    complete(true);
}

bool FormManager::complete(bool closeAfter) {
    storage::RecordBuffer& rec = primary->record();
    if (historyKey) histories()[procedure()] = copyOf(rec);
    auto finish = [&](int resp) {
        response = resp;
        if (closeAfter) endWindow();
    };
    // Nothing reaches the vault once the session has ended, even from a question that
    // was answered after the logoff.
    auto refused = [&] {
        if (!sessionEnded()) return false;
        finish(kRequestCancelled);
        return true;
    };
    if (refused()) return false;
    switch (request) {
        case kInsertRecord: {
            if (primary->insert() != kLevelBenign) {
                focusFirstField();
                return false;
            }
            int action = insertAction;
            if (action == 4) action = errorManager().Raise(3) == kLevelBenign ? 3 : 2;
            if (action == 3 && closeAfter && !sessionEnded()) {
                // Stay open for another new record.
                primary->prime();
                primeFields();
                saved_ = copyOf(rec);
                display();
                focusFirstField();
                return true;
            }
            finish(kRequestCompleted);
            return true;
        }
        case kChangeRecord: {
            if (saved_ && sameRecord(rec, *saved_)) {
                finish(kRequestCompleted);
                return true;
            }
            for (;;) {
                if (refused()) return false;
                const int rc = primary->update(historyKey != 0);
                if (rc == kLevelBenign) {
                    finish(kRequestCompleted);
                    return true;
                }
                if (rc == kLevelNotify) {
                    // Another station's version is on display; the user decides again.
                    saved_ = copyOf(rec);
                    display();
                    return false;
                }
                const Button b = errorManager().AskMessage(
                    34, kButtonYes | kButtonNo | kButtonCancel, kButtonCancel);
                if (b == kButtonYes) continue;
                if (b == kButtonNo) {
                    finish(kRequestCancelled);
                    return false;
                }
                focusFirstField();
                return false;
            }
        }
        case kDeleteRecord:
            for (;;) {
                if (refused()) return false;
                if (primary->erase(false) == kLevelBenign) {
                    finish(kRequestCompleted);
                    return true;
                }
                const Button b = errorManager().AskMessage(
                    33, kButtonYes | kButtonNo | kButtonCancel, kButtonCancel);
                if (b == kButtonYes) continue;
                if (b == kButtonNo) finish(kRequestCancelled);
                return false;
            }
        default:
            finish(kRequestCompleted);
            return true;
    }
}

bool FormManager::takeCloseRequest() {
    if (!primary) return true;
    // After a logoff the form is cancelled without a question.
    if (response != kRequestCompleted && !sessionEnded() &&
        (request == kInsertRecord || request == kChangeRecord) && changed()) {
        if (cancelAction & 1) {
            Button b = kButtonYes;
            if (cancelAction & 2)
                b = errorManager().AskMessage(35, kButtonYes | kButtonNo | kButtonCancel,
                                              kButtonYes);
            if (b == kButtonYes) {
                if (required.check()) return false;
                if (!complete(false)) return false;
            } else if (b == kButtonCancel) {
                response = kNoResponse;
                focusFirstField();
                return false;
            }
        } else if (errorManager().Raise(8) != kLevelBenign) {
            response = kNoResponse;
            focusFirstField();
            return false;
        }
    }
    if (response != kRequestCompleted) {
        toolbarButton_ = 0;
        if (request == kInsertRecord && primary->cancelInsert() != kLevelBenign) return false;
        if (response == kNoResponse) response = kRequestCancelled;
    }
    return true;
}

void FormManager::ditto(QWidget* control) {
    const storage::RecordBuffer* h = historyCopy();
    if (!h || !control || !primary) return;
    for (const Binding& b : history_) {
        if (b.control != control) continue;
        primary->record().set(b.field, h->get(b.field));
        showField(control, primary->record(), b.field);
        if (auto* e = qobject_cast<QLineEdit*>(control)) e->setModified(true);
        return;
    }
}

}  // namespace corvix::framework
