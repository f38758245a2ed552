// The five-page wizard window: field, operation, value, the element list and manual
// entry. It only shows and collects; WizardSession does the work.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <stdexcept>

#include "libs/quillet/display_texts.h"
#include "libs/quillet/messages.h"
#include "libs/quillet/windows.h"
#include "runtime/expression.h"
#include "runtime/picture.h"

namespace corvix::quillet {

namespace {

// The heading: one of two drawn headings ("1", "2"), or the text given.
class Heading : public QWidget {
  public:
    explicit Heading(QWidget* parent) : QWidget(parent) { setFixedHeight(54); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const std::string h = runtime::rightTrim(displayText(170));
        QLinearGradient g(0, 0, width(), 0);
        g.setColorAt(0, h == "2" ? QColor(0x20, 0x60, 0x30) : QColor(0x10, 0x30, 0x80));
        g.setColorAt(1, palette().window().color());
        p.fillRect(rect(), g);
        QFont f = font();
        f.setPointSize(f.pointSize() + 6);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        const QString shown =
            h.empty() || h == "1" || h == "2" ? text(171) : QString::fromStdString(h);
        p.drawText(rect().adjusted(14, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, shown);
    }
};

class WizardWindow : public QDialog {
  public:
    WizardWindow(WizardSession& s, bool noManual, const FinishHandler& finish)
        : session_(s), noManual_(noManual), finish_(finish) {
        setWindowTitle(text(171));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new Heading(this));
        pageTitle_ = new QLabel(this);
        QFont f = pageTitle_->font();
        f.setBold(true);
        f.setPointSize(f.pointSize() + 2);
        pageTitle_->setFont(f);
        layout->addWidget(pageTitle_);
        pages_ = new QStackedWidget(this);
        pages_->addWidget(fieldPage());
        pages_->addWidget(operationPage());
        pages_->addWidget(valuePage());
        pages_->addWidget(listPage());
        pages_->addWidget(manualPage());
        layout->addWidget(pages_, 1);
        auto* buttons = new QHBoxLayout;
        manual_ = makeButton(119, this);
        back_ = makeButton(104, this);
        next_ = makeButton(122, this);
        finishButton_ = makeButton(116, this);
        cancel_ = makeButton(107, this);
        buttons->addWidget(manual_);
        buttons->addStretch();
        for (QPushButton* b : {back_, next_, finishButton_, cancel_}) buttons->addWidget(b);
        layout->addLayout(buttons);
        manual_->setVisible(!noManual);
        connect(manual_, &QPushButton::clicked, this, [this] {
            manualText_->setPlainText(QString::fromStdString(session_.expression()));
            show(kManualPage);
        });
        connect(back_, &QPushButton::clicked, this, [this] { goBack(); });
        connect(next_, &QPushButton::clicked, this, [this] { goNext(); });
        connect(finishButton_, &QPushButton::clicked, this, [this] { this->finish(); });
        connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
        resize(620, 470);
    }

    void show(int page) {
        page_ = page;
        pages_->setCurrentIndex(page - 1);
        static const long titles[] = {158, 164, 169, 154, 160};
        pageTitle_->setText(text(titles[page - 1]));
        back_->setEnabled(page != kFieldPage);
        const bool end = page == kListPage || page == kManualPage;
        back_->setVisible(!end);
        next_->setVisible(!end);
        finishButton_->setVisible(end);
        manual_->setEnabled(page != kManualPage);
        if (page == kFieldPage) fillFields();
        if (page == kOperationPage) fillOperations();
        if (page == kValuePage) fillValue();
        if (page == kListPage) fillList();
        // The keyboard goes on where the page starts.
        QWidget* first = page == kFieldPage       ? static_cast<QWidget*>(fields_)
                         : page == kOperationPage ? static_cast<QWidget*>(operations_)
                         : page == kValuePage     ? (value_->isVisibleTo(this) ? value_ : nullptr)
                         : page == kListPage      ? static_cast<QWidget*>(list_)
                                                  : static_cast<QWidget*>(manualText_);
        if (first) first->setFocus(Qt::TabFocusReason);
    }

    void setManualText(const std::string& t) {
        manualText_->setPlainText(QString::fromStdString(t));
    }
    WizardResult result;

