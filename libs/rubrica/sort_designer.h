// The "Sort Designer": four levels of sort fields with direction, and whether case counts.
#pragma once

#include <QDialog>
#include <string>

#include "libs/rubrica/rubrica.h"

class QCheckBox;
class QComboBox;
class QRadioButton;

namespace corvix::rubrica {

class SortDesigner : public QDialog {
  public:
    static constexpr int kLevels = 4;
    SortDesigner(const TQFIELD& fields, const std::string& sort, QWidget* parent = nullptr);

    // The sort string of the levels as chosen: descending fields with "-", every field in
    // UPPER(...) when case is ignored, the levels after the first "(none)" left out.
    std::string sortString() const;
    void setLevel(int level, int fieldIndex, bool descending);  // fieldIndex -1: (none)
    void clearAll();
    QCheckBox* ignoreCase() const { return ignoreCase_; }

  private:
    const TQFIELD& fields_;
    QComboBox* field_[kLevels];
    QRadioButton* descending_[kLevels];
    QRadioButton* ascending_[kLevels];
    QCheckBox* ignoreCase_;
};

}  // namespace corvix::rubrica
