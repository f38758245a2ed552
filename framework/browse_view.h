// A page of a table in key order: the records a list shows, read a page at a time with
// keyset seeks on the storage driver, never the whole table. Moves (first, last, up,
// down, page up, page down), locating on a key value, a filter handed to the storage,
// re-reading around the current row, and the scroll thumb for text keys.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/filter_binding.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"

namespace corvix::framework {

class BrowseView {
  public:
    struct Row {
        storage::Record record;
        std::string position;  // the record's position in the view (for reget)
    };

    // Reads through a handle of its own on decl's table (sharing the file's connection).
    explicit BrowseView(const storage::TableDecl& decl);
    ~BrowseView();

    int open();  // read-only, deny none; 0 or the driver's error
    // The handle the view reads through, for what must be set before opening (owner).
    storage::Table& table() { return *table_; }
    void close();
    bool isOpen() const;
    const storage::TableDecl& decl() const { return decl_; }

    void setPageSize(int rows);  // at least 1
    int pageSize() const { return pageSize_; }
    // The key giving the order; the page is emptied (call first() or locate()).
    void setOrder(int key);
    int order() const { return key_; }
    // The key order read backwards (a header clicked twice).
    void setDescending(bool descending);
    bool descending() const { return descending_; }
    // An order no key gives: the records by one field, from the storage's sorted list of
    // their positions; the page reads only its own rows. The page is emptied. 0 or the
    // driver's error.
    int setFieldOrder(int field, bool descending);
    int fieldOrder() const { return orderField_; }  // -1 when a key gives the order
    // Field names of filters; aliases are added here.
    FilterBinding& binding() { return binding_; }
    // A filter tree (null for none): what SQL can express runs inside the storage with
    // bound values, the rest is tested per record while paging. inStorage false tests
    // all of it per record (for comparisons). 0 or the driver's error (76 when refused:
    // the view then shows everything).
    int setFilter(runtime::expr::Tree tree, bool inStorage = true);
    const runtime::expr::Tree& filter() const { return filter_; }
    // The condition handed to the storage ("" for none) and what stays per record.
    const std::string& storageFilter() const { return storageFilter_; }
    const runtime::expr::Tree& residualFilter() const { return residual_; }

    int first();
    int last();
    int down();  // next row; at the end of the page the page scrolls by one
    int up();
    int pageDown();  // the next page; on the last page the last row is selected
    int pageUp();
    // Positions on the first record whose key is not below the key fields of keyValues
    // (the last record when there is none) and selects it.
    int locate(const storage::RecordBuffer& keyValues);
    // Re-reads the page from its first row, keeping the selected record when it still
    // exists (changes by other windows show up).
    int refresh();

    const std::vector<Row>& rows() const { return rows_; }
    int selected() const { return selected_; }  // -1 when the page is empty
    void select(int row);
    const Row* current() const;
    bool empty() const { return rows_.empty(); }
    // The first/last row of the page is the first/last record of the view.
    bool atTop() const { return atTop_; }
    bool atBottom() const { return atBottom_; }

    // Scroll thumb, 0..100. Text keys place it by the step table of their first
    // characters; other keys show 0 at the top, 100 at the bottom, 50 between.
    int thumb() const;
    // Moves to the place of a thumb dragged to percent.
    int thumbTo(int percent);
    // The 100 steps of letters that a text key's thumb is placed by.
    static const std::vector<std::string>& letterSteps();

  private:
    // The field order's moves, over the list of positions (browse_view_field_order.cpp).
    int loadPositions();
    int fillAt(size_t top, int selectRow);
    int fieldFirst();
    int fieldLast();
    int fieldDown();
    int fieldUp();
    int fieldPageDown();
    int fieldPageUp();
    int fieldRefresh();
    int fieldThumb() const;
    int fieldThumbTo(int percent);

    // Reads up to n rows after (or before) anchor, anchor itself when inclusive.
    int readAfter(const Row& anchor, int n, bool inclusive, std::vector<Row>& out);
    int readBefore(const Row& anchor, int n, bool inclusive, std::vector<Row>& out);
    int readFromStart(int n, std::vector<Row>& out);
    int readFromEnd(int n, std::vector<Row>& out);  // in key order
    int seekRead(bool forward, const storage::RecordBuffer* from, int n, const Row* anchor,
                 bool inclusive, std::vector<Row>& out);
    // Compares rows in the view's order: key fields (no case, no trailing blanks), then
    // physical position.
    int compareKey(const storage::RecordBuffer& a, const storage::RecordBuffer& b) const;
    int compareRows(const Row& a, const Row& b) const;
    void fillPage(std::vector<Row> forward, int selectRow);
    bool stringKey() const;

    const storage::TableDecl& decl_;
    std::unique_ptr<storage::Table> table_;
    FilterBinding binding_;
    runtime::expr::Tree filter_;
    runtime::expr::Tree residual_;
    std::string storageFilter_;
    int key_ = 0;
    int pageSize_ = 20;
    std::vector<Row> rows_;
    int selected_ = -1;
    bool atTop_ = true;
    bool atBottom_ = true;
    bool descending_ = false;
    int orderField_ = -1;
    std::vector<int64_t> positions_;  // the field order's records, in view order
    size_t top_ = 0;                  // index in positions_ of the page's first row
};

}  // namespace corvix::framework
