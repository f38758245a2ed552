// Logon:Image: the password is given by clicking the cells of a grid theme.
#pragma once

#include <vector>

#include "security/logon_dialog.h"

namespace corvix::security {

class CellButton;

class Logon_Image : public ImageLogonDialog {
    Q_OBJECT
  public:
    Logon_Image(const std::string& prompt, vault::GsdRecord theme, QWidget* parent = nullptr);

    const std::vector<ThemeCell>& cells() const { return cells_; }
    // The cell control of cells()[i].
    CellButton* cellButton(size_t i) const { return buttons_.at(i); }

  protected:
    void pictureLaidOut(Size picture) override;

  private:
    void cellClicked(size_t i);

    std::vector<ThemeCell> cells_;
    std::vector<CellButton*> buttons_;
};

}  // namespace corvix::security
