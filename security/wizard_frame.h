// What the small wizards share: a window with one "Introduction" page on a sheet, and
// the "&OK", "Cancel" and "Help" buttons under it (OK the default).
#pragma once

class QPushButton;
class QVBoxLayout;
class QWidget;

namespace corvix::security {

struct WizardFrame {
    QWidget* window = nullptr;
    QWidget* page = nullptr;
    QVBoxLayout* pageLayout = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
};

WizardFrame makeWizardFrame(const char* objectName, const char* title);

}  // namespace corvix::security
