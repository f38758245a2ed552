#include "accounts/account_queries.h"

namespace corvix::accounts {

namespace {

struct QueryField {
    const char* description;
    const char* name;
    const char* picture;
    const char* length;
    const char* dataType;  // 1 text, 2 number or date
    const char* control;   // 1 entry, 2 check box
    const char* options;
};

// "Category" is the category table's field: the account's category by relation.
const QueryField kFields[] = {
    {"Category", "CAT:Category", "@s30", "30", "1", "1", ""},
    {"Category of account", "PAS:Category", "@s30", "30", "1", "1", ""},
    {"Description of account", "PAS:Description", "@s60", "60", "1", "1", ""},
    {"Name used on this account (optional)", "PAS:Name", "@s128", "128", "1", "1", ""},
    {"Password used on this account", "PAS:Password", "@s128", "128", "1", "1", ""},
    {"Internet address associated with this account (optional)", "PAS:URL", "@s255", "255", "1",
     "1", ""},
    {"Custom data field #1", "PAS:Custom1", "@s128", "128", "1", "1", ""},
    {"Custom data field #2", "PAS:Custom2", "@s128", "128", "1", "1", ""},
    {"Custom data field #3", "PAS:Custom3", "@s128", "128", "1", "1", ""},
    {"Date the password on this account was last changed", "PAS:LastChange", "@d17", "4", "2", "1",
     ""},
    {"Date the password on this account expires", "PAS:Expires", "@d17b", "4", "2", "1", ""},
    {"The password on this account expires every n days", "PAS:ExpiryInterval", "@n_3b", "4", "2",
     "1", ""},
    {"Target this window title when sending text or monitoring", "PAS:TargetWindow", "@s128", "128",
     "1", "1", ""},
    {"Text a window must contain in order to be confirmed as the target", "PAS:TargetWindowText",
     "@s60", "60", "1", "1", ""},
    {"Text or key presses to send to the target window", "PAS:Action", "@s255", "255", "1", "1",
     ""},
    {"Watch for the target window and automatically send (true/false)", "PAS:Watch", "@n3", "1",
     "2", "2", "&Watch"},
    {"Wait for a period after target window appears before action taken", "PAS:Wait", "@n2", "1",
     "2", "1", ""},
    {"Notes", "PAS:Notes", "@s255", "4096", "1", "1", ""},
};

std::string build() {
    const std::string item = "\u00A6", record = "\u00AB";  // "¦", "«"
    std::string s;
    for (const QueryField& f : kFields) {
        for (const char* part : {f.description, "0", f.name, f.picture, f.length, f.dataType,
                                 f.control, "", f.options})
            s += part + item;
        s += record;
    }
    return s;
}

}  // namespace

const std::string& accountsFieldsDescription() {
    static const std::string s = build();
    return s;
}

}  // namespace corvix::accounts
