#include "accounts/query_fields.h"

namespace corvix::accounts {

std::string passwordQueryFields() {
    struct Field {
        const char *description, *name, *picture, *length, *dataType, *control, *options;
    };
    static constexpr Field kFields[] = {
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
        {"Date the password on this account was last changed", "PAS:LastChange", "@d17", "4", "2",
         "1", ""},
        {"Date the password on this account expires", "PAS:Expires", "@d17b", "4", "2", "1", ""},
        {"The password on this account expires every n days", "PAS:ExpiryInterval", "@n_3b", "4",
         "2", "1", ""},
        {"Target this window title when sending text or monitoring", "PAS:TargetWindow", "@s128",
         "128", "1", "1", ""},
        {"Text a window must contain in order to be confirmed as the target",
         "PAS:TargetWindowText", "@s60", "60", "1", "1", ""},
        {"Text or key presses to send to the target window", "PAS:Action", "@s255", "255", "1", "1",
         ""},
        {"Watch for the target window and automatically send (true/false)", "PAS:Watch", "@n3", "1",
         "2", "2", "&Watch"},
        {"Wait for a period after target window appears before action taken", "PAS:Wait", "@n2",
         "1", "2", "1", ""},
        {"Notes", "PAS:Notes", "@s255", "4096", "1", "1", ""},
    };
    const std::string item = "\u00A6", end = "\u00AB";
    std::string out;
    for (const Field& f : kFields) {
        for (const char* part : {f.description, "0", f.name, f.picture, f.length, f.dataType,
                                 f.control, "", f.options})
            out += std::string(part) + item;
        out += end;
    }
    return out;
}

}  // namespace corvix::accounts
