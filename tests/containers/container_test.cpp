// Sealed containers in process: byte-exact round trips across many chunks, the stamp,
// containers of other installations and non-containers refused, choices refused before
// anything is written, every page checked when read, and nothing lost when the disk
// refuses a write (a child process with a file size limit) or the process is killed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include "gui_fixture.h"
#include "platform/storage/table.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "security/file_container.h"
#include "security/session.h"
#include "tests/storage/rechunk.h"
#include "vault/tables.h"
#include "vault/words.h"

namespace corvix::security {
namespace {

namespace fs = std::filesystem;

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The container's one record, read straight from the file.
vault::EfRecord containerRecord(const std::string& name, int64_t* blobSize) {
    storage::Table t(vault::CVEF());
    t.setName(name);
    t.setOwner(vault::BuildVaultKey());
    vault::EfBuffer r;
    r->ID = 1;
    EXPECT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), storage::kNoError);
    EXPECT_EQ(t.get(vault::ef::K_ID, r), storage::kNoError);
    *blobSize = t.blobSize(vault::ef::Binary);
    EXPECT_EQ(t.records(), 1);
    t.close();
    return r.record();
}

class ContainerTest : public gui_test::GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        InstallationId() = "installation-A";
    }
    void TearDown() override {
        InstallationId().clear();
        GuiTest::TearDown();
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // Runs f in a child process whose files may not grow beyond limit bytes; its exit
    // code is the outcome.
    Outcome inChildWithFileLimit(rlim_t limit, const std::function<Outcome()>& f) {
        const pid_t pid = fork();
        if (pid == 0) {
            storage::abandonConnectionsAfterFork();
            signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
            rlimit r{limit, limit};
            setrlimit(RLIMIT_FSIZE, &r);
            _exit(static_cast<int>(f()));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status));
        return static_cast<Outcome>(WEXITSTATUS(status));
    }
    size_t filesIn(const fs::path& folder) const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
    }
    // Names in the test's folder that start or end with the given text.
    std::vector<std::string> namesWith(const std::string& part, bool atStart) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) {
            const std::string n = e.path().filename().string();
            if (n.size() >= part.size() &&
                n.compare(atStart ? 0 : n.size() - part.size(), part.size(), part) == 0)
                names.push_back(n);
        }
        return names;
    }
    std::vector<std::string> namesStartingWith(const std::string& s) const {
        return namesWith(s, true);
    }
    std::vector<std::string> namesEndingWith(const std::string& s) const {
        return namesWith(s, false);
    }
    // Seals in a child process that is killed (SIGKILL) once `batches` batches of the
    // file have been copied; whether it died so.
    bool killedWhileSealing(const std::string& plain, int batches) {
        const pid_t pid = fork();
        if (pid == 0) {
            storage::abandonConnectionsAfterFork();
            int seen = 0;
            encryptFile(plain, true, [&](uint64_t, uint64_t) {
                if (++seen == batches) raise(SIGKILL);
            });
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }
};

