// The host's fields queue: read from its description string, numbered in description
// order, and given stable field numbers from the store (removed fields reconciled).
#include <algorithm>
#include <map>
#include <set>

#include "libs/quillet/messages.h"
#include "libs/quillet/query_store.h"
#include "libs/quillet/quillet.h"
#include "runtime/expression.h"
#include "runtime/picture.h"
#include "runtime/utf8.h"

namespace corvix::quillet {

namespace {

constexpr char32_t kItemEnd = U'\u00A6';    // "¦"
constexpr char32_t kRecordEnd = U'\u00AB';  // "«"
constexpr size_t kMaxFields = 30000;

int number(const std::u32string& item) {
    return static_cast<int>(runtime::expr::textNumber(runtime::encodeUtf8(item)));
}

FieldEntry entryOf(const std::vector<std::u32string>& items) {
    auto text = [&](int i, size_t width) {
        return runtime::cutToChars(runtime::encodeUtf8(items[i]), width);
    };
    FieldEntry e;
    e.QWFLDDESC = text(0, 40);
    e.QWFLDFIELDTYPE = number(items[1]);
    e.QWFLDNAME = text(2, 60);
    e.QWFLDPICTURE = text(3, 20);
    e.QWFLDLENGTH = number(items[4]);
    e.QWFLDDATATYPE = number(items[5]);
    e.QWFLDCONTROL = number(items[6]);
    e.QWFLDLOOKUP = text(7, 40);
    e.QWFLDOPTIONS = text(8, 255);
    e.QWFLDQPOINTER = 0;
    e.QWFLDFIELDPOINTER = -1;
    return e;
}

// What the store knows a field by: its upper-cased description or name.
std::string storedName(const FieldEntry& e) {
    return runtime::expr::upperText(
        runtime::rightTrim(e.QWFLDFIELDTYPE == 1 ? e.QWFLDDESC : e.QWFLDNAME));
}

}  // namespace

void QX_ADDFIELDSQUEUEDATA(FieldsQueue& fields, long& error, const std::string& description) {
    if (error != 0) return;
    const std::u32string s = runtime::decodeUtf8(runtime::rightTrim(description));
    if (s.empty() || s.back() != kRecordEnd) {
        error = -2;
        fields.clear();
        return;
    }
    std::vector<std::u32string> items;
    std::u32string item;
    for (char32_t c : s) {
        if (c == kItemEnd) {
            if (items.size() == 9) {
                error = -1;
                break;
            }
            items.push_back(std::move(item));
            item.clear();
        } else if (c == kRecordEnd) {
            if (items.size() != 9 || !item.empty()) {
                error = -1;
                break;
            }
            fields.push_back(entryOf(items));
            items.clear();
        } else {
            item += c;
        }
    }
    if (error != 0) fields.clear();
}

void QX_INITFIELDSQUEUE(FieldsQueue& fields, const std::string& className) {
    if (fields.size() > kMaxFields) {
        tell("Application Design Error",
             "Error in Query Wizard QX_InitFieldsQueue Function\nToo Many Fields Declared in the "
             "Queue");
        fields.clear();
        return;
    }
    storePaths();
    // Numbered in the order of the upper-cased descriptions.
    std::vector<size_t> order(fields.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return runtime::expr::upperText(fields[a].QWFLDDESC) <
               runtime::expr::upperText(fields[b].QWFLDDESC);
    });
    for (size_t i = 0; i < order.size(); ++i)
        fields[order[i]].QWFLDQPOINTER = static_cast<int>(i + 1);

    std::vector<StoredField> stored;
    StoreError err;
    if (QueryStore::fields(className, stored, &err) != 0) {
        tell("Field List Update Error", err.text);
        std::stable_sort(fields.begin(), fields.end(),
                         [](const FieldEntry& a, const FieldEntry& b) {
                             return a.QWFLDQPOINTER < b.QWFLDQPOINTER;
                         });
        return;
    }
    std::map<std::pair<int, std::string>, int> known;
    for (const StoredField& f : stored)
        known[{f.fieldType == 1 ? 1 : 0, f.fieldName}] = f.fieldPointer;
    bool changes = false;
    std::set<int> used;
    for (FieldEntry& e : fields) {
        auto it = known.find({e.QWFLDFIELDTYPE == 1 ? 1 : 0, storedName(e)});
        e.QWFLDFIELDPOINTER = it == known.end() ? -1 : it->second;
        if (e.QWFLDFIELDPOINTER == -1)
            changes = true;
        else
            used.insert(e.QWFLDFIELDPOINTER);
    }
    std::vector<int> removed;
    for (const StoredField& f : stored)
        if (!used.count(f.fieldPointer)) removed.push_back(f.fieldPointer);
    changes = changes || !removed.empty();
    if (changes) {
        // New fields take the lowest free numbers, in the order of the entries.
        int next = 1;
        for (FieldEntry& e : fields) {
            if (e.QWFLDFIELDPOINTER != -1) continue;
            while (used.count(next)) ++next;
            if (next > 32767) {
                tell("QW Pointer Overflow Error", "QW Pointer Overflow Error");
                return;
            }
            e.QWFLDFIELDPOINTER = next;
            used.insert(next);
        }
        std::vector<StoredField> now;
        for (const FieldEntry& e : fields)
            now.push_back({static_cast<uint8_t>(e.QWFLDFIELDTYPE == 1 ? 1 : 0), storedName(e),
                           static_cast<int16_t>(e.QWFLDFIELDPOINTER)});
        if (QueryStore::reconcile(className, removed, now, &err) != 0)
            tell("Field List Update Error", err.text);
    }
    std::stable_sort(fields.begin(), fields.end(), [](const FieldEntry& a, const FieldEntry& b) {
        return a.QWFLDQPOINTER < b.QWFLDQPOINTER;
    });
}

}  // namespace corvix::quillet
