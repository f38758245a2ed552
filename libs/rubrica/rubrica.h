// rubrica: the report wizard library. A host describes the fields a list report may
// print, names its view by a class, and lets the user design list reports (columns in
// order, sort order, two break levels, totals and averages, suppressed detail) that are
// kept in the library's own table (RWReport). At print time the library builds a design
// into the host's report object (runtime/report.h): break bands, detail controls,
// headings, totals and group identifiers, laid out across the page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvix::runtime::report {
class Report;
}

namespace corvix::rubrica {

// A field the host can print (TQFIELD).
struct FieldEntry {
    std::string DESC;      // description, also the column heading (30)
    std::string NAME;      // the field's name, "PAS:Category" (60)
    uint8_t ISSTRING = 0;  // 1 for a string field
};
using TQFIELD = std::vector<FieldEntry>;

// TOTAL values of a report field.
enum : long {
    kGroupLevel1 = 1,
    kGroupLevel2 = 2,
    kNoTotal = 0,      // cannot be totalled
    kTotallable = -1,  // can be, none chosen
    kSum = -2,
    kAverage = -3,
};

// A report field or column (TQRPTFIELD).
struct RptField {
    std::string DESC;    // (30)
    long FLDEQUATE = 0;  // the report control printing the column; 0: not placed yet
    std::string NAME;    // (40)
    long TOTAL = kNoTotal;
};
using TQRPTFIELD = std::vector<RptField>;

// The break options, nine bytes in this order.
struct BreakOptions {
    uint8_t GHEAD[2] = {0, 0};   // group identifier in heading, per level
    uint8_t GFOOT[2] = {0, 0};   // identifier in footing
    uint8_t GPAGE[2] = {0, 0};   // new page after group
    uint8_t GTOTAL[2] = {0, 0};  // group totals
    uint8_t GSUPPRESS = 0;       // suppress detail rows

    bool level(int i) const { return GHEAD[i] || GFOOT[i] || GPAGE[i] || GTOTAL[i]; }
    bool operator==(const BreakOptions&) const = default;
};
static_assert(sizeof(BreakOptions) == 9);

// A sort order the host offers ready-made (the fastest: a key of its table).
struct PredefinedSort {
    std::string description;
    std::string order;  // a sort string
};
using PredefinedSorts = std::vector<PredefinedSort>;

// ---- exports ----
// Names the definitions table: "RWReport" unless a non-blank name is given.
void REPWIZINIT(const std::optional<std::string>& fileName = std::nullopt);
// The saved reports of a view class. A report chosen there rebuilds columns from its
// format and hands its sort string, break options and format (and its name when asked)
// to the caller. Returns 1 when a report was chosen, 0 when the list was closed.
long URBROWSE(TQRPTFIELD& columns, const std::string& viewClass, const TQFIELD& fields,
              std::string& sort, const PredefinedSorts& predefined, TQRPTFIELD& allFields,
              BreakOptions& options, std::string& format, std::string* name = nullptr);
// The "Format Report" dialog: -1 when the user applied the format, 0 when closed.
long REPORTWIZARD(TQRPTFIELD& allFields, std::optional<uint8_t> options,
                  std::optional<long> reportId, const std::optional<std::string>& title,
                  const TQFIELD& fields, std::string* sort, const PredefinedSorts& predefined,
                  TQRPTFIELD& columns, BreakOptions& breakOptions);
// Rebuilds the columns from a format string.
void BUILDCQ(const std::string& format, const TQRPTFIELD& allFields, TQRPTFIELD& columns);
// Creates the break structure of the report named by useReport().
void URINIT(const BreakOptions& options);
// Places the controls of the column called name, printing the row's cell `field`.
// templateControl: the host's template control for the column (0 or none: the column
// gets 1000 + the running count); count is raised by one for each column placed.
void URINITCONTROL(TQRPTFIELD& columns, int field, const std::string& name, long* templateControl,
                   long unused, const BreakOptions& options, long& count);
// Lays the placed columns across the page from `left` (0: 10 units), `gap` units apart
// (0: 125); a portrait report too wide turns landscape, a landscape one drops what does
// not fit (once, with a message).
void URPOST(TQRPTFIELD& columns, long left, long gap, const BreakOptions& options);
// Moves or stretches control of the current window by the difference between the
// window's width and referenceWidth: mode 1 by half of it, 2 by all of it, 3 widens it.
void URADJUST(long control, long referenceWidth, uint8_t mode);

// ---- for hosts written in C++ ----
// The report object URINIT, URINITCONTROL and URPOST build into.
void useReport(runtime::report::Report* report);
// The definitions table's name as REPWIZINIT left it.
const std::string& reportTableName();
// URADJUST's arithmetic: the new (x, width) of a control.
struct Placement {
    int x = 0, width = 0;
};
Placement adjusted(Placement control, int windowWidth, int referenceWidth, uint8_t mode);

}  // namespace corvix::rubrica
