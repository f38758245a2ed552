// The banded report engine: a report object made of a page header, nested break bands
// with their headings and footings, a detail band and a report-end band, each holding
// controls (fixed texts, fields of the row, running totals, rules). Rows are read one at a
// time from a RowSource and laid out onto pages handed to a PageSink, so a report over any
// number of rows holds one row and one page in memory.
//
// Positions and sizes are in thousandths of an inch, measured inside the page margins.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvix::runtime::report {

enum class Align : uint8_t { Left, Right, Center };
enum class ControlKind : uint8_t { Text, Field, Total, Rule };
enum class TotalKind : uint8_t { Sum, Average };
enum class BandKind : uint8_t { PageHeader, Break, Heading, Footing, Detail, ReportEnd };

struct Control {
    int id = 0;
    ControlKind kind = ControlKind::Text;
    std::string text;     // what a Text control prints
    int field = -1;       // the row's cell a Field or Total control shows
    std::string picture;  // "" prints a cell's text as it is, a total as a plain number
    int x = 0, y = 0, width = 0, height = 0;
    Align align = Align::Left;
    TotalKind total = TotalKind::Sum;
    int resetBand = 0;    // a Total restarts when this break band's group ends; 0: never
    bool hidden = false;  // templates a report carries for others to copy
};

struct Band {
    int id = 0;
    BandKind kind = BandKind::Detail;
    int parent = 0;          // the enclosing break band; 0 for the report itself
    int height = 0;          // 0: as high as its controls reach
    bool pageAfter = false;  // a footing that ends its page
    int breakField = -1;     // a Break band's cell: a change starts a new group
    bool hidden = false;     // a Break band not yet used
    std::vector<Control> controls;
};

// One value of a row: its text as shown, and its number for totals.
struct Cell {
    std::string text;
    double number = 0;
};
using Row = std::vector<Cell>;

class RowSource {
  public:
    virtual ~RowSource() = default;
    // The next row in the report's order; false at the end (or on an error()).
    virtual bool next(Row& row) = 0;
    virtual int error() const { return 0; }
};

// A text's line height for the report's font, in thousandths of an inch.
constexpr int kLineHeight = 190;

class Report {
  public:
    Report();

    // The paper, portrait; the printable area is the paper less the margin all round.
    int paperWidth = 8268, paperHeight = 11693, margin = 400;  // A4
    bool landscape() const { return landscape_; }
    // Swaps the printable width and height; stretches every band's full-width rule.
    void setLandscape(bool on);
    int width() const;   // printable width
    int height() const;  // printable height

    std::string fontName = "DejaVu Sans";
    int fontSize = 8;  // points
    bool bold = false, italic = false;
    std::string title;

    Band& pageHeader() { return bands_.front(); }
    const Band& pageHeader() const { return bands_.front(); }
    Band* band(int id);
    const Band* band(int id) const;
    // A band of the given kind inside parent (0: the report). An existing id is returned.
    Band& addBand(int id, BandKind kind, int parent = 0);
    Control* control(int id);
    const Control* control(int id) const;
    Band* bandOf(int controlId);
    // Adds a control to a band (replacing one of the same id anywhere); nullptr when the
    // band does not exist.
    Control* addControl(int bandId, const Control& c);
    bool removeControl(int id);

    // Break bands, outermost first.
    std::vector<const Band*> breaks() const;
    const Band* heading(int breakId) const;  // nullptr when none
    const Band* footing(int breakId) const;
    const Band* detail() const;  // the Detail band, if any
    const Band* reportEnd() const;
    const std::vector<Band>& bands() const { return bands_; }

  private:
    bool landscape_ = false;
    std::vector<Band> bands_;  // [0] is the page header
};

// Where pages go: a painter, a recorder in tests.
class PageSink {
  public:
    virtual ~PageSink() = default;
    virtual bool beginPage(int number) = 0;  // false stops the run
    // A control's text in its rectangle, page coordinates (thousandths of an inch).
    virtual void text(int x, int y, int width, int height, const std::string& text, Align align,
                      bool bold) = 0;
    virtual void rule(int x, int y, int width) = 0;
    virtual void endPage() = 0;
};

struct RunResult {
    int pages = 0;
    int64_t rows = 0;
    int error = 0;  // the row source's error, 0 when every row was read
};

// Lays the rows out band by band and page by page.
RunResult run(const Report& report, RowSource& rows, PageSink& sink);

// The text a Total control shows for a sum or average.
std::string totalText(const Control& c, double value);

}  // namespace corvix::runtime::report