TEST_F(ContainerTest, RoundTripAcrossChunksBackToWhereItCameFrom) {
    // Several batches of 65,535-byte records and a short last one.
    const std::string bytes = randomBytes(3 * 16 * kCopyChunk + 12345, 1);
    const std::string plain = path("report.doc");
    writeFile(plain, bytes);
    std::vector<std::pair<uint64_t, uint64_t>> seen;
    ASSERT_EQ(encryptFile(plain, false,
                          [&](uint64_t done, uint64_t total) {
                              seen.push_back({done, total});
                          }),
              Outcome::Done);
    const std::string container = plain + ".ENC";
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Encryption Complete");
    EXPECT_EQ(prompt_.asked()[0].text,
              "The file has been encrypted, and stored as " + container + ".");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().first, bytes.size());
    EXPECT_EQ(seen.back().second, bytes.size());

    struct stat st;
    ASSERT_EQ(stat(container.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(container).find(bytes.substr(100000, 64)), std::string::npos);  // sealed
    int64_t blob = -1;
    vault::EfRecord r = containerRecord(container, &blob);
    EXPECT_EQ(r.ID, 1);
    EXPECT_EQ(r.Password, "installation-A");
    EXPECT_EQ(r.OriginalFileName, plain);
    EXPECT_EQ(blob, static_cast<int64_t>(bytes.size()));
    // "date time path", cut to 80 characters.
    const std::string& d = r.Description;
    EXPECT_EQ(d.rfind(runtime::formatPicture(runtime::today(), "@d17") + " ", 0), 0u) << d;
    ASSERT_NE(d.find('/'), std::string::npos);
    EXPECT_EQ(plain.rfind(d.substr(d.find('/')), 0), 0u) << d;
    EXPECT_EQ(runtime::charCount(d), plain.size() > 80 ? 80u : runtime::charCount(d));

    // Restored from another folder: it goes back to the path it came from, replacing
    // the file there, and the container goes when asked.
    writeFile(plain, "an older version");
    fs::create_directory(dir_ / "moved");
    const std::string moved = path("moved/report.doc.ENC");
    fs::rename(container, moved);
    prompt_.reset();
    ASSERT_EQ(decryptFile(moved, true), Outcome::Done);
    EXPECT_EQ(readFile(plain) == bytes, true);
    EXPECT_FALSE(fs::exists(moved));
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Decryption Complete");
    EXPECT_EQ(prompt_.asked()[0].text, "The file has been decrypted as " + plain + ".");
    EXPECT_EQ(filesIn(dir_ / "moved"), 0u);  // no temporary or lock file left behind
}

// Containers sealed before chunks were fitted to their pages hold 64 KiB chunks.
TEST_F(ContainerTest, OlderContainersOfSixtyFourKiBChunksRestoreByteExact) {
    const std::string bytes = randomBytes(40 * 65536 + 777, 2);
    const std::string plain = path("old.bin");
    writeFile(plain, bytes);
    ASSERT_EQ(encryptFile(plain, true), Outcome::Done);  // read back, then deleted
    ASSERT_FALSE(fs::exists(plain));
    storage::testing::rechunkBlobs(plain + ".ENC", vault::BuildVaultKey(), 65536);
    ASSERT_EQ(decryptFile(plain + ".ENC", false), Outcome::Done);
    EXPECT_TRUE(readFile(plain) == bytes);
}

TEST_F(ContainerTest, EmptyFileAndDeletingTheOriginal) {
    const std::string plain = path("empty");
    writeFile(plain, "");
    ASSERT_EQ(encryptFile(plain, true), Outcome::Done);
    EXPECT_FALSE(fs::exists(plain));  // read back equal, then deleted
    int64_t blob = -1;
    containerRecord(plain + ".ENC", &blob);
    EXPECT_EQ(blob, 0);
    ASSERT_EQ(decryptFile(plain + ".ENC", false), Outcome::Done);
    ASSERT_TRUE(fs::exists(plain));
    EXPECT_EQ(fs::file_size(plain), 0u);
    EXPECT_TRUE(fs::exists(plain + ".ENC"));
}

