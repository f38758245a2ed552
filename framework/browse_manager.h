// The browse manager binds a list control to a paged view of one table: one sort order
// per sheet tab, named filters, locators, the keys and mouse of the list, selection, and
// update requests routed to the window's update procedure.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/browse_locator.h"
#include "framework/browse_model.h"
#include "framework/browse_view.h"

class QAbstractButton;
class QKeyEvent;
class QMenu;
class QScrollBar;
class QTabBar;
class QTableView;

namespace corvix::framework {

class FileManager;
class RelationManager;
class WindowManager;

class BrowseManager : public QObject {
  public:
    // window: the browse's window manager (runs the update procedure); file: the table's
    // file manager (its buffer receives the selected record).
    BrowseManager(WindowManager& window, FileManager& file);
    ~BrowseManager() override;

    // ---- set-up ----
    void setList(QTableView* list, QScrollBar* thumb = nullptr);
    void addColumn(int field, std::string header, std::string picture = {});
    // Adds a sort order by key; returns its number (1-based).
    int addSortOrder(int key);
    // A locator for the last sort order added.
    void addLocator(Locator::Kind kind, int field, QLineEdit* entry = nullptr);
    // Tabs of a sheet choose the sort order (tab i -> order i + 1).
    void setSheet(QTabBar* tabs);
    int updateProcedure = 1;
    QPointer<QAbstractButton> insertControl, changeControl, deleteControl, viewControl,
        selectControl;
    QPointer<QAbstractButton> helpControl;
    bool hideSelect = true;  // hide the select control unless selecting

    // Opens the view, wires the list and shows the first page.
    int init(int request);
    void kill();

    // ---- filters and orders ----
    // Named filters are expression trees over the table's fields (see
    // runtime/expression.h); the text form is parsed with the view's field binding.
    // An empty text (or null tree) removes the filter; text that does not parse is
    // kept and refused by applyFilter.
    void setFilter(const std::string& expression, const std::string& name = "5 Standard");
    void setFilter(runtime::expr::Tree tree, const std::string& name = "5 Standard");
    // Composes the named filters of the current order (AND) and hands the tree to the
    // view; a refusal shows "View Open Error" and the list unfiltered.
    void applyFilter();
    // Runs at the start of every applyFilter: filters are kept per sort order, so a
    // window whose filter holds whatever the order (a query) sets it again here.
    std::function<void()> beforeApplyFilter;
    // The named filters as text, each in parentheses, joined with " AND ".
    std::string composedFilter() const;
    void setSortOrder(int order);  // 1-based; re-reads the first page
    int sortOrder() const { return order_; }

    // ---- column-header sorting and the saved layout ----
    // A header click sorts by its column: by a sort order whose key starts with the
    // column's field, else by the field alone (keyless, still paged); the same column
    // again reverses it. Choosing a tab drops it.
    void headerClicked(int column);
    void sortByColumn(int column, bool descending);
    bool headerSorted() const { return headerColumn_ >= 0; }
    int headerColumn() const { return headerColumn_; }
    bool headerDescending() const { return headerDescending_; }
    // Column order, widths and the header's order under section of the settings store,
    // keys "<list>.Columns", "<list>.Widths", "<list>.Sort".
    void saveLayout(const std::string& section, const std::string& list);
    void restoreLayout(const std::string& section, const std::string& list);
    Locator* locator();  // of the current order; nullptr when none

    // ---- moving ----
    void first();
    void last();
    void up();
    void down();
    void pageUp();
    void pageDown();
    void locate();         // on the current locator's value
    void resetFromFile();  // re-read the page around the current row (every gain of focus)
    bool takeTyped(const QString& typed);  // a key for the locator

    // ---- updating ----
    // Re-reads the selected row's record into the table's buffer; false when none.
    bool updateBuffer();
    // Runs the update procedure with a request (view is change with the view-request
    // counter raised); re-reads the page when completed. Toolbar moves after a save
    // repeat the form on the record reached.
    int ask(int request);
    void viewRecord();
    // Select mode: the selected record stays in the buffer and the window completes.
    void selectCurrent();
    bool selecting() const { return request_ == 4; }
    // The window passes its accepted controls here first: the insert, change, delete,
    // view and select controls act on the list. True when handled.
    bool takeAccepted(QWidget* control);
    // The "Browse Actions" menu for the current row (built, not shown).
    QMenu* actionsMenu();
    // Toolbar numbers 2001-2012 as this browse interprets them.
    bool hasToolbarButton(int button) const;
    void takeToolbarButton(int button);

    BrowseView& view() { return *view_; }
    BrowseModel& model() { return *model_; }
    QTableView* list() const { return list_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct SortOrder {
        int key;
        std::unique_ptr<Locator> locator;
        struct Filter {
            std::string text;
            runtime::expr::Tree tree;  // null when the text does not parse
        };
        std::map<std::string, Filter> filters;  // by name
    };
    void shown();  // the page changed: model, selection, thumb
    void press(QAbstractButton* control);
    bool keyPressed(QKeyEvent* key);
    void moveBy(int button);  // the toolbar move after a save
    int pageRows();

    WindowManager& window_;
    FileManager& file_;
    std::unique_ptr<BrowseView> view_;
    std::unique_ptr<BrowseModel> model_;
    QPointer<QTableView> list_;
    QPointer<QScrollBar> thumb_;
    QPointer<QTabBar> sheet_;
    QPointer<QMenu> menu_;
    std::vector<SortOrder> orders_;
    int order_ = 0;
    int headerColumn_ = -1;
    bool headerDescending_ = false;
    int request_ = 0;
    bool syncing_ = false;
};

}  // namespace corvix::framework
