#include "security/logon_image.h"

#include <QPushButton>

#include "security/session.h"
#include "security/sounds.h"
#include "security/window_hooks.h"

namespace corvix::security {

Logon_Image::Logon_Image(const std::string& prompt, vault::GsdRecord theme, QWidget* parent)
    : ImageLogonDialog("Logon:Image", prompt, std::move(theme), LogonEntry::Kind::Grid, {}, false,
                       parent) {
    // An actual-size window is sized around its picture; the others come back where the
    // user left them.
    if (style_ != PictureStyle::ActualSize) windowHooks().restore(procedure(), *this);
    layoutPicture();
    if (style_ == PictureStyle::ActualSize) sizeAroundPicture();
    refreshEcho();
    trackPosition();
}

void Logon_Image::pictureLaidOut(Size picture) {
    cells_ = buildCells(theme_, {0, 0, picture.w, picture.h});
    for (CellButton* b : buttons_) b->hide();
    while (buttons_.size() < cells_.size()) {
        auto* b = new CellButton(theme_.ShowHint != 0, view_);
        const size_t i = buttons_.size();
        connect(b, &CellButton::clicked, this, [this, i] { cellClicked(i); });
        buttons_.push_back(b);
    }
    for (size_t i = 0; i < cells_.size(); ++i) {
        const Rect& r = cells_[i].box;
        buttons_[i]->setGeometry(r.x, r.y, r.w, r.h);
        buttons_[i]->show();
    }
    view_->setGrid(theme_.ShowGrid ? &cells_ : nullptr, theme_.GridColor);
}

void Logon_Image::cellClicked(size_t i) {
    if (i >= cells_.size()) return;
    TouchActivity();
    playSound(SoundEvent::Click);
    entry_.appendSymbol(cells_[i].symbol);
    okButton()->setFocus();
    refreshEcho();
}

}  // namespace corvix::security
