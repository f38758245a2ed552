// UpdateCVGSD: the theme form. The controls that depend on the basis, the grid check and
// the colour follow every change; the picture is previewed fitted to its frame; columns
// and rows are checked the moment they are left; "Advanced" opens the recorder.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <functional>

#include "framework/form.h"
#include "security/theme_geometry.h"

namespace corvix::framework {
class VaultManagers;
}

namespace corvix::security {

// The preview's size in a frame: height = frame height - 2, width = the whole part of
// that height x width / height of the picture - 2; when that is wider than frame width
// - 2, width = frame width - 2 and height = width / ratio - 2. A picture that cannot be
// loaded counts as square.
Size previewSize(Size natural, Size frame);

// The dialogs of the form; tests replace them. Empty results mean "nothing chosen".
struct ThemeFormDialogs {
    std::function<QString(QWidget* parent)> imageFile;
    std::function<std::optional<uint32_t>(QWidget* parent, uint32_t current)> color;
};
void setThemeFormDialogs(ThemeFormDialogs dialogs);  // empty members: the Qt dialogs

class UpdateCVGSD : public framework::FormManager {
  public:
    explicit UpdateCVGSD(framework::VaultManagers& managers);
    ~UpdateCVGSD() override;

    static constexpr const char* kTitle = "Theme";
    static constexpr Size kPreviewFrame{200, 150};

    bool viewMode() const { return viewMode_; }
    QLineEdit* description() const { return description_; }
    QRadioButton* basisButton(bool location) const { return location ? location_ : grid_; }
    QRadioButton* styleButton(int i) const { return styles_[i]; }  // 0 Actual, 1 Resizable, 2 Best
    QGroupBox* styleGroup() const { return styleGroup_; }
    QLineEdit* image() const { return image_; }
    QPushButton* imageButton() const { return imageButton_; }
    QLabel* preview() const { return preview_; }
    QCheckBox* hintCheck() const { return hint_; }
    QLineEdit* columns() const { return columns_; }
    QLineEdit* rows() const { return rows_; }
    QCheckBox* gridCheck() const { return gridCheck_; }
    QLabel* colorCaption() const { return colorCaption_; }
    QPushButton* colorButton() const { return colorButton_; }
    QPushButton* advancedButton() const { return advanced_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  protected:
    int build() override;
    void setupWindow() override;
    bool takeAccepted(QWidget* control) override;

  private:
    void refresh();  // the dependent controls and the preview
    void showRadios();
    bool checkCount(QLineEdit* entry, int field);
    void chooseImage();
    void chooseColor();
    void openRecorder();

    framework::VaultManagers& m_;
    framework::RelationFormTable table_;
    bool viewMode_ = false;
    QString shownImage_;
    QPointer<QLineEdit> description_, image_, columns_, rows_;
    QPointer<QRadioButton> grid_, location_;
    QPointer<QRadioButton> styles_[3];
    QPointer<QGroupBox> styleGroup_;
    QPointer<QPushButton> imageButton_, colorButton_, advanced_, ok_, cancel_, help_;
    QPointer<QLabel> preview_, colorCaption_, colorSample_;
    QPointer<QCheckBox> hint_, gridCheck_;
};

}  // namespace corvix::security
