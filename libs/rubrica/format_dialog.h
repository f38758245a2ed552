// The "Format Report" dialog: the columns and their totals (Layout), the sort order (Sort
// Order) and the group breaks (Grouping) of one report design.
#pragma once

#include <QDialog>
#include <optional>
#include <string>

#include "libs/rubrica/rubrica.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace corvix::rubrica {

struct FormatRequest {
    TQRPTFIELD* allFields = nullptr;
    std::optional<uint8_t> options;
    std::optional<long> reportId;
    std::optional<std::string> title;
    const TQFIELD* fields = nullptr;
    std::string* sort = nullptr;  // null: no sort tab
    const PredefinedSorts* predefined = nullptr;
    TQRPTFIELD* columns = nullptr;
    BreakOptions* breakOptions = nullptr;
    std::string* format = nullptr;  // receives the format string on Apply (optional)
};

class FormatReportDialog : public QDialog {
  public:
    explicit FormatReportDialog(const FormatRequest& request, QWidget* parent = nullptr);

    long result() const { return result_; }
    QTabWidget* tabs() const { return tabs_; }

    // ---- what the controls do, for the buttons and for tests ----
    void addSelected();     // "Add ->"
    void removeSelected();  // "<- Remove"
    void moveSelected(int by);
    void setTotal(int column, long total);  // -1, -2 or -3 on a totallable column
    void setBreakOption(QCheckBox* box, bool on);
    void apply();           // builds everything into the caller's variables; result -1
    void closeDialog();     // restores the sort; result 0
    bool save(bool asNew);  // "&Save" / "Save As..."; false when nothing was stored

    // The design as the controls show it.
    TQRPTFIELD currentColumns() const { return columns_; }
    BreakOptions currentOptions() const;
    std::string currentSort() const;

    QListWidget* available() const { return available_; }
    QListWidget* shown() const { return shown_; }
    QCheckBox* suppress() const { return suppress_; }
    QCheckBox* option(int level, int which) const { return level_[level][which]; }
    QCheckBox* averageBox() const { return average_; }
    QCheckBox* totalBox() const { return total_; }
    QRadioButton* customSort() const { return custom_; }
    QLabel* customText() const { return customText_; }

  private:
    QWidget* layoutTab();
    QWidget* sortTab();
    QWidget* groupingTab();
    void refreshLists(int selectShown = -1);
    void refreshTotals();
    void designSort();
    void showCustomSort();
    void suppressToggled(bool on);
    void optionToggled();
    void loadDefinition();

    FormatRequest r_;
    TQRPTFIELD columns_;
    std::string customSort_;
    std::string sortOnEntry_;
    std::string name_;
    long result_ = 0;
    bool syncing_ = false;
    QTabWidget* tabs_ = nullptr;
    QListWidget* available_ = nullptr;
    QListWidget* shown_ = nullptr;
    QCheckBox* average_ = nullptr;
    QCheckBox* total_ = nullptr;
    QRadioButton* default_ = nullptr;
    QRadioButton* predefined_ = nullptr;
    QRadioButton* custom_ = nullptr;
    QComboBox* predefinedList_ = nullptr;
    QLabel* customText_ = nullptr;
    QCheckBox* suppress_ = nullptr;
    QCheckBox* level_[2][4] = {};  // page, heading, footing, totals
};

// The class the design dialogs store new reports under (the saved-reports list sets it).
void setCurrentViewClass(const std::string& viewClass);
const std::string& currentViewClass();

}  // namespace corvix::rubrica
