// Printing, previewing and exporting any list of the program as it is shown: its visible
// columns in the header's order, its rows in the current order and filter. A browse's
// rows are read again through a view of their own, a page at a time, so a list of any
// length prints without being held; a small list in a plain item view is read from its
// model. The list's header (or the list itself) gets a context menu with the four
// commands; the frame's File menu reaches the same through listOutputOf().
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/list_export.h"
#include "runtime/report.h"

class QAbstractItemView;
class QMenu;
class QWidget;

namespace corvix::framework {

class BrowseManager;

// The rows of a list as shown texts.
class ListSource {
  public:
    virtual ~ListSource() = default;
    virtual std::vector<std::string> headers() const = 0;
    // Column widths in pixels as shown (for the printed widths).
    virtual std::vector<int> widths() const = 0;
    // Reads the rows from the first; each call starts again.
    virtual std::unique_ptr<runtime::report::RowSource> rows() const = 0;
    // Whether the shown columns print a secret in clear.
    virtual bool showsSecretsInClear() const { return false; }
};

// A browse's visible columns over all its rows. secretColumn: the model column holding a
// password (-1: none); revealed tells whether the list shows it in clear.
std::unique_ptr<ListSource> browseSource(BrowseManager& browse, int secretColumn = -1,
                                         std::function<bool()> revealed = {});
// An item view's model as it is (every row is in the model).
std::unique_ptr<ListSource> modelSource(QAbstractItemView* view);

class ListOutput : public QObject {
  public:
    using SourceFactory = std::function<std::unique_ptr<ListSource>()>;
    // Lives as long as the list; the menu appears on the list's header (or the list).
    ListOutput(QAbstractItemView* list, std::string title, SourceFactory source);

    // A report of the shown columns: the title and headings on every page.
    runtime::report::Report report() const;
    // Writes CSV or HTML; mode 0600. false with *error on failure. Passwords in clear
    // are written only when confirmed (ask).
    bool exportTo(const std::string& path, ListFormat format, std::string* error = nullptr);
    bool writePdf(const std::string& path, std::string* error = nullptr);

    // The commands as the menus run them (dialogs for the file and the printer).
    void print();
    void preview();
    void exportWithDialog(ListFormat format);
    // The four commands as menu actions, then the list's own ones.
    void addActions(QMenu* menu);
    void addCommand(std::string text, std::function<void()> run);
    // The list's own command of that text (the frame's menu reaches it too); false when
    // the list has none.
    bool hasCommand(const std::string& text) const;
    bool runCommand(const std::string& text);
    // Asks before passwords leave the program in clear; true to go on.
    bool confirmSecrets(const ListSource& source) const;

  private:
    QPointer<QAbstractItemView> list_;
    std::string title_;
    SourceFactory source_;
    std::vector<std::pair<std::string, std::function<void()>>> commands_;
};

// Attaches the commands to a list; returns the object (owned by the list).
ListOutput* attachListOutput(QAbstractItemView* list, std::string title,
                             ListOutput::SourceFactory source);
// Tells the user that a preview's PDF could not be saved (a prompt).
void tellPdfNotSaved(const std::string& path, const std::string& error);

// The commands of the list inside a window (nullptr when it has none).
ListOutput* listOutputOf(QWidget* window);

}  // namespace corvix::framework
