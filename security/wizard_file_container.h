// Wizard:EncryptFile and Wizard:DecryptFile: a file chosen in an entry or a file
// dialog, a check box to delete the source afterwards, and OK to seal or restore it.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <functional>
#include <string>

#include "framework/window_manager.h"

namespace corvix::security {

class Wizard_FileContainer : public framework::WindowManager {
  public:
    enum class Kind { Encrypt, Decrypt };
    explicit Wizard_FileContainer(Kind kind);

    int init() override;
    bool takeAccepted(QWidget* control) override;

    QLineEdit* fileEntry() const { return file_; }
    QCheckBox* deleteAfter() const { return delete_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* browseButton() const { return browse_; }

  private:
    void chooseFile();
    void run();

    Kind kind_;
    QPointer<QLineEdit> file_;
    QPointer<QCheckBox> delete_;
    QPointer<QPushButton> ok_;
    QPointer<QPushButton> browse_;
};

// The "..." button's dialog; tests replace it (returns "" when nothing was chosen).
using FileChooser = std::function<std::string(QWidget* parent, const std::string& title,
                                              const std::string& filter)>;
void setFileChooser(FileChooser chooser);  // empty restores the Qt dialog

// Open each window on a thread of its own; return the thread number (0 = not opened).
int startEncryptFile();
int startDecryptFile();

}  // namespace corvix::security
