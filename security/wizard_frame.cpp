#include "security/wizard_frame.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace corvix::security {

WizardFrame makeWizardFrame(const char* objectName, const char* title) {
    WizardFrame f;
    f.window = new QWidget;
    f.window->setObjectName(objectName);
    f.window->setWindowTitle(title);
    auto* layout = new QVBoxLayout(f.window);
    auto* sheet = new QTabWidget(f.window);
    f.page = new QWidget;
    f.pageLayout = new QVBoxLayout(f.page);
    sheet->addTab(f.page, "Introduction");
    layout->addWidget(sheet);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    f.ok = new QPushButton("&OK", f.window);
    f.cancel = new QPushButton("Cancel", f.window);
    auto* help = new QPushButton("Help", f.window);
    for (QPushButton* b : {f.ok, f.cancel, help}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    f.ok->setDefault(true);
    layout->addLayout(buttons);
    return f;
}

}  // namespace corvix::security
