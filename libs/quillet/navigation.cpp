// QX_CHILDQUERY and QX_QWNAVIGATE: whether a child view has a record passing a filter,
// and moving a host's view to the next record that passes one (or has such a child),
// reading in small steps from a timer so that a long search shows its progress and can
// be cancelled. Filters are pushed into the storage with bound values as far as SQL can
// express them; the rest is tested per record.
#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "libs/quillet/messages.h"
#include "libs/quillet/quillet.h"
#include "libs/quillet/windows.h"
#include "platform/storage/filter_binding.h"
#include "platform/storage/table.h"
#include "platform/storage/table_filter.h"

namespace corvix::quillet {

namespace ex = runtime::expr;

namespace {

// Field numbers at and above this name the parent's fields in a link expression.
constexpr int kParentField = 1 << 20;
constexpr int kStepRecords = 20;    // records read per timer event
constexpr int kShowAfter = 40;      // records read before the progress window shows
constexpr int kProgressSpan = 500;  // records per run of the progress bar

std::string errorWithCode(const storage::Error& e) {
    if (e.code == storage::kDriverError && e.driverCode != 0)
        return e.driverText + " (" + std::to_string(e.driverCode) + ")";
    return e.text + " (" + std::to_string(e.code) + ")";
}

void fileError(const std::string& title, const std::string& what, const storage::Error& e) {
    tell(title, what + "  Error: " + errorWithCode(e));
}

// The tree with every parent field replaced by the parent record's value.
ex::Tree withParentValues(const ex::Tree& tree, const storage::RecordBuffer* parent) {
    if (!tree) return tree;
    if (tree->kind == ex::Node::Kind::Field && tree->field >= kParentField) {
        auto constant = std::make_shared<ex::Node>();
        constant->position = tree->position;
        const ex::Value v = parent
                                ? storage::FilterBinding::value(*parent, tree->field - kParentField)
                                : ex::Value::ofText("");
        constant->type = v.type;
        if (v.isText()) {
            constant->kind = ex::Node::Kind::Text;
            constant->text = v.text;
        } else {
            constant->kind = ex::Node::Kind::Number;
            constant->number = v.number;
        }
        return constant;
    }
    bool changed = false;
    std::vector<ex::Tree> args;
    for (const ex::Tree& a : tree->args) {
        args.push_back(withParentValues(a, parent));
        changed = changed || args.back() != a;
    }
    if (!changed) return tree;
    auto copy = std::make_shared<ex::Node>(*tree);
    copy->args = std::move(args);
    return copy;
}

std::string joined(const std::string& link, const std::string& filter) {
    const std::string l = runtime::expr::clipText(link), f = runtime::expr::clipText(filter);
    if (l.empty()) return f;
    if (f.empty()) return l;
    return "(" + l + ") AND (" + f + ")";
}

// A read-only handle of the library's own on a host's table, with a filter.
class FilteredHandle {
  public:
    explicit FilteredHandle(const storage::Table& host)
        : binding_(host.decl()), table_(host.decl()) {
        table_.setName(host.name());
        table_.setOwner(host.owner());
    }
    int open() { return table_.open(storage::kReadOnly | storage::kDenyNone); }
    // Parses expression over the table's fields (and parent's, when given); false when
    // it does not parse or the storage refuses it.
    bool setFilter(const std::string& expression, const storage::RecordBuffer* parent,
                   const storage::TableDecl* parentDecl) {
        residual_.reset();
        error_.reset();
        if (expression.empty()) return storage::setFilter(table_, "", {}) == 0;
        std::optional<storage::FilterBinding> parentBinding;
        if (parentDecl) parentBinding.emplace(*parentDecl);
        const ex::Resolver own = binding_.resolver();
        const ex::ParseResult r =
            ex::parse(expression, [&](std::string_view name) -> std::optional<ex::FieldInfo> {
                if (auto f = own(name)) return f;
                if (!parentBinding) return std::nullopt;
                auto f = parentBinding->resolver()(name);
                if (f) f->index += kParentField;
                return f;
            });
        if (!r.ok()) {
            storage::Error e;
            e.code = storage::kInvalidFilter;
            e.text = storage::errorText(e.code) + ": " + r.message();
            error_ = e;
            return false;
        }
        ex::SqlFilter sql = binding_.toSql(withParentValues(r.tree, parent));
        if (storage::setFilter(table_, sql.where, std::move(sql.params)) != 0) {
            error_ = table_.error();
            return false;
        }
        residual_ = std::move(sql.residual);
        return true;
    }
    // The next record that passes (forwards or backwards): 0, 33 at the end, or the error.
    int read(bool forward, storage::RecordBuffer& into) {
        for (;;) {
            const int rc = forward ? table_.next(into) : table_.previous(into);
            if (rc != 0) return rc;
            if (!residual_ || binding_.passes(*residual_, into)) return 0;
        }
    }
    storage::Table& table() { return table_; }
    const storage::Error& error() const { return error_ ? *error_ : table_.error(); }