  private:
    QWidget* group(long titleId, long promptId, QWidget* inner, QWidget* extra = nullptr) {
        auto* page = new QWidget(this);
        auto* l = new QVBoxLayout(page);
        if (promptId) {
            auto* prompt = new QLabel(text(promptId), page);
            prompt->setWordWrap(true);
            l->addWidget(prompt);
        }
        auto* box = new QGroupBox(text(titleId), page);
        auto* bl = new QVBoxLayout(box);
        bl->addWidget(inner);
        if (extra) bl->addWidget(extra);
        l->addWidget(box, 1);
        return page;
    }

    QWidget* fieldPage() {
        fields_ = new QListWidget(this);
        fields_->setObjectName("fields");
        connect(fields_, &QListWidget::itemDoubleClicked, this, [this] { goNext(); });
        return group(159, 166, fields_);
    }
    QWidget* operationPage() {
        operations_ = new QListWidget(this);
        operations_->setObjectName("operations");
        connect(operations_, &QListWidget::itemDoubleClicked, this, [this] { goNext(); });
        return group(165, 168, operations_);
    }
    QWidget* valuePage() {
        auto* inner = new QWidget(this);
        auto* l = new QVBoxLayout(inner);
        kinds_ = new QButtonGroup(inner);
        auto* kindRow = new QHBoxLayout;
        for (int k = kConstant; k <= kExpression; ++k) {
            const long id = k == kConstant ? 151 : k == kAnotherField ? 153 : 152;
            auto* r = new QRadioButton(text(id), inner);
            r->setObjectName(k == kConstant       ? "constant"
                             : k == kAnotherField ? "field"
                                                  : "expression");
            kinds_->addButton(r, k);
            kindRow->addWidget(r);
        }
        kindBox_ = new QGroupBox(text(167), inner);
        kindBox_->setLayout(kindRow);
        l->addWidget(kindBox_);
        auto* valueRow = new QHBoxLayout;
        value_ = new QLineEdit(inner);
        value_->setObjectName("value");
        choices_ = new QComboBox(inner);
        choices_->setObjectName("choices");
        choices_->setEditable(true);
        otherField_ = new QComboBox(inner);
        otherField_->setObjectName("otherField");
        lookup_ = new QPushButton("...", inner);
        lookup_->setObjectName("lookup");
        check_ = new QCheckBox(inner);
        check_->setObjectName("check");
        for (QWidget* w : {static_cast<QWidget*>(value_), static_cast<QWidget*>(choices_),
                           static_cast<QWidget*>(otherField_), static_cast<QWidget*>(lookup_),
                           static_cast<QWidget*>(check_)})
            valueRow->addWidget(w);
        l->addLayout(valueRow);
        option_ = new QCheckBox(inner);
        option_->setObjectName("option");
        l->addWidget(option_);
        l->addStretch();
        connect(kinds_, &QButtonGroup::idClicked, this, [this](int k) {
            session_.valueKind = k;
            showValueControls();
        });
        connect(lookup_, &QPushButton::clicked, this, [this] { lookup(); });
        return group(169, 157, inner);
    }
    QWidget* listPage() {
        auto* inner = new QWidget(this);
        auto* l = new QVBoxLayout(inner);
        auto* hint = new QLabel(text(155) + "\n" + text(156), inner);
        hint->setWordWrap(true);
        l->addWidget(hint);
        list_ = new QTableWidget(inner);
        list_->setObjectName("elements");
        list_->setColumnCount(2);
        list_->horizontalHeader()->hide();
        list_->verticalHeader()->hide();
        list_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        list_->setSelectionBehavior(QAbstractItemView::SelectItems);
        list_->setSelectionMode(QAbstractItemView::SingleSelection);
        list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        l->addWidget(list_, 1);
        auto* row = new QHBoxLayout;
        QPushButton* andB = makeButton(101, inner);
        QPushButton* orB = makeButton(125, inner);
        QPushButton* change = makeButton(110, inner);
        QPushButton* remove = makeButton(113, inner);
        for (QPushButton* b : {andB, orB, change, remove}) row->addWidget(b);
        row->addStretch();
        l->addLayout(row);
        auto conj = [this](const char* word) {
            session_.addConjunction(word);
            show(kFieldPage);
        };
        connect(andB, &QPushButton::clicked, this, [conj] { conj("AND"); });
        connect(orB, &QPushButton::clicked, this, [conj] { conj("OR"); });
        connect(change, &QPushButton::clicked, this, [this] {
            const int row = list_->currentRow();
            if (row < 0) return;
            if (list_->currentColumn() == 1) {
                session_.toggleConjunction(row);
                fillList();
                list_->setCurrentCell(row, 1);
                return;
            }
            session_.changeElement(row);
            show(kFieldPage);
        });
        connect(remove, &QPushButton::clicked, this, [this] {
            session_.deleteElement(list_->currentRow());
            if (session_.elements().empty()) {
                session_.startElement();
                show(kFieldPage);
            } else {
                fillList();
            }
        });
        return group(154, 0, inner);
    }
    QWidget* manualPage() {
        manualText_ = new QPlainTextEdit(this);
        manualText_->setObjectName("manual");
        connect(manualText_, &QPlainTextEdit::textChanged, this, [this] {
            // At most 1024 characters, as the filter the host keeps.
            const QString t = manualText_->toPlainText();
            if (t.size() > 1024) manualText_->setPlainText(t.left(1024));
        });
        return group(160, 0, manualText_);
    }

