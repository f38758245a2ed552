// The small windows: saved-queries list, description form, the choice windows.
#include "libs/quillet/windows.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "libs/quillet/display_texts.h"
#include "libs/quillet/messages.h"
#include "libs/quillet/query_store.h"
#include "runtime/expression.h"
#include "runtime/list_decorator.h"
#include "runtime/picture.h"

namespace corvix::quillet {

QString text(long id) {
    return QString::fromStdString(runtime::rightTrim(displayText(id)));
}

namespace {

WindowHook& hook() {
    static WindowHook h;
    return h;
}

}  // namespace

void setWindowHook(WindowHook h) {
    hook() = std::move(h);
}

int runWindow(QDialog& window, const std::string& name) {
    tellWindowShown(window, name);
    return window.exec();
}

void tellWindowShown(QDialog& window, const std::string& name) {
    window.setObjectName(QString::fromStdString(name));
    if (hook()) {
        QDialog* w = &window;
        QTimer::singleShot(0, w, [w, name] { hook()(w, name); });
    }
}

QPushButton* makeButton(long firstId, QWidget* parent) {
    auto* b = new QPushButton(text(firstId + 2), parent);
    b->setToolTip(text(firstId));
    b->setStatusTip(text(firstId + 1));
    b->setObjectName(text(firstId + 2).remove('&'));
    return b;
}

namespace {
LookupEvaluator& lookupEvaluator() {
    static LookupEvaluator e;
    return e;
}
}  // namespace

void setLookupEvaluator(LookupEvaluator evaluator) {
    lookupEvaluator() = std::move(evaluator);
}

std::string evaluateLookup(const std::string& expression) {
    if (lookupEvaluator()) return lookupEvaluator()(expression);
    runtime::expr::ParseResult r = runtime::expr::parse(expression, {});
    if (!r.ok()) return {};
    runtime::expr::Value v =
        runtime::expr::evaluate(*r.tree, [](int) { return runtime::expr::Value{}; });
    return v.isText() ? runtime::expr::clipText(v.text)
                      : runtime::expr::numberText(v.number, v.type);
}

// ---- saved-queries list ----

ListChoice runSavedQueries(const std::string& className, bool joinButtons) {
    QDialog w;
    w.setWindowTitle(text(202));
    auto* list = new QTableWidget(&w);
    list->setObjectName("queries");
    list->setColumnCount(1);
    list->setHorizontalHeaderLabels({text(201)});
    list->horizontalHeader()->setStretchLastSection(true);
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    runtime::decorateList(list, text(202).toStdString());
    std::vector<StoredQuery> queries;
    StoreError err;
    if (QueryStore::list(className, queries, &err) != 0)
        tell("Query Restore Error",
             "Error Retrieving Query File: " + std::to_string(err.code) + " " + err.text);
    list->setRowCount(static_cast<int>(queries.size()));
    for (size_t i = 0; i < queries.size(); ++i)
        list->setItem(static_cast<int>(i), 0,
                      new QTableWidgetItem(QString::fromStdString(queries[i].description)));
    if (!queries.empty()) list->selectRow(0);

    ListChoice choice;
    auto* buttons = new QVBoxLayout;
    auto add = [&](QPushButton* b, ListAction action, bool needsRow) {
        buttons->addWidget(b);
        if (needsRow) b->setEnabled(!queries.empty());
        QObject::connect(b, &QPushButton::clicked, &w, [&, action, needsRow] {
            const int row = list->currentRow();
            if (needsRow && (row < 0 || row >= static_cast<int>(queries.size()))) return;
            choice = {action, needsRow ? queries[row].queryNo : 0};
            w.accept();
        });
        return b;
    };
    add(makeButton(215, &w), ListAction::Select, true)->setDefault(true);
    if (joinButtons) {
        auto* andJoin = new QPushButton("&AND Join", &w);
        andJoin->setObjectName("AND Join");
        auto* orJoin = new QPushButton("&OR Join", &w);
        orJoin->setObjectName("OR Join");
        add(andJoin, ListAction::AndJoin, true);
        add(orJoin, ListAction::OrJoin, true);
    }
    add(makeButton(203, &w), ListAction::Change, true);
    add(makeButton(212, &w), ListAction::New, false);
    add(makeButton(209, &w), ListAction::Delete, true);
    buttons->addStretch();
    QPushButton* close = makeButton(206, &w);
    buttons->addWidget(close);
    QObject::connect(close, &QPushButton::clicked, &w, &QDialog::reject);
    QObject::connect(list, &QTableWidget::cellDoubleClicked, &w, [&](int row, int) {
        choice = {ListAction::Select, queries[row].queryNo};
        w.accept();
    });
    auto* layout = new QHBoxLayout(&w);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    w.resize(520, 320);
    if (runWindow(w, "SavedQueries") != QDialog::Accepted) return {};
    return choice;
}

// ---- description form ----

bool runDescriptionForm(FormMode mode, std::string& description) {
    QDialog w;
    w.setWindowTitle(text(mode == FormMode::Change ? 233 : mode == FormMode::Delete ? 234 : 235));
    auto* layout = new QVBoxLayout(&w);
    auto* prompt = new QLabel(text(mode == FormMode::Add ? 232 : 231), &w);
    prompt->setWordWrap(true);
    if (mode != FormMode::Delete) layout->addWidget(prompt);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(text(236), &w);
    auto* entry = new QLineEdit(QString::fromStdString(description), &w);
    entry->setObjectName("description");
    entry->setMaxLength(60);
    entry->setReadOnly(mode == FormMode::Delete);
    label->setBuddy(entry);
    row->addWidget(label);
    row->addWidget(entry, 1);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* ok = makeButton(240, &w);
    QPushButton* cancel = makeButton(237, &w);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    QObject::connect(ok, &QPushButton::clicked, &w, [&] {
        // A query needs a description to be found again in the list.
        if (mode != FormMode::Delete && entry->text().trimmed().isEmpty()) {
            entry->setFocus();
            return;
        }
        w.accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, &w, &QDialog::reject);
    w.resize(460, 120);
    if (runWindow(w, "QueryDescription") != QDialog::Accepted) return false;
    description = runtime::rightTrim(entry->text().toStdString());
    return true;
}

// ---- choice windows ----

namespace {
int runChoice(const QString& title, const std::vector<QString>& captions, const std::string& name) {
    QDialog w;
    w.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&w);
    int chosen = 0;
    for (size_t i = 0; i < captions.size(); ++i) {
        auto* b = new QPushButton(captions[i], &w);
        b->setObjectName(QString(captions[i]).remove('&'));
        layout->addWidget(b);
        QObject::connect(b, &QPushButton::clicked, &w, [&, i] {
            chosen = static_cast<int>(i + 1);
            w.accept();
        });
    }
    runWindow(w, name);
    return chosen;
}
}  // namespace

Join runCombineQueries() {
    switch (runChoice("Combine Queries",
                      {"&Do Not Join to Previous Query", "&AND Join to Previous Query",
                       "&OR Join to Previous Query"},
                      "CombineQueries")) {
        case 2:
            return Join::And;
        case 3:
            return Join::Or;
        default:
            return Join::None;
    }
}

uint8_t QX_QWPREACTION() {
    return static_cast<uint8_t>(runChoice(
        "Please Select a Query Option",
        {"&Select a Previously Saved Query", "&Create a New Query", "&Do Not Apply a Query"},
        "QueryOption"));
}

}  // namespace corvix::quillet