TEST_F(ContainerTest, OnlyThisInstallationOrABlankStampOpensIt) {
    const std::string plain = path("notes.txt");
    writeFile(plain, "secret notes");
    ASSERT_EQ(encryptFile(plain, true), Outcome::Done);
    const std::string container = plain + ".ENC";
    const std::string sealed = readFile(container);

    InstallationId() = "installation-B";
    prompt_.reset();
    EXPECT_EQ(decryptFile(container, true), Outcome::Failed);
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Access Denied");
    EXPECT_EQ(prompt_.asked()[0].text,
              "This file was not encrypted using this copy of Halden Corvix.");
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_EQ(readFile(container), sealed);

    // Files that are no container of ours are refused the same way and left as they are.
    writeFile(path("garbage.ENC"), "not a container at all");
    size_t words = 0;
    ASSERT_EQ(vault::writeWordDatabase(path("words.ENC"), {"apple", "pear"}, &words), 0);
    for (const char* name : {"garbage.ENC", "words.ENC"}) {
        const std::string before = readFile(path(name));
        prompt_.reset();
        EXPECT_EQ(decryptFile(path(name), true), Outcome::Failed);
        EXPECT_EQ(prompt_.asked().at(0).title, "Access Denied");
        EXPECT_EQ(readFile(path(name)), before);
    }

    // A blank stamp (a container made before the installation had an identity) opens
    // everywhere.
    InstallationId() = "";
    writeFile(path("old.txt"), "from long ago");
    ASSERT_EQ(encryptFile(path("old.txt"), true), Outcome::Done);
    InstallationId() = "installation-C";
    ASSERT_EQ(decryptFile(path("old.txt.ENC"), false), Outcome::Done);
    EXPECT_EQ(readFile(path("old.txt")), "from long ago");
}

TEST_F(ContainerTest, UnusableChoicesAreRefusedBeforeAnythingIsWritten) {
    const std::string plain = path("a.txt");
    writeFile(plain, "first");
    ASSERT_EQ(encryptFile(plain, false), Outcome::Done);
    const std::string sealed = readFile(plain + ".ENC");
    writeFile(plain, "second");
    prompt_.reset();
    EXPECT_EQ(encryptFile(plain, true), Outcome::Refused);
    EXPECT_EQ(prompt_.asked().at(0).title, "Encryption Wizard");
    EXPECT_NE(prompt_.asked().at(0).text.find("already exists"), std::string::npos);
    EXPECT_EQ(readFile(plain + ".ENC"), sealed);
    EXPECT_EQ(readFile(plain), "second");

    // A full path of 252 characters does not fit the 255-character container name.
    fs::path folder = dir_;
    while (folder.string().size() < 200) folder /= std::string(20, 'd');
    fs::create_directories(folder);
    const std::string longName = (folder / std::string(250 - folder.string().size(), 'f')).string();
    writeFile(longName, "x");
    ASSERT_EQ(longName.size(), 251u);
    EXPECT_EQ(encryptFile(longName, false), Outcome::Done);  // 251 + ".ENC" fits
    const std::string tooLong = longName + "g";
    writeFile(tooLong, "x");
    prompt_.reset();
    EXPECT_EQ(encryptFile(tooLong, true), Outcome::Refused);
    EXPECT_NE(prompt_.asked().at(0).text.find("too long"), std::string::npos);
    EXPECT_FALSE(fs::exists(tooLong + ".ENC"));
    EXPECT_TRUE(fs::exists(tooLong));

    prompt_.reset();
    EXPECT_EQ(encryptFile("   ", false), Outcome::Refused);
    EXPECT_EQ(encryptFile(path("missing"), false), Outcome::Refused);
    EXPECT_EQ(decryptFile(path("missing.ENC"), false), Outcome::Refused);
    EXPECT_EQ(prompt_.asked().size(), 3u);
    EXPECT_FALSE(fs::exists(path("missing.ENC")));  // reading never creates a container
}

TEST_F(ContainerTest, AFullDiskLosesNothing) {
    const std::string bytes = randomBytes(3 << 20, 2);
    const std::string plain = path("big.bin");
    writeFile(plain, bytes);

    // Sealing fails part way: the original stays although deletion was asked for, and
    // the half-written container is gone, under either name.
    EXPECT_EQ(inChildWithFileLimit(1 << 20, [&] { return encryptFile(plain, true); }),
              Outcome::Failed);
    EXPECT_EQ(readFile(plain) == bytes, true);
    EXPECT_FALSE(fs::exists(plain + ".ENC"));
    EXPECT_TRUE(namesStartingWith(".corvix-").empty());

    // Restoring fails part way: the file already there and the container both stay,
    // and no temporary file is left.
    ASSERT_EQ(encryptFile(plain, false), Outcome::Done);
    writeFile(plain, "the current version");
    EXPECT_EQ(inChildWithFileLimit(1 << 20, [&] { return decryptFile(plain + ".ENC", true); }),
              Outcome::Failed);
    EXPECT_EQ(readFile(plain), "the current version");
    EXPECT_TRUE(fs::exists(plain + ".ENC"));
    EXPECT_TRUE(namesStartingWith(".corvix-").empty());

    // Without the limit the same container restores whole.
    ASSERT_EQ(decryptFile(plain + ".ENC", true), Outcome::Done);
    EXPECT_EQ(readFile(plain) == bytes, true);
}

