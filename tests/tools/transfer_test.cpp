// Export and import of accounts and themes through the export files: exact round trips of
// awkward texts, whole records after a kill or a full disk, unreadable lines reported and
// skipped, duplicates refused while the import goes on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "../vault/temp_dir.h"
#include "runtime/collate.h"
#include "tools_fixture.h"
#include "vault/access.h"
#include "vault/export_lines.h"
#include "vault/transfer.h"

namespace corvix::vault {
namespace {

using corvix::testing::awkwardAccount;
using corvix::testing::RecordingObserver;
using corvix::testing::TempWorkDir;

class Transfer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(tables.openAll(), 0); }
    void TearDown() override { tables.closeAll(); }

    void addAccounts(int n) {
        storage::Transaction t;
        ASSERT_EQ(t.begin({&tables.pas}, 10), 0);
        for (int i = 1; i <= n; ++i) {
            PasBuffer r;
            r.record() = awkwardAccount(i);
            ASSERT_EQ(tables.pas.add(r), 0) << i;
        }
        ASSERT_EQ(t.commit(), 0);
    }
    TransferResult exportAccounts(const std::string& file = kPasswordsExportFile) {
        RecordingObserver quiet;
        return exportRecords(tables.pas, pas::K_PAS_ID, file, quiet);
    }

    TempWorkDir dir;
    VaultTables tables;
};

