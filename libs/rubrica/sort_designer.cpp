#include "libs/rubrica/sort_designer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "libs/rubrica/formats.h"
#include "runtime/collate.h"

namespace corvix::rubrica {

SortDesigner::SortDesigner(const TQFIELD& fields, const std::string& sort, QWidget* parent)
    : QDialog(parent), fields_(fields) {
    setObjectName("SortDesigner");
    setWindowTitle("Sort Designer");
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int i = 0; i < kLevels; ++i) {
        grid->addWidget(new QLabel(i == 0 ? "Sort View by:" : "Then by:", this), i, 0);
        field_[i] = new QComboBox(this);
        field_[i]->setObjectName(QString("SortLevel%1").arg(i + 1));
        field_[i]->addItem("(none)");
        for (const FieldEntry& f : fields) field_[i]->addItem(QString::fromStdString(f.DESC));
        grid->addWidget(field_[i], i, 1);
        auto* directions = new QWidget(this);
        auto* row = new QHBoxLayout(directions);
        row->setContentsMargins(0, 0, 0, 0);
        ascending_[i] = new QRadioButton("Ascending", directions);
        descending_[i] = new QRadioButton("Descending", directions);
        ascending_[i]->setChecked(true);
        row->addWidget(ascending_[i]);
        row->addWidget(descending_[i]);
        grid->addWidget(directions, i, 2);
    }
    layout->addLayout(grid);
    ignoreCase_ = new QCheckBox("&Ignore Distinction Between Upper and Lower Case", this);
    ignoreCase_->setChecked(true);
    layout->addWidget(ignoreCase_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* clear = buttons->addButton("Clear &All", QDialogButtonBox::ResetRole);
    connect(clear, &QPushButton::clicked, this, [this] { clearAll(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    const std::vector<SortField> current = parseSort(sort);
    bool anyCase = current.empty();
    for (size_t i = 0; i < current.size() && i < kLevels; ++i) {
        int index = -1;
        for (size_t f = 0; f < fields.size(); ++f)
            if (runtime::sameNoCase(fields[f].NAME, current[i].name)) index = static_cast<int>(f);
        setLevel(static_cast<int>(i), index, current[i].descending);
        anyCase = anyCase || current[i].noCase;
    }
    ignoreCase_->setChecked(anyCase);
}

void SortDesigner::setLevel(int level, int fieldIndex, bool descending) {
    field_[level]->setCurrentIndex(fieldIndex + 1);
    (descending ? descending_[level] : ascending_[level])->setChecked(true);
}

void SortDesigner::clearAll() {
    for (int i = 0; i < kLevels; ++i) setLevel(i, -1, false);
}

std::string SortDesigner::sortString() const {
    std::vector<SortField> out;
    for (int i = 0; i < kLevels; ++i) {
        const int index = field_[i]->currentIndex() - 1;
        if (index < 0) break;
        out.push_back({fields_[index].NAME, descending_[i]->isChecked(), ignoreCase_->isChecked()});
    }
    return buildSort(out);
}

}  // namespace corvix::rubrica