TEST_F(ContainerTest, SealedPagesAreCheckedAndOnlyTheVaultKeyOpensThem) {
    const std::string bytes = randomBytes(5 << 20, 3);
    const std::string plain = path("pages.bin");
    writeFile(plain, bytes);
    // While it is written, the container is a hidden file of its own without a journal;
    // its name appears only when it is complete.
    std::vector<std::string> during, journals;
    bool named = false;
    ASSERT_EQ(encryptFile(plain, false,
                          [&](uint64_t, uint64_t) {
                              during = namesEndingWith(".tmp");
                              for (auto& j : namesEndingWith(".tmp-journal")) journals.push_back(j);
                              named = named || fs::exists(plain + ".ENC");
                          }),
              Outcome::Done);
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(during[0].rfind(".corvix-seal-", 0), 0u);
    EXPECT_TRUE(journals.empty());
    EXPECT_FALSE(named);
    EXPECT_TRUE(namesEndingWith(".tmp").empty());
    EXPECT_TRUE(namesEndingWith(".tmp.lck").empty());

    const std::string container = plain + ".ENC";
    const std::string sealed = readFile(container);
    ASSERT_EQ(sealed.size() % storage::kLargePageSize, 0u);
    EXPECT_NE(sealed.compare(0, 15, "SQLite format 3"), 0);  // the salt is in its place
    // Another key finds no database.
    {
        storage::Table t(vault::CVEF());
        t.setName(container);
        t.setOwner("another owner");
        EXPECT_NE(t.open(storage::kReadOnly | storage::kDenyNone), storage::kNoError);
    }
    // A page of the content damaged in a single bit is refused when read: nothing is
    // written, and the container stays as it is.
    std::string damaged = sealed;
    damaged[damaged.size() / 2 + 1000] ^= 0x10;
    writeFile(container, damaged);
    fs::remove(plain);
    prompt_.reset();
    EXPECT_EQ(decryptFile(container, true), Outcome::Failed);
    EXPECT_EQ(prompt_.asked().at(0).title, "Decryption Failed");
    EXPECT_FALSE(fs::exists(plain));
    EXPECT_EQ(readFile(container) == damaged, true);
    // Undamaged, it restores byte-exact.
    writeFile(container, sealed);
    ASSERT_EQ(decryptFile(container, true), Outcome::Done);
    EXPECT_EQ(readFile(plain) == bytes, true);
}

TEST_F(ContainerTest, AKilledSealLeavesNoContainerAndTheOriginal) {
    const std::string bytes = randomBytes(6 << 20, 4);
    const std::string plain = path("killed.bin");
    writeFile(plain, bytes);
    ASSERT_TRUE(namesStartingWith(".corvix-").empty());
    ASSERT_TRUE(killedWhileSealing(plain, 2));
    EXPECT_FALSE(fs::exists(plain + ".ENC"));
    EXPECT_EQ(readFile(plain) == bytes, true);
    // What is left has a hidden temporary name, which stands in nobody's way.
    EXPECT_FALSE(namesStartingWith(".corvix-seal-").empty());
    ASSERT_EQ(encryptFile(plain, true), Outcome::Done);
    ASSERT_EQ(decryptFile(plain + ".ENC", true), Outcome::Done);
    EXPECT_EQ(readFile(plain) == bytes, true);
}

}  // namespace
}  // namespace corvix::security