  private:
    storage::FilterBinding binding_;
    storage::Table table_;
    ex::Tree residual_;
    std::optional<storage::Error> error_;
};

int positionOn(storage::Table& t, int key, const storage::RecordBuffer* from, bool backwards) {
    if (from) return t.setFrom(key, *from);
    return backwards ? t.setLast(key) : t.set(key);
}

// The progress window of a long search; shown only after kShowAfter records.
class Progress {
  public:
    Progress(uint8_t direction, bool* cancelled) {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
        static const char* const kTexts[] = {
            "Locating First Query Result...", "Locating Previous Query Result...",
            "Locating Next Query Result...", "Locating Last Query Result..."};
        window_ = std::make_unique<QDialog>();
        window_->setWindowTitle("Query Navigation");
        window_->setWindowModality(Qt::ApplicationModal);
        auto* l = new QVBoxLayout(window_.get());
        l->addWidget(new QLabel(kTexts[direction - 1], window_.get()));
        bar_ = new QProgressBar(window_.get());
        bar_->setRange(0, 100);
        l->addWidget(bar_);
        auto* cancel = new QPushButton("Cancel", window_.get());
        cancel->setObjectName("Cancel");
        l->addWidget(cancel);
        QObject::connect(cancel, &QPushButton::clicked, [cancelled] { *cancelled = true; });
        QObject::connect(window_.get(), &QDialog::rejected, [cancelled] { *cancelled = true; });
    }
    void counted(long reads) {
        if (!window_) return;
        bar_->setValue(static_cast<int>(reads % kProgressSpan) * 100 / kProgressSpan);
        if (reads >= kShowAfter && !window_->isVisible()) {
            window_->show();
            tellWindowShown(*window_, "QueryNavigation");
        }
    }

  private:
    std::unique_ptr<QDialog> window_;
    QProgressBar* bar_ = nullptr;
};

// Runs step until it answers done, from timer events when there is an event loop.
template <class Step>
void runInSteps(Step step) {
    if (!QCoreApplication::instance()) {
        while (!step()) {
        }
        return;
    }
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (step()) loop.quit();
    });
    timer.start(0);
    loop.exec();
}

void endOfView(uint8_t direction) {
    if (direction == 2)
        tell("Previous Query Result", "No previous records meet the query criteria.",
             MessageIcon::Information);
    else if (direction == 3)
        tell("Next Query Result", "No forward records meet the query criteria.",
             MessageIcon::Information);
    else
        tell("Query Navigation Result", "No records meet the current query criteria.",
             MessageIcon::Information);
}

// Whether the child handle has a record passing expression (1) or not (0), positioned
// on the key fields the host left in the child's buffer; -1 when the filter cannot be
// set (reported).
int childHas(FilteredHandle& h, const QueryView& child, const std::string& expression,
             const QueryView* parent) {
    const storage::TableDecl* parentDecl =
        parent && parent->table ? &parent->table->decl() : nullptr;
    if (!h.setFilter(expression, parent ? parent->buffer : nullptr, parentDecl)) {
        tell("View Open Error",
             "current VIEW. Filter and Range Limits ignored.  Error: " + errorWithCode(h.error()));
        return -1;
    }
    storage::Record found(child.table->decl());
    const bool keyed = child.key >= 0;
    if (positionOn(h.table(), child.key, keyed ? child.buffer : nullptr, false) != 0) return 0;
    return h.read(true, found) == 0 ? 1 : 0;
}

}  // namespace

