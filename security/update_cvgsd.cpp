#include "security/update_cvgsd.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "framework/vault_managers.h"
#include "security/edit_image.h"
#include "security/password_text.h"
#include "security/theme_paint.h"

namespace corvix::security {

using namespace corvix::framework;
namespace gsd = vault::gsd;

namespace {

constexpr const char* kStyles[3] = {"Actual Size", "Resizable", "Best Fit"};

ThemeFormDialogs& dialogs() {
    static ThemeFormDialogs d;
    return d;
}

QString askImageFile(QWidget* parent) {
    if (dialogs().imageFile) return dialogs().imageFile(parent);
    return QFileDialog::getOpenFileName(
        parent, "Select an image...", QString(),
        "JPG (*.JPG *.jpg *.jpeg);;GIF (*.GIF *.gif);;BMP (*.BMP *.bmp);;All Files (*)");
}

std::optional<uint32_t> askColor(QWidget* parent, uint32_t current) {
    if (dialogs().color) return dialogs().color(parent, current);
    const QColor c = QColorDialog::getColor(colorFromRef(current), parent, "Select grid color");
    if (!c.isValid()) return std::nullopt;
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

}  // namespace

Size previewSize(Size natural, Size frame) {
    const double ratio = aspectRatio(natural);
    int h = frame.h - 2;
    int w = static_cast<int>(std::floor(h * ratio)) - 2;
    if (w > frame.w - 2) {
        w = frame.w - 2;
        h = static_cast<int>(std::floor(w / ratio)) - 2;
    }
    return {std::max(w, 0), std::max(h, 0)};
}

void setThemeFormDialogs(ThemeFormDialogs d) {
    dialogs() = std::move(d);
}

UpdateCVGSD::UpdateCVGSD(VaultManagers& managers)
    : FormManager("UpdateCVGSD"), m_(managers), table_(managers.gsdRelations) {}

UpdateCVGSD::~UpdateCVGSD() = default;

int UpdateCVGSD::build() {
    auto& reg = ThreadRegistry::instance();
    if (request == kSelectRecord || reg.viewRequests != 0) {
        viewMode_ = true;
        if (request != kSelectRecord) request = kChangeRecord;
    }
    auto* dialog = new QDialog;
    dialog->setObjectName("UpdateCVGSD");
    dialog->setWindowTitle(viewMode_ ? QString("View Theme") : QString(kTitle));
    auto* g = new QGridLayout(dialog);
    int row = 0;

    description_ = new QLineEdit(dialog);
    description_->setObjectName("GSD:Description");
    description_->setMaxLength(40);
    auto* descriptionLabel = new QLabel("&Description:", dialog);
    descriptionLabel->setBuddy(description_);
    g->addWidget(descriptionLabel, row, 0);
    g->addWidget(description_, row++, 1, 1, 3);

    auto* basis = new QGroupBox("&Style:", dialog);
    basis->setToolTip("Base on grid or exact mouse-click location");
    auto* basisRow = new QHBoxLayout(basis);
    grid_ = new QRadioButton("Grid", basis);
    location_ = new QRadioButton("Location", basis);
    basisRow->addWidget(grid_);
    basisRow->addWidget(location_);
    styleGroup_ = new QGroupBox("Display style", dialog);
    auto* styleRow = new QHBoxLayout(styleGroup_);
    for (int i = 0; i < 3; ++i) {
        styles_[i] = new QRadioButton(kStyles[i], styleGroup_);
        styleRow->addWidget(styles_[i]);
    }
    g->addWidget(basis, row, 0, 1, 2);
    g->addWidget(styleGroup_, row++, 2, 1, 2);

    image_ = new QLineEdit(dialog);
    image_->setObjectName("GSD:Image");
    image_->setMaxLength(255);
    imageButton_ = new QPushButton("...", dialog);
    auto* imageLabel = new QLabel("Image:", dialog);
    imageLabel->setBuddy(image_);
    g->addWidget(imageLabel, row, 0);
    g->addWidget(image_, row, 1, 1, 2);
    g->addWidget(imageButton_, row++, 3);
    preview_ = new QLabel(dialog);
    preview_->setObjectName("Preview");
    preview_->setFrameShape(QFrame::Box);
    preview_->setFixedSize(kPreviewFrame.w, kPreviewFrame.h);
    preview_->setAlignment(Qt::AlignCenter);
    g->addWidget(preview_, row, 0, 5, 2);

    hint_ = new QCheckBox("Show &hint", dialog);
    hint_->setToolTip("Show the outline of the currently selected area");
    g->addWidget(hint_, row++, 2, 1, 2);
    columns_ = new QLineEdit(dialog);
    columns_->setObjectName("GSD:Columns");
    rows_ = new QLineEdit(dialog);
    rows_->setObjectName("GSD:Rows");
    const char* countLabels[2] = {"Number of &columns:", "Number of &rows:"};
    QLineEdit* counts[2] = {columns_, rows_};
    for (int i = 0; i < 2; ++i) {
        counts[i]->setMaxLength(1);
        counts[i]->setMaximumWidth(counts[i]->fontMetrics().averageCharWidth() * 5);
        auto* label = new QLabel(countLabels[i], dialog);
        label->setBuddy(counts[i]);
        g->addWidget(label, row, 2);
        g->addWidget(counts[i], row++, 3);
    }
    gridCheck_ = new QCheckBox("Show &Grid", dialog);
    gridCheck_->setToolTip("Show a grid over the image");
    g->addWidget(gridCheck_, row++, 2, 1, 2);
    auto* colorRow = new QHBoxLayout;
    colorSample_ = new QLabel(dialog);
    colorSample_->setFixedSize(16, 16);
    colorSample_->setAutoFillBackground(true);
    colorCaption_ = new QLabel("Grid Color", dialog);
    colorCaption_->setObjectName("ColorCaption");
    colorButton_ = new QPushButton("Set Color", dialog);
    colorButton_->setToolTip("Color to use for the grid lines");
    colorRow->addWidget(colorSample_);
    colorRow->addWidget(colorCaption_);
    colorRow->addWidget(colorButton_);
    g->addLayout(colorRow, row++, 2, 1, 2);
    advanced_ = new QPushButton("Advanced", dialog);
    g->addWidget(advanced_, row++, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton("&OK", dialog);
    cancel_ = new QPushButton("Cancel", dialog);
    help_ = new QPushButton("Help", dialog);
    for (QPushButton* b : {imageButton_.data(), colorButton_.data(), advanced_.data(), ok_.data(),
                           cancel_.data(), help_.data()})
        b->setAutoDefault(false);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addWidget(help_);
    g->addLayout(buttons, row, 0, 1, 4);
    setWindow(dialog);
    // The picture follows the description: what a new theme needs first, by keyboard too.
    QWidget::setTabOrder(description_, image_);
    QWidget::setTabOrder(image_, imageButton_);

    primary = &table_;
    updateFiles = {&table_.record()};
    historyKey = kDittoKey;
    bind(description_, gsd::Description);
    bind(image_, gsd::Image);
    bind(hint_, gsd::ShowHint);
    bind(columns_, gsd::Columns);
    bind(rows_, gsd::Rows);
    bind(gridCheck_, gsd::ShowGrid);
    addHistoryField(description_, gsd::Description);
    addHistoryField(image_, gsd::Image);
    items.push_back({cancel_.data(), kRequestCancelled});
    okControl = ok_.data();
    firstField = description_.data();

    // The options write straight into the record; every change refreshes what depends on it.
    auto onBasis = [this] {
        m_.gsdRecord->Basis = location_->isChecked() ? "Location" : "Grid";
        refresh();
    };
    QObject::connect(grid_, &QRadioButton::toggled, this, onBasis);
    QObject::connect(location_, &QRadioButton::toggled, this, onBasis);
    for (int i = 0; i < 3; ++i)
        QObject::connect(styles_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) m_.gsdRecord->Style = kStyles[i];
        });
    QObject::connect(gridCheck_, &QCheckBox::toggled, this, [this](bool on) {
        m_.gsdRecord->ShowGrid = on ? 1 : 0;
        refresh();
    });
    return kLevelBenign;
}

void UpdateCVGSD::setupWindow() {
    required.setup(window(), "Missing Information", "@PROMPT must be entered.", false);
    required.add(description_, "Description", "Description", "Description", "GSD:Description");
    required.add(image_, "Image", "Image", "Image", "GSD:Image");
    showRadios();
    refresh();
    if (viewMode_) {
        for (QWidget* w : window()->findChildren<QWidget*>())
            if (w != cancel_ && w != preview_ && !qobject_cast<QLabel*>(w)) w->setEnabled(false);
        ok_->hide();
        cancel_->setText("Cl&ose");
    }
    window()->adjustSize();
}

void UpdateCVGSD::showRadios() {
    const vault::GsdRecord& t = m_.gsdRecord.record();
    const bool location = themeBasis(t.Basis) == ThemeBasis::Location;
    (location ? location_ : grid_)->setChecked(true);
    const PictureStyle style = pictureStyle(t.Style);
    styles_[style == PictureStyle::ActualSize  ? 0
            : style == PictureStyle::Resizable ? 1
                                               : 2]
        ->setChecked(true);
}

void UpdateCVGSD::refresh() {
    const vault::GsdRecord& t = m_.gsdRecord.record();
    const bool grid = themeBasis(t.Basis) == ThemeBasis::Grid;
    if (!viewMode_) {
        for (QWidget* w :
             {static_cast<QWidget*>(advanced_.data()), static_cast<QWidget*>(styleGroup_.data()),
              static_cast<QWidget*>(columns_.data()), static_cast<QWidget*>(rows_.data()),
              static_cast<QWidget*>(gridCheck_.data())})
            w->setEnabled(grid);
        colorButton_->setEnabled(gridCheck_->isChecked() || !grid);
    }
    colorCaption_->setText(grid ? "Grid Color" : "Hint Color");
    const QColor color = colorFromRef(t.GridColor);
    QPalette captionPalette = colorCaption_->palette();
    captionPalette.setColor(QPalette::WindowText, color);
    colorCaption_->setPalette(captionPalette);
    QPalette samplePalette = colorSample_->palette();
    samplePalette.setColor(QPalette::Window, color);
    colorSample_->setPalette(samplePalette);

    const QString path = QString::fromStdString(trimTrailingBlanks(t.Image));
    if (path.isEmpty() || path == shownImage_) return;
    shownImage_ = path;
    const QImage picture(path);
    const Size fitted =
        previewSize({picture.width(), picture.height()}, {kPreviewFrame.w, kPreviewFrame.h});
    if (picture.isNull()) {
        preview_->setPixmap({});
        preview_->setText("The picture cannot be shown.");
        return;
    }
    preview_->setPixmap(QPixmap::fromImage(
        picture.scaled(fitted.w, fitted.h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

bool UpdateCVGSD::checkCount(QLineEdit* entry, int field) {
    const QString text = entry->text().trimmed();
    bool number = false;
    const int value = text.toInt(&number);
    m_.gsdRecord.set(field, int64_t{number && value >= 0 && value <= 255 ? value : 0});
    if (m_.gsd.ValidateField(field) == kLevelBenign) return true;
    entry->setFocus();
    entry->selectAll();
    return false;
}

void UpdateCVGSD::chooseImage() {
    const QString path = askImageFile(window());
    if (path.isEmpty()) return;
    image_->setText(path);
    m_.gsdRecord.set(gsd::Image, path.toStdString());
    refresh();
}

void UpdateCVGSD::chooseColor() {
    if (std::optional<uint32_t> c = askColor(window(), m_.gsdRecord->GridColor)) {
        m_.gsdRecord->GridColor = *c;
        refresh();
    }
}

void UpdateCVGSD::openRecorder() {
    collect();
    Edit_Image recorder(m_.gsdRecord.record());
    recorder.run();
    display();
    showRadios();
    refresh();
}

bool UpdateCVGSD::takeAccepted(QWidget* control) {
    if (control == columns_) {
        checkCount(columns_, gsd::Columns);
    } else if (control == rows_) {
        checkCount(rows_, gsd::Rows);
    } else if (control == image_) {
        m_.gsdRecord.set(gsd::Image, image_->text().toStdString());
        refresh();
    } else if (control == imageButton_) {
        chooseImage();
    } else if (control == colorButton_) {
        chooseColor();
    } else if (control == advanced_) {
        openRecorder();
    } else if (control == ok_) {
        // Columns and rows are checked again: an entry never left may still be out of range.
        collect();
        if (!checkCount(columns_, gsd::Columns) || !checkCount(rows_, gsd::Rows)) return true;
        pressOk();
    } else {
        return FormManager::takeAccepted(control);
    }
    return true;
}

}  // namespace corvix::security
