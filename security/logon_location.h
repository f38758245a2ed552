// Logon:ImageByLocation: the password is given by clicking exact places on a picture;
// each click becomes a two-character code, matched with a tolerance against the
// expected password.
#pragma once

#include "security/logon_dialog.h"

class QTimer;

namespace corvix::security {

class Logon_ImageByLocation : public ImageLogonDialog {
    Q_OBJECT
  public:
    // debug: the mouse debug aids (coordinate line, boxes where clicks were expected).
    Logon_ImageByLocation(const std::string& expected, const std::string& prompt,
                          vault::GsdRecord theme, bool debug, QWidget* parent = nullptr);

    QLabel* coordinateLine() const { return coordinates_; }
    const std::u32string& lastCode() const { return lastCode_; }

  protected:
    void pictureLaidOut(Size picture) override;
    void resetEntry() override;

  private:
    void clicked(QPoint pos);
    void showMouse();

    QLabel* coordinates_ = nullptr;
    QTimer* timer_ = nullptr;
    std::u32string lastCode_;
};

}  // namespace corvix::security
