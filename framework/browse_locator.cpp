#include "framework/browse_locator.h"

#include <QLineEdit>

#include "runtime/picture.h"

namespace corvix::framework {

Locator::Locator(Kind kind, int field, QLineEdit* echo, bool ignoreCase)
    : kind_(kind), field_(field), echo_(echo), ignoreCase_(ignoreCase) {}

bool Locator::take(const QString& typed) {
    if (typed.isEmpty()) return false;
    QString current = QString::fromStdString(text_);
    if (typed == "\b") {
        if (current.isEmpty()) return false;
        current.chop(1);
    } else {
        for (QChar c : typed)
            if (!c.isPrint()) return false;
        if (current.size() >= kMaxText) return false;
        current += ignoreCase_ ? typed.toUpper() : typed;
        current = current.left(kMaxText);
    }
    text_ = current.toStdString();
    echo();
    return true;
}

void Locator::clear() {
    text_.clear();
    echo();
}

void Locator::takeEntry() {
    if (echo_) text_ = runtime::cutToChars(echo_->text().toStdString(), kMaxText);
}

void Locator::fill(storage::RecordBuffer& keyValues) const {
    const auto& field = keyValues.decl().fields[field_];
    if (field.type == storage::FieldType::String) {
        keyValues.set(field_, text_);
        return;
    }
    const auto value =
        runtime::deformatPicture(text_, field.picture.empty() ? "@n20" : field.picture);
    if (field.type == storage::FieldType::Real)
        keyValues.set(field_, value.value_or(0.0));
    else
        keyValues.set(field_, static_cast<int64_t>(value.value_or(0.0)));
}

void Locator::echo() {
    if (kind_ == Kind::Incremental && echo_) echo_->setText(QString::fromStdString(text_));
}

}  // namespace corvix::framework
