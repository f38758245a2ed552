#include "security/logon_normal.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "runtime/secret.h"

#include "security/password_text.h"
#include "security/session.h"
#include "security/window_hooks.h"

namespace corvix::security {

Logon_Normal::Logon_Normal(const std::string& prompt, QWidget* parent)
    : LogonDialog("Logon:Normal", prompt, parent) {
    auto* label = new QLabel(tr("Enter your master password:"), this);
    edit_ = new QLineEdit(this);
    edit_->setMaxLength(static_cast<int>(kPasswordChars));
    edit_->setEchoMode(QLineEdit::Password);
    label->setBuddy(edit_);
    ok_ = new QPushButton(tr("&OK"), this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    ok_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addLayout(buttons);

    connect(edit_, &QLineEdit::editingFinished, this, [] { TouchActivity(); });
    connect(ok_, &QPushButton::clicked, this, [this] {
        TouchActivity();
        // The edit's text reaches the result without a std::string on the way.
        QByteArray utf8 = edit_->text().toUtf8();
        acceptWith(::runtime::Secret(std::string_view(utf8.constData(), utf8.size())));
        utf8.fill('\0');
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        TouchActivity();
        reject();
    });
    resize(320, 120);
    windowHooks().restore(procedure(), *this);
    trackPosition();
}

}  // namespace corvix::security
