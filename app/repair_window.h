// The "Repair" window (File → Database Tools → Repair): the fixed file list with tags and
// the five maintenance operations over the tagged rows (or the highlighted one), with the
// "Progress..." window and Cancel after the current file. The work is vault/maintenance's.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <vector>

#include "framework/window_manager.h"
#include "vault/maintenance.h"

namespace corvix::app {

class RepairWindow : public framework::WindowManager {
  public:
    RepairWindow();
    ~RepairWindow() override;

    int init() override;
    bool takeAccepted(QWidget* control) override;
    bool takeCloseRequest() override;

    // Tables the frame keeps open for itself (the watch list's accounts): given back
    // while an operation needs the files alone, taken again after it.
    static void setFrameTables(std::function<void()> release, std::function<void()> reacquire);

    QTreeWidget* list() const { return list_; }
    const std::vector<vault::RepairRow>& rows() const { return rows_; }
    void runOperation(vault::RepairOperation operation);

  private:
    class ProgressUi;
    void setTag(int row, bool tagged);
    void showRow(int row);
    void showDetails();

    std::vector<vault::RepairRow> rows_;
    QPointer<QTreeWidget> list_;
    QPointer<QLabel> details_;
    QPointer<QPushButton> build_, pack_, release_, fix_, info_, tag_, untag_, tagAll_, untagAll_,
        close_;
    bool running_ = false;
};

// Opens the window on a new thread.
int startRepairWindow();

}  // namespace corvix::app
