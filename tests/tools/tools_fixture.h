// Shared pieces of the database-tools tests: accounts whose every text holds quotes,
// commas, line breaks, tabs, backslashes, non-Latin letters and emoji, and an observer
// that records what an export or import reported.
#pragma once

#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "runtime/date.h"
#include "vault/records.h"
#include "vault/transfer.h"

namespace corvix::testing {

// Account number i; every text field differs per account and per field, fits its field
// and ends in a letter (trailing blanks are never kept). Watch is i % 2, Wait i % 5, odd
// accounts have no expiry date.
inline vault::PasRecord awkwardAccount(int i) {
    auto text = [i](const char* field) {
        return "\"" + std::to_string(i) + "\", a\tb\r\n\u03A9\u65E5\U0001F511\\n " + field;
    };
    vault::PasRecord r;
    r.PAS_ID = i;
    r.Category = text("c");
    r.Description = text("description");
    r.Name = text("name \u0416\u0443\u043A");
    r.Password = text("pw\u00E9\U0001F469\u200D\U0001F4BB");
    r.URL = text("https://example.org/\u00FC?q=1&r=\"2\"");
    r.Custom1 = text("one");
    r.Custom2 = text("two");
    r.Custom3 = text("three");
    r.LastChange = runtime::standardDate(2020, 3, 15) + i % 100;
    r.Expires = i % 2 ? 0 : runtime::standardDate(2031, 12, 31) - i % 1000;
    r.ExpiryInterval = i % 90;
    r.TargetWindow = text("*Login*");
    r.TargetWindowText = text("Password:");
    r.Action = text("[name][tab][password][enter]");
    r.Watch = static_cast<uint8_t>(i % 2);
    r.Wait = static_cast<uint8_t>(i % 5);
    r.Notes = text("notes\n\nline three, \"quoted\"\ttabbed \u0627\u0644\u0633\u0644\u0627\u0645");
    return r;
}

class RecordingObserver : public vault::TransferObserver {
  public:
    void progress(int percent) override { percents.push_back(percent); }
    bool cancelled() override { return cancelAfter > 0 && ++records >= cancelAfter; }
    void refused(const storage::Error& error, int64_t line) override {
        refusedLines.push_back(line);
        refusedKeys.push_back(error.key);
    }
    void malformed(int64_t line, const std::string& reason) override {
        malformedLines.push_back(line);
        reasons[line] = reason;
    }
    void committed(int64_t written) override {
        committedCounts.push_back(written);
        if (reportTo >= 0 && ::write(reportTo, &written, sizeof written) != sizeof written) {
        }
    }

    std::vector<int> percents;
    std::vector<int64_t> refusedLines;
    std::vector<std::string> refusedKeys;
    std::vector<int64_t> malformedLines;
    std::map<int64_t, std::string> reasons;
    std::vector<int64_t> committedCounts;
    int64_t cancelAfter = 0;
    int64_t records = 0;
    int reportTo = -1;  // a pipe that hears every committed count
};

}  // namespace corvix::testing
