#include "app/about_window.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/icons.h"

namespace corvix::app {

AboutWindow::AboutWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("About");
    setWindowTitle("About");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel;
    icon->setPixmap(namedIcon("0corvix.ico").pixmap(48, 48));
    icon->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(kProductTitle);
    title->setObjectName("ProductTitle");
    QFont f = title->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QString("Version ") + kVersionText);
    version->setObjectName("Version");
    version->setAlignment(Qt::AlignCenter);
    auto* ok = new QPushButton("&OK");
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(icon);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(ok, 0, Qt::AlignCenter);
}

}  // namespace corvix::app