    void fillFields() {
        fields_->clear();
        int select = 0;
        for (const FieldEntry& f : session_.fields()) {
            auto* item =
                new QListWidgetItem(QString::fromStdString(runtime::rightTrim(f.QWFLDDESC)));
            item->setData(Qt::UserRole, f.QWFLDQPOINTER);
            fields_->addItem(item);
            if (f.QWFLDQPOINTER == session_.editing().fldQPointer) select = fields_->count() - 1;
        }
        fields_->setCurrentRow(select);
    }
    void fillOperations() {
        operations_->clear();
        for (int op = 1; op <= session_.operationCount(); ++op) operations_->addItem(text(op));
        operations_->setCurrentRow(std::max(0, session_.editing().opcode - 1));
    }
    void fillValue() {
        const FieldEntry* f = session_.field(session_.editing().fldQPointer);
        const Element& e = session_.editing();
        kinds_->button(session_.valueKind)->setChecked(true);
        const bool text = e.dataType == 1;
        option_->setText(QString::fromStdString(displayCaption(text ? 162 : 161)));
        option_->setChecked(e.matchType != 0);
        value_->setText(QString::fromStdString(session_.valueKind == kConstant && f
                                                   ? displayValue(e.value, session_.valuePicture())
                                                   : e.value));
        otherField_->clear();
        for (const FieldEntry& other : session_.fields())
            otherField_->addItem(QString::fromStdString(runtime::rightTrim(other.QWFLDDESC)),
                                 other.QWFLDQPOINTER);
        otherField_->setCurrentIndex(std::max(0, otherField_->findData(e.cmpFldQPointer)));
        choices_->clear();
        if (f) {
            for (const QString& c :
                 QString::fromStdString(f->QWFLDOPTIONS).split('|', Qt::SkipEmptyParts))
                choices_->addItem(c.trimmed());
            check_->setText(QString::fromStdString(f->QWFLDOPTIONS));
        }
        check_->setChecked(e.opcode == kChecked);
        showValueControls();
    }
    void showValueControls() {
        const FieldEntry* f = session_.field(session_.editing().fldQPointer);
        const bool box = session_.isCheckBox();
        const int op = session_.editing().opcode;
        const bool dropDown = f && f->QWFLDCONTROL == 3 && (op == kEqual || op == kNotEqual);
        const int kind = session_.valueKind;
        kindBox_->setVisible(!box);
        option_->setVisible(!box);
        check_->setVisible(box);
        value_->setVisible(!box && kind != kAnotherField && !(kind == kConstant && dropDown));
        choices_->setVisible(!box && kind == kConstant && dropDown);
        otherField_->setVisible(!box && kind == kAnotherField);
        lookup_->setVisible(!box && kind == kConstant && f &&
                            !runtime::rightTrim(f->QWFLDLOOKUP).empty());
        value_->setMaxLength(
            kind == kExpression
                ? 80
                : std::max(1, runtime::pictureTextWidth(session_.valuePicture()) > 0
                                  ? runtime::pictureTextWidth(session_.valuePicture())
                                  : 80));
    }
    void lookup() {
        // The lookup is an expression; its non-blank value becomes the value.
        const FieldEntry* f = session_.field(session_.editing().fldQPointer);
        if (!f) return;
        const std::string got = evaluateLookup(runtime::rightTrim(f->QWFLDLOOKUP));
        if (!runtime::rightTrim(got).empty()) value_->setText(QString::fromStdString(got));
    }
    void fillList() {
        const auto& elements = session_.elements();
        list_->setRowCount(static_cast<int>(elements.size()));
        for (size_t i = 0; i < elements.size(); ++i) {
            list_->setItem(static_cast<int>(i), 0,
                           new QTableWidgetItem(QString::fromStdString(elements[i].desc)));
            list_->setItem(static_cast<int>(i), 1,
                           new QTableWidgetItem(QString::fromStdString(elements[i].conjunction)));
        }
        if (!elements.empty()) list_->setCurrentCell(static_cast<int>(elements.size()) - 1, 0);
    }