uint8_t QX_CHILDQUERY(QueryView& child, const std::string& link, const std::string& filter,
                      const QueryView* parent) {
    if (!child.table || !child.buffer) return 0;
    FilteredHandle h(*child.table);
    if (h.open() != 0) {
        fileError("File Access Error", "The child file could not be opened.", h.error());
        return 0;
    }
    return childHas(h, child, joined(link, filter), parent) == 1 ? 1 : 0;
}

uint8_t QX_QWNAVIGATE(QueryView& view, const std::string* position, const std::string& filter,
                      uint8_t direction, QueryView* child, const std::string* link) {
    if (!view.table || !view.buffer || direction < 1 || direction > 4) return 0;
    const bool forward = direction == 1 || direction == 3;
    const bool fromPosition = direction == 2 || direction == 3;
    if (fromPosition && (!position || position->empty())) return 0;

    FilteredHandle h(*view.table);
    if (h.open() != 0) {
        fileError("File Access Error", "Current Navigation File could not be opened.", h.error());
        return 0;
    }
    // With a child view the parent's records are all read and each is tested by its
    // children; otherwise the filter selects the records.
    if (!child && !h.setFilter(runtime::expr::clipText(filter), nullptr, nullptr)) {
        tell("View Open Error",
             "current VIEW. Filter and Range Limits ignored.  Error: " + errorWithCode(h.error()));
        return 0;
    }
    std::optional<FilteredHandle> children;
    if (child) {
        if (!child->table || !child->buffer) return 0;
        children.emplace(*child->table);
        if (children->open() != 0) {
            fileError("File Access Error", "The child file could not be opened.",
                      children->error());
            return 0;
        }
    }
    const std::string childFilter = joined(link ? *link : std::string(), filter);
    storage::Record record(view.table->decl()), start(view.table->decl());
    start.copyFrom(*view.buffer);
    int rc = 0;
    if (fromPosition) {
        rc = h.table().reset(view.key, *position);
        if (rc == 0) rc = forward ? h.table().next(record) : h.table().previous(record);
    } else {
        rc = positionOn(h.table(), view.key, nullptr, !forward);
    }
    if (rc != 0) {
        fileError("Record Retrieval Error", "Current Navigation File could not be read.",
                  h.table().error());
        return 0;
    }

    bool cancelled = false, failed = false;
    Progress progress(direction, &cancelled);
    long reads = 0;
    std::string found;
    int error = 0;
    runInSteps([&] {
        for (int i = 0; i < kStepRecords; ++i) {
            if (cancelled) return true;
            const int r = h.read(forward, record);
            if (r != 0) {
                error = r;
                return true;
            }
            ++reads;
            bool passes = true;
            if (children) {
                // The link may name this record's fields: the view's buffer holds it.
                view.buffer->copyFrom(record);
                const int has = childHas(*children, *child, childFilter, &view);
                if (has < 0) {
                    failed = true;
                    return true;
                }
                passes = has == 1;
            }
            if (passes) {
                found = h.table().position();
                return true;
            }
        }
        progress.counted(reads);
        return cancelled;
    });
    if (!found.empty()) {
        view.table->reget(found, *view.buffer);
        return 1;
    }
    // The view's buffer holds the record the search started from again.
    if (fromPosition)
        view.table->reget(*position, *view.buffer);
    else
        view.buffer->copyFrom(start);
    if (cancelled || failed) return 0;
    if (error == storage::kRecordNotAvailable)
        endOfView(direction);
    else
        fileError("Record Retrieval Error", "Current Navigation File could not be read.",
                  h.table().error());
    return 0;
}

}  // namespace corvix::quillet
