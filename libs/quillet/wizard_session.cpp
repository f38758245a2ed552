#include "libs/quillet/wizard_session.h"

#include <algorithm>

#include "runtime/expression.h"
#include "runtime/picture.h"

namespace corvix::quillet {

CurrentQuery& currentQuery() {
    static CurrentQuery q;
    return q;
}

const FieldEntry* WizardSession::field(int qpointer) const {
    for (const FieldEntry& f : fields_)
        if (f.QWFLDQPOINTER == qpointer) return &f;
    return nullptr;
}

void WizardSession::load(const StoredQuery& query) {
    elements_.clear();
    auto byNumber = [&](int32_t number) -> const FieldEntry* {
        if (number <= 0) return nullptr;
        for (const FieldEntry& f : fields_)
            if (f.QWFLDFIELDPOINTER == number) return &f;
        return nullptr;
    };
    for (const StoredElement& s : query.elements) {
        Element e;
        const FieldEntry* f = byNumber(s.fieldPointer);
        e.fldQPointer = f ? f->QWFLDQPOINTER : -1;
        e.fieldName = f ? f->QWFLDNAME : "?????";
        e.dataType = f ? f->QWFLDDATATYPE : 1;
        e.conjunction = s.conjunction;
        e.value = s.value;
        e.matchType = s.matchType;
        e.opcode = s.opcode;
        e.expression = s.expression;
        if (s.cmpPointer != 0) {
            const FieldEntry* other = byNumber(s.cmpPointer);
            e.cmpFldQPointer = other ? other->QWFLDQPOINTER : -1;
            if (other) e.value = other->QWFLDNAME;
        }
        if (f && f->QWFLDCONTROL == 2)
            e.opcode = runtime::rightTrim(s.value) == "1" ? kChecked : kNotChecked;
        e.desc = elementText(e, fields_);
        elements_.push_back(std::move(e));
    }
    if (!elements_.empty()) elements_.back().conjunction.clear();
}

std::vector<StoredElement> WizardSession::storedElements() const {
    std::vector<StoredElement> out;
    for (const Element& e : elements_) {
        StoredElement s;
        const FieldEntry* f = e.fldQPointer > 0 ? field(e.fldQPointer) : nullptr;
        s.fieldPointer = f ? f->QWFLDFIELDPOINTER : -1;
        if (e.cmpFldQPointer != 0) {
            const FieldEntry* other = e.cmpFldQPointer > 0 ? field(e.cmpFldQPointer) : nullptr;
            s.cmpPointer = other ? other->QWFLDFIELDPOINTER : -1;
        }
        s.conjunction = e.conjunction;
        s.value = runtime::cutToChars(e.value, 80);
        s.matchType = static_cast<uint8_t>(e.matchType);
        s.opcode = static_cast<uint8_t>(e.opcode);
        s.expression = static_cast<uint8_t>(e.expression);
        out.push_back(s);
    }
    return out;
}

void WizardSession::startElement() {
    editing_ = Element{};
    editing_.fldQPointer = 0;
    editingIndex_ = -1;
    valueKind = kConstant;
}

void WizardSession::chooseField(int qpointer) {
    const FieldEntry* f = field(qpointer);
    if (!f) return;
    if (editing_.fldQPointer != qpointer) {
        editing_.value.clear();
        editing_.cmpFldQPointer = 0;
        editing_.expression = 0;
        editing_.opcode = kEqual;
    }
    editing_.fldQPointer = qpointer;
    editing_.fieldName = f->QWFLDNAME;
    editing_.dataType = f->QWFLDDATATYPE == 2 ? 2 : 1;
    if (f->QWFLDCONTROL == 2) editing_.opcode = kNotChecked;
}

bool WizardSession::isCheckBox() const {
    const FieldEntry* f = field(editing_.fldQPointer);
    return f && f->QWFLDCONTROL == 2;
}

int WizardSession::operationCount() const {
    return editing_.dataType == 2 ? 6 : 10;
}

void WizardSession::chooseOperation(int opcode) {
    if (opcode >= 1 && opcode <= operationCount()) editing_.opcode = opcode;
}

std::string WizardSession::valuePicture() const {
    const FieldEntry* f = field(editing_.fldQPointer);
    if (!f) return "@s80";
    if (editing_.opcode >= kBeginsWith && editing_.opcode <= kNotContains)
        return "@S" + std::to_string(std::min(f->QWFLDLENGTH > 0 ? f->QWFLDLENGTH : 80, 80));
    return f->QWFLDPICTURE;
}

void WizardSession::commitElement() {
    Element e = editing_;
    const FieldEntry* f = field(e.fldQPointer);
    e.expression = valueKind == kExpression && !isCheckBox();
    if (valueKind != kAnotherField || isCheckBox()) e.cmpFldQPointer = 0;
    if (isCheckBox()) {
        e.value = e.opcode == kChecked ? "1" : "0";
        e.matchType = 0;
    } else if (valueKind == kConstant) {
        if (e.dataType == 1 && f && f->QWFLDLENGTH > 0)
            e.value = runtime::cutToChars(e.value, static_cast<size_t>(f->QWFLDLENGTH));
        if (e.dataType == 2 && runtime::rightTrim(e.value).empty()) e.value = "0";
    } else if (valueKind == kAnotherField) {
        const FieldEntry* other = field(e.cmpFldQPointer);
        e.value = other ? other->QWFLDNAME : "";
    }
    e.value = runtime::cutToChars(e.value, 80);
    e.desc = elementText(e, fields_);
    if (editingIndex_ >= 0 && editingIndex_ < static_cast<int>(elements_.size())) {
        e.conjunction = elements_[editingIndex_].conjunction;
        elements_[editingIndex_] = e;
    } else {
        e.conjunction.clear();
        elements_.push_back(e);
    }
    editingIndex_ = -1;
}

void WizardSession::addConjunction(const std::string& word) {
    if (!elements_.empty()) elements_.back().conjunction = word;
    startElement();
}

void WizardSession::toggleConjunction(int index) {
    if (index < 0 || index + 1 >= static_cast<int>(elements_.size())) return;  // the last has none
    std::string& c = elements_[index].conjunction;
    c = c == "AND" ? "OR" : "AND";
}

void WizardSession::changeElement(int index) {
    if (index < 0 || index >= static_cast<int>(elements_.size())) return;
    editing_ = elements_[index];
    editingIndex_ = index;
    valueKind = editing_.cmpFldQPointer != 0 ? kAnotherField
                : editing_.expression        ? kExpression
                                             : kConstant;
}

void WizardSession::deleteElement(int index) {
    if (index < 0 || index >= static_cast<int>(elements_.size())) return;
    elements_.erase(elements_.begin() + index);
    if (!elements_.empty()) elements_.back().conjunction.clear();
}

std::string WizardSession::check(const std::string& text) const {
    runtime::expr::ParseResult r = runtime::expr::parse(
        text, [this](std::string_view name) -> std::optional<runtime::expr::FieldInfo> {
            for (const FieldEntry& f : fields_) {
                if (runtime::expr::upperText(runtime::rightTrim(f.QWFLDNAME)) !=
                    runtime::expr::upperText(name))
                    continue;
                return runtime::expr::FieldInfo{f.QWFLDQPOINTER, f.QWFLDDATATYPE == 2
                                                                     ? runtime::expr::Type::Real
                                                                     : runtime::expr::Type::Text};
            }
            return std::nullopt;
        });
    return r.ok() ? std::string() : r.message();
}

}  // namespace corvix::quillet
