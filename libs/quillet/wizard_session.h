// What the wizard window does, without the window: the element being built page by
// page, the element list and its editing, loading and saving a query's elements, and
// checking that the expression evaluates.
#pragma once

#include <string>
#include <vector>

#include "libs/quillet/query_model.h"
#include "libs/quillet/query_store.h"
#include "libs/quillet/quillet.h"

namespace corvix::quillet {

// The current query: kept between wizard runs, so that the wizard reopens on it.
struct CurrentQuery {
    int32_t queryNo = 0;
    std::string description;
    std::string queryString;
    uint8_t manual = 0;
    uint8_t invalid = 0;
};
CurrentQuery& currentQuery();

enum WizardPage { kFieldPage = 1, kOperationPage, kValuePage, kListPage, kManualPage };

class WizardSession {
  public:
    explicit WizardSession(const FieldsQueue& fields) : fields_(fields) {}

    // Loads a saved query's elements; fields no longer in the queue show as "?????".
    void load(const StoredQuery& query);
    std::vector<StoredElement> storedElements() const;

    const FieldsQueue& fields() const { return fields_; }
    const FieldEntry* field(int qpointer) const;  // by place in the fields queue
    const std::vector<Element>& elements() const { return elements_; }

    // ---- the element being built (pages 1 to 3) ----
    void startElement();  // a new one, on page 1
    Element& editing() { return editing_; }
    int editingIndex() const { return editingIndex_; }
    void chooseField(int qpointer);
    bool isCheckBox() const;
    // The operations offered: 1-6 for numbers, 1-10 for text.
    int operationCount() const;
    void chooseOperation(int opcode);
    int valueKind = kConstant;
    // The entry's picture for a constant: the field's, or "@S" + length for 7 to 10.
    std::string valuePicture() const;
    // Leaves the value page: cuts a text constant to the field's length, makes a blank
    // number "0", and adds the element (or replaces the one being changed).
    void commitElement();

    // ---- the element list (page 4) ----
    void addConjunction(const std::string& word);  // AND / OR: the last element's word
    void toggleConjunction(int index);
    void changeElement(int index);  // back into pages 1 to 3
    void deleteElement(int index);

    std::string expression() const { return buildExpression(elements_); }
    // Whether text evaluates over the fields queue: "" when it does, else why.
    std::string check(const std::string& text) const;

  private:
    const FieldsQueue& fields_;
    std::vector<Element> elements_;
    Element editing_;
    int editingIndex_ = -1;
};

}  // namespace corvix::quillet
