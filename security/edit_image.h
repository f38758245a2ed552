// Edit:Image, the theme recorder: the grid theme's picture with every cell outlined and
// labelled with its symbol. While recording, the first cell clicked lends its symbol to
// the cells clicked after it (security/theme_recorder.h). OK leaves the symbols in the
// record for the theme form to save; Cancel puts them back.
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <memory>
#include <vector>

#include "framework/window_manager.h"
#include "security/logon_picture.h"
#include "security/theme_recorder.h"

#include <QPushButton>

namespace corvix::security {

// One cell of the recorder: a click region showing the cell's symbol in a small white
// label at its corner, and a navy ellipse once it has been clicked while recording.
class RecorderCell : public QAbstractButton {
  public:
    explicit RecorderCell(QWidget* parent);
    void display(char32_t symbol, bool marked);
    QString symbolText() const { return symbol_; }
    bool marked() const { return marked_; }
    static constexpr uint32_t kMarkColor = 0x800000;  // navy, as 0x00BBGGRR

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QString symbol_;
    bool marked_ = false;
};

class Edit_Image : public framework::WindowManager {
  public:
    // theme: the form's record, edited in place.
    explicit Edit_Image(vault::GsdRecord& theme);
    ~Edit_Image() override;

    static constexpr const char* kTitle = "Image Theme (Advanced)";
    static constexpr Size kFrame{480, 360};  // the picture frame of the scaled styles

    QPushButton* startButton() const { return start_; }
    QPushButton* resetButton() const { return reset_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    PictureView* pictureView() const { return view_; }
    const std::vector<ThemeCell>& cells() const { return cells_; }
    RecorderCell* cell(size_t i) const { return buttons_.at(i); }
    const ThemeRecorder& recorder() const { return *recorder_; }

  protected:
    int init() override;
    bool takeAccepted(QWidget* control) override;
    bool takeCloseRequest() override;

  private:
    void layoutCells();
    void showCells();
    void cellClicked(size_t i);

    vault::GsdRecord& theme_;
    std::unique_ptr<ThemeRecorder> recorder_;
    QImage image_;
    std::vector<ThemeCell> cells_;
    std::vector<RecorderCell*> buttons_;
    QPointer<PictureView> view_;
    QPointer<QPushButton> start_, reset_, ok_, cancel_;
};

}  // namespace corvix::security
