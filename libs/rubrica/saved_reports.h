// The saved reports of a view class (URBROWSE's window) and the name form with which a
// report is named, renamed or copied.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "libs/rubrica/report_store.h"
#include "libs/rubrica/rubrica.h"

class QListWidget;

namespace corvix::rubrica {

enum class NameMode { New, Rename };
// The name form; false when cancelled. A blank name is refused on OK.
bool askReportName(NameMode mode, std::string& name, QWidget* parent = nullptr);

// Stores a definition with the standard messages on failure; false when not stored.
bool storeDefinition(ReportDefinition& def);

class SavedReportsWindow : public QDialog {
  public:
    struct Host {
        TQRPTFIELD* columns;
        const TQFIELD* fields;
        std::string* sort;
        const PredefinedSorts* predefined;
        TQRPTFIELD* allFields;
        BreakOptions* options;
        std::string* format;
        std::string* name;
    };
    SavedReportsWindow(const std::string& viewClass, const Host& host, QWidget* parent = nullptr);

    QListWidget* list() const { return list_; }
    const std::vector<ReportDefinition>& reports() const { return reports_; }
    void reload(int32_t select = 0);
    // The buttons' work.
    void insertReport();
    void changeReport();
    void copyReport();
    void deleteReport();
    void formatReport();
    void selectReport();  // hands the highlighted report to the host; the window completes

  private:
    const ReportDefinition* current() const;

    std::string viewClass_;
    Host host_;
    QListWidget* list_ = nullptr;
    std::vector<ReportDefinition> reports_;
};

}  // namespace corvix::rubrica
