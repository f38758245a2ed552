// The four Database Tools commands that move records between the vault and the export
// files: a progress window "Progress..." per command, on a thread of its own, with the
// heading, "Processing Records", the percentage and Cancel. The work is vault/transfer's;
// this window shows it and asks the questions.
#pragma once

#include <QPointer>
#include <memory>

#include "framework/file_manager.h"
#include "framework/window_manager.h"
#include "vault/transfer.h"

class QLabel;
class QPushButton;

namespace corvix::app {

enum class TransferKind { ExportPasswords, ImportPasswords, ExportThemes, ImportThemes };

class TransferWindow : public framework::WindowManager {
  public:
    // target: the file manager of CVPAS or CVGSD, as the kind says.
    TransferWindow(TransferKind kind, framework::FileManager& target);
    ~TransferWindow() override;

    int init() override;
    bool takeAccepted(QWidget* control) override;
    // A close request (Cancel, the close box, a logoff) while records move stops the run
    // after the current record; the window closes when the run has ended.
    bool takeCloseRequest() override;

    // The export or import file (the working directory's ExPas.BAS / ExGSD.BAS).
    std::string fileName;

  private:
    class Observer;
    void work();
    void finish(const vault::TransferResult& result);

    TransferKind kind_;
    framework::FileManager& target_;
    QPointer<QLabel> percent_;
    QPointer<QPushButton> cancel_;
    bool running_ = false;
    bool cancelRequested_ = false;
    std::unique_ptr<Observer> observer_;
};

// Opens the window for the command on a new thread over the program's table managers;
// the work starts once it shows.
int startTransferWindow(TransferKind kind);

}  // namespace corvix::app