    // Takes what the value page shows into the element.
    void takeValue() {
        Element& e = session_.editing();
        e.matchType = option_->isChecked() ? 1 : 0;
        if (session_.isCheckBox()) {
            e.opcode = check_->isChecked() ? kChecked : kNotChecked;
            return;
        }
        if (session_.valueKind == kAnotherField) {
            e.cmpFldQPointer = otherField_->currentData().toInt();
            return;
        }
        e.cmpFldQPointer = 0;
        std::string typed =
            (choices_->isVisible() ? choices_->currentText() : value_->text()).toStdString();
        if (session_.valueKind == kConstant && e.dataType == 2 &&
            !runtime::rightTrim(typed).empty()) {
            // Numbers, dates and times are kept as their plain stored value.
            std::optional<double> v = runtime::deformatPicture(typed, session_.valuePicture());
            if (!v) {
                tell(text(33).toStdString(),
                     "The value does not fit the picture " + session_.valuePicture() + ".");
                throw std::invalid_argument("value");
            }
            typed = runtime::expr::numberText(*v, runtime::expr::Type::Real);
        }
        e.value = typed;
    }

    void goNext() {
        switch (page_) {
            case kFieldPage: {
                QListWidgetItem* item = fields_->currentItem();
                if (!item) return;
                session_.chooseField(item->data(Qt::UserRole).toInt());
                show(session_.isCheckBox() ? kValuePage : kOperationPage);
                break;
            }
            case kOperationPage:
                session_.chooseOperation(operations_->currentRow() + 1);
                show(kValuePage);
                break;
            case kValuePage:
                try {
                    takeValue();
                } catch (const std::invalid_argument&) {
                    return;
                }
                session_.commitElement();
                show(kListPage);
                break;
            default:
                break;
        }
    }
    void goBack() {
        if (page_ == kValuePage && session_.isCheckBox())
            show(kFieldPage);
        else if (page_ > kFieldPage && page_ <= kValuePage)
            show(page_ - 1);
    }
    void finish() {
        const bool manual = page_ == kManualPage;
        const std::string t = manual ? runtime::rightTrim(manualText_->toPlainText().toStdString())
                                     : session_.expression();
        if (!session_.check(t).empty()) {
            QApplication::beep();
            tell(text(33).toStdString(), displayMessage(34), MessageIcon::Exclamation);
            return;
        }
        if (!finish_(t, manual)) return;
        result = {true, t, manual};
        accept();
    }

    WizardSession& session_;
    bool noManual_;
    const FinishHandler& finish_;
    int page_ = kFieldPage;
    QLabel* pageTitle_;
    QStackedWidget* pages_;
    QPushButton *manual_, *back_, *next_, *finishButton_, *cancel_;
    QListWidget *fields_, *operations_;
    QButtonGroup* kinds_;
    QGroupBox* kindBox_;
    QLineEdit* value_;
    QComboBox *choices_, *otherField_;
    QPushButton* lookup_;
    QCheckBox *check_, *option_;
    QTableWidget* list_;
    QPlainTextEdit* manualText_;
};

}  // namespace

WizardResult runWizardWindow(WizardSession& session, int startPage, bool noManual,
                             const std::string& manualText, const FinishHandler& finish) {
    WizardWindow w(session, noManual, finish);
    if (startPage == kManualPage) w.setManualText(manualText);
    w.show(startPage);
    runWindow(w, "QueryWizard");
    return w.result;
}

}  // namespace corvix::quillet
