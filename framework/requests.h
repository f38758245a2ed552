// Requests a caller hands to an update procedure, and what it answers (no Qt: the
// command-line tool uses them too).
#pragma once

namespace corvix::framework {

enum Request : int {
    kNoRequest = 0,
    kInsertRecord = 1,
    kChangeRecord = 2,
    kDeleteRecord = 3,
    kSelectRecord = 4
};
enum Response : int { kNoResponse = 0, kRequestCompleted = 1, kRequestCancelled = 2 };

}  // namespace corvix::framework