TEST_F(Transfer, AwkwardAccountsRoundTripExactlyIntoAnotherVault) {
    addAccounts(1000);
    TransferResult out = exportAccounts("first.BAS");
    ASSERT_FALSE(out.failure) << out.failure.driverText;
    EXPECT_EQ(out.written, 1000);
    std::string first = dir.read("first.BAS");
    // One line per record, whatever the texts hold.
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 1000);
    struct stat st;
    ASSERT_EQ(::stat("first.BAS", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    tables.closeAll();
    ASSERT_EQ(std::filesystem::create_directory("other"), true);
    std::filesystem::current_path("other");
    {
        VaultTables other;
        ASSERT_EQ(other.openAll(), 0);
        RecordingObserver observer;
        TransferResult in = importRecords("../first.BAS", other.pas, observer);
        ASSERT_FALSE(in.failure) << in.failure.driverText;
        EXPECT_EQ(in.written, 1000);
        EXPECT_EQ(in.refused + in.malformed, 0);
        EXPECT_EQ(observer.percents.back(), 100);
        // Field by field the same as what went out ...
        PasBuffer r;
        ASSERT_EQ(other.pas.set(pas::K_PAS_ID), 0);
        for (int i = 1; i <= 1000; ++i) {
            ASSERT_EQ(other.pas.next(r), 0);
            PasRecord want = awkwardAccount(i);
            ASSERT_EQ(r->PAS_ID, want.PAS_ID);
            ASSERT_EQ(r->Notes, want.Notes) << i;
            ASSERT_EQ(r->Password, want.Password) << i;
            ASSERT_EQ(r->Custom3, want.Custom3) << i;
            ASSERT_EQ(r->LastChange, want.LastChange);
            ASSERT_EQ(r->Expires, want.Expires);
            ASSERT_EQ(r->Wait, want.Wait);
        }
        // ... and its export is the same file, byte for byte.
        RecordingObserver quiet;
        ASSERT_FALSE(exportRecords(other.pas, pas::K_PAS_ID, "second.BAS", quiet).failure);
        EXPECT_TRUE(first == dir.read("other/second.BAS"));
        other.closeAll();
    }
    std::filesystem::current_path(dir.path());
}

TEST_F(Transfer, ExportAppendsNarrowsTheModeAndNeverGluesToAnEditedLastLine) {
    addAccounts(2);
    {
        std::ofstream f(kPasswordsExportFile);
        f << "# kept by hand";  // no line end
    }
    ::chmod(kPasswordsExportFile, 0644);
    ASSERT_FALSE(exportAccounts().failure);
    ASSERT_FALSE(exportAccounts().failure);
    struct stat st;
    ASSERT_EQ(::stat(kPasswordsExportFile, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string text = dir.read(kPasswordsExportFile);
    EXPECT_EQ(text.rfind("# kept by hand\r\n1,", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);

    // Importing into the vault the file just exported from it refuses every record,
    // reporting each with its line, and the hand-written line as unreadable.
    RecordingObserver observer;
    TransferResult in = importRecords(kPasswordsExportFile, tables.pas, observer);
    EXPECT_EQ(in.written, 0);
    EXPECT_EQ(in.refused, 4);
    EXPECT_EQ(observer.refusedLines, (std::vector<int64_t>{2, 3, 4, 5}));
    EXPECT_EQ(observer.refusedKeys.at(0), "PAS:K_PAS_ID");
    EXPECT_EQ(observer.malformedLines, (std::vector<int64_t>{1}));
    EXPECT_EQ(tables.pas.records(), 2);
}

TEST_F(Transfer, UnreadableLinesAreReportedWithTheirNumberAndSkipped) {
    PasBuffer good;
    good.record() = awkwardAccount(7);
    std::string line;
    appendRecordLine(good, line);
    auto variant = [&](const std::string& from, const std::string& to) {
        std::string v = line;
        size_t at = v.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return v.replace(at, from.size(), to);
    };
    std::ofstream(kPasswordsExportFile, std::ios::binary)
        << line                                            // 1 good (number 7)
        << "1,\"a\",\"b\"\r\n"                             // 2 three fields
        << "\r\n"                                          // 3 blank: no record
        << variant(",\"", ",\"x\"y\"")                     // 4 text after a closing quote
        << variant("7,", "8,\xff,")                        // 5 not UTF-8 (and shifted)
        << variant("7,", "2147483648,")                    // 6 number out of range
        << variant(",1,2,\"", ",1,256,\"")                 // 7 Wait 256
        << variant("2020-", "2020-13-")                    // 8 no such date
        << variant("7,\"", "9,\"" + std::string(31, 'c'))  // 9 category of 31+ characters
        << "10,\"unterminated\r\n";                        // 10 quote left open
    RecordingObserver observer;
    TransferResult in = importRecords(kPasswordsExportFile, tables.pas, observer);
    ASSERT_FALSE(in.failure);
    EXPECT_EQ(in.written, 1);
    EXPECT_EQ(in.malformed, 8);
    EXPECT_EQ(observer.malformedLines, (std::vector<int64_t>{2, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(observer.reasons.at(2), "3 fields, 18 expected");
    EXPECT_EQ(observer.reasons.at(5), "not UTF-8 text");
    EXPECT_EQ(observer.reasons.at(6), "PAS:PAS_ID: not a number from -2147483648 to 2147483647");
    EXPECT_EQ(observer.reasons.at(7), "PAS:Wait: not a number from 0 to 255");
    EXPECT_EQ(observer.reasons.at(10), "a quoted text is not closed");
    EXPECT_EQ(tables.pas.records(), 1);
}

TEST_F(Transfer, MissingImportFileIsCreatedEmptyAndImportsNothing) {
    RecordingObserver observer;
    TransferResult in = importRecords("ExGSD.BAS", tables.gsd, observer);
    EXPECT_FALSE(in.failure);
    EXPECT_EQ(in.read, 0);
    EXPECT_TRUE(std::filesystem::exists("ExGSD.BAS"));
    EXPECT_EQ(std::filesystem::file_size("ExGSD.BAS"), 0u);
}

TEST_F(Transfer, CancelKeepsTheRecordsAlreadyImported) {
    addAccounts(50);
    ASSERT_FALSE(exportAccounts().failure);
    tables.closeAll();
    std::filesystem::remove("Corvix.TPS");
    ASSERT_EQ(tables.openAll(), 0);
    RecordingObserver observer;
    observer.cancelAfter = 20;
    TransferResult in = importRecords(kPasswordsExportFile, tables.pas, observer, {7, 60000});
    EXPECT_TRUE(in.cancelled);
    EXPECT_EQ(in.written, 20);
    EXPECT_EQ(tables.pas.records(), 20);
    EXPECT_EQ(observer.committedCounts, (std::vector<int64_t>{7, 14, 20}));
}

// A kill -9 in the middle of a long import leaves the first records of the file, each
// whole, and at least every record reported as committed.
TEST_F(Transfer, KillDuringImportKeepsAPrefixOfWholeRecords) {
    constexpr int kAccounts = 100000;
    {
        std::string text;
        for (int i = 1; i <= kAccounts; ++i) {
            PasBuffer r;
            r.record() = awkwardAccount(i);
            appendRecordLine(r, text);
        }
        std::ofstream(kPasswordsExportFile, std::ios::binary) << text;
    }
    tables.closeAll();
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        storage::abandonConnectionsAfterFork();
        VaultTables t;
        if (t.openAll() != 0) ::_exit(3);
        RecordingObserver observer;
        observer.reportTo = pipeFds[1];
        importRecords(kPasswordsExportFile, t.pas, observer, {1000, 250});
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    int64_t reported = 0, n = 0;
    while (reported < 20000 && ::read(pipeFds[0], &n, sizeof n) == sizeof n) reported = n;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pipeFds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the import ended before it was killed";

    // The import had set the other keys aside: opening builds them before any read.
    ASSERT_EQ(tables.openAll(), 0);
    const int64_t kept = tables.pas.records();
    EXPECT_GE(kept, reported);
    EXPECT_LT(kept, kAccounts);
    PasBuffer r;
    ASSERT_EQ(tables.pas.set(pas::K_PAS_ID), 0);
    for (int64_t i = 1; i <= kept; ++i) {
        ASSERT_EQ(tables.pas.next(r), 0);
        PasRecord want = awkwardAccount(static_cast<int>(i));
        ASSERT_EQ(r->PAS_ID, i);
        ASSERT_EQ(r->Notes, want.Notes);
        ASSERT_EQ(r->Password, want.Password);
    }
    std::vector<std::pair<std::string, int64_t>> byDescription;
    for (int64_t i = 1; i <= kept; ++i)
        byDescription.emplace_back(awkwardAccount(static_cast<int>(i)).Description, i);
    std::stable_sort(byDescription.begin(), byDescription.end(), [](const auto& a, const auto& b) {
        return runtime::compareNoCase(a.first, b.first) < 0;
    });
    ASSERT_EQ(tables.pas.set(pas::K_Description), 0);
    for (const auto& [description, id] : byDescription) {
        ASSERT_EQ(tables.pas.next(r), 0);
        ASSERT_EQ(r->PAS_ID, id);
    }
    EXPECT_EQ(tables.pas.next(r), storage::kRecordNotAvailable);
    int64_t watched = 0;
    ASSERT_EQ(tables.pas.set(pas::K_Watch), 0);
    while (tables.pas.next(r) == 0) ++watched;
    EXPECT_EQ(watched, (kept + 1) / 2);
}

// A disk that fills up during an export leaves whole lines behind and says so.
TEST_F(Transfer, FullDiskDuringExportLeavesWholeLinesAndFails) {
    addAccounts(1000);
    tables.closeAll();
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        storage::abandonConnectionsAfterFork();
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {300 * 1024, 300 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        VaultTables t;
        if (t.openAll() != 0) ::_exit(3);
        RecordingObserver quiet;
        TransferResult out = exportRecords(t.pas, pas::K_PAS_ID, kPasswordsExportFile, quiet);
        ::_exit(out.failure.code == storage::kDriverError && out.written < 1000 ? 0 : 4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string text = dir.read(kPasswordsExportFile);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    ASSERT_EQ(tables.openAll(), 0);
    RecordingObserver observer;
    TransferResult in = importRecords(kPasswordsExportFile, tables.pas, observer);
    EXPECT_EQ(in.malformed, 0);
    EXPECT_EQ(in.refused, in.read);  // every whole line is one of the vault's records
}

TEST(TransferTexts, CompletionAndSummaryTexts) {
    EXPECT_EQ(exportCompletionText(false, 0, "ExPas.BAS"),
              "Passwords have been exported to ExPas.BAS.");
    EXPECT_EQ(exportCompletionText(true, 3, "ExGSD.BAS   "),
              "3 image themes have been exported to ExGSD.BAS.");
    TransferResult r;
    r.written = 998, r.refused = 2, r.malformed = 1;
    EXPECT_EQ(importSummaryText(r, "ExPas.BAS"),
              "998 records imported from ExPas.BAS, 2 refused as duplicates, 1 line skipped.");
}

}  // namespace
}  // namespace corvix::vault
