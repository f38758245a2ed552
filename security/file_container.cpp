#include "security/file_container.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "framework/prompt.h"
#include "framework/vault_managers.h"
#include "libs/ferrule/ferrule.h"
#include "platform/storage/raw_file.h"
#include "platform/storage/sealing.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "runtime/secret.h"
#include "security/container_streams.h"
#include "security/session.h"
#include "vault/vault_key.h"

namespace corvix::security {

namespace {

using framework::Icon;

void say(const std::string& title, const std::string& text, Icon icon) {
    framework::prompt().ask(title, text, icon, framework::kButtonOk, framework::kButtonOk);
}
Outcome refuse(const std::string& title, const std::string& text) {
    say(title, text, Icon::Exclamation);
    return Outcome::Refused;
}
Outcome fail(const std::string& title, const std::string& text) {
    say(title, text, Icon::Hand);
    return Outcome::Failed;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string describe(const std::string& path) {
    return runtime::cutToChars(runtime::formatPicture(runtime::today(), "@d17") + " " +
                                   runtime::formatPicture(runtime::clockNow(), "@t7") + " " + path,
                               80);
}

// The file as it was when it was sealed, so that a file changed since is not deleted.
struct Snapshot {
    off_t size = -1;
    timespec modified{};
};
Snapshot snapshot(const std::string& path) {
    Snapshot s;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        s.size = st.st_size;
        s.modified = st.st_mtim;
    }
    return s;
}
bool sameSnapshot(const Snapshot& a, const Snapshot& b) {
    return a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec;
}

// Reads the container back (a fresh open) and checks it holds what was sealed: its record
// and size, and when a digest is given (the original is to be deleted), every byte.
bool readsBackEqual(framework::FileManager& ef, vault::EfBuffer& record, const Digest* sealed,
                    uint64_t sealedSize, std::string* why) {
    ef.Open();
    record.clear();
    record->ID = 1;
    bool equal = false;
    if (ef.TryFetch(vault::ef::K_ID) != framework::kLevelBenign) {
        *why = "the container could not be read again";
    } else if (storage::Table* t = ef.TryUse()) {
        Digest read{};
        uint64_t size = 0;
        if (sealed) {
            *why = digestBlob(*t, vault::ef::Binary, &read, &size);
        } else {
            const int64_t stored = t->blobSize(vault::ef::Binary);
            if (stored < 0) *why = "the container could not be read again";
            size = static_cast<uint64_t>(std::max<int64_t>(stored, 0));
        }
        equal = why->empty() && size == sealedSize && (!sealed || read == *sealed);
        if (why->empty() && !equal) *why = "the container does not hold the same bytes";
    }
    ::runtime::wipe(record->Password);
    ef.ClearPending();
    ef.Close();
    return equal;
}

}  // namespace

std::string fullPath(std::string_view chosen) {
    const std::string trimmed = runtime::rightTrim(chosen);
    if (trimmed.empty()) return {};
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(trimmed, ec);
    return ec ? trimmed : p.lexically_normal().string();
}

std::string containerNameFor(std::string_view plainPath) {
    return runtime::rightTrim(plainPath) + kContainerExtension;
}

Outcome encryptFile(std::string_view chosen, bool deleteOriginal, const CopyProgress& progress) {
    const std::string path = fullPath(chosen);
    if (path.empty()) return refuse(kEncryptTitle, "Please choose the file to encrypt.");
    const std::string container = containerNameFor(path);
    if (runtime::charCount(container) > kContainerNameSize)
        return refuse(kEncryptTitle,
                      "The name of the file is too long: with \".ENC\" appended its full path "
                      "must fit in 255 characters.  Move or rename the file and try again.");
    if (exists(container))
        return refuse(kEncryptTitle, "The encrypted file " + container +
                                         " already exists and was left as it is.  Decrypt, move "
                                         "or delete it before encrypting this file again.");
    storage::RawFile plain(path);
    if (fu_FileOpen(plain, 0) != storage::kNoError)
        return refuse(kEncryptTitle, "The file " + path + " could not be opened (" +
                                         storage::errorText(storage::lastError().code) + ").");
    const Snapshot before = snapshot(path);

    // Written under a temporary name, and given the container's name only once it was
    // read back: a container that exists is always whole.
    storage::SealingFile sealing(container);
    framework::VaultManagers& m = framework::vaultManagers();
    framework::FileManager& ef = m.ef;
    vault::EfBuffer& record = m.efRecord;
    const std::string previousName = ef.Name();
    ef.SetName(sealing.name());
    ef.Open();
    std::string why;
    Digest sealed{};
    uint64_t sealedSize = 0;
    bool inserted = false;
    if (storage::Table* t = ef.Use()) {
        t->stream();  // the record and its content reach the disk in one transaction
        record.clear();
        record->Password = InstallationId();
        record->Description = describe(path);
        record->OriginalFileName = path;
        inserted = ef.Insert() == framework::kLevelBenign;  // a failure is reported there
        ::runtime::wipe(record->Password);
        if (inserted) {
            why = copyFileToBlob(plain, *t, vault::ef::Binary, progress,
                                 deleteOriginal ? &sealed : nullptr, &sealedSize);
            if (why.empty() && t->flush() != storage::kNoError) why = t->error().text;
        }
    }
    plain.close();
    ef.Close();
    sealing.finishWriting();
    if (inserted && why.empty() &&
        !readsBackEqual(ef, record, deleteOriginal ? &sealed : nullptr, sealedSize, &why))
        why = "the encrypted copy could not be checked: " + why;
    ef.SetName(previousName);
    if (inserted && why.empty()) {
        if (const int error = sealing.moveIntoPlace())
            why = error == EEXIST ? "another encrypted file of that name appeared meanwhile"
                                  : std::string(std::strerror(error));
    }
    if (!inserted || !why.empty()) {
        if (!inserted) return Outcome::Failed;
        return fail(kEncryptFailedTitle, "The file could not be encrypted: " + why +
                                             ".  The original file was left as it is.");
    }

    std::string kept;
    if (deleteOriginal) {
        if (!sameSnapshot(before, snapshot(path)))
            kept = "The original file changed while it was being encrypted, so it was not deleted.";
        else if (::unlink(path.c_str()) != 0)
            kept = "The original file could not be deleted: " + std::string(std::strerror(errno)) +
                   ".";
    }
    say(kEncryptedTitle, "The file has been encrypted, and stored as " + container + ".",
        Icon::Information);
    if (!kept.empty()) say(kEncryptTitle, kept, Icon::Exclamation);
    return Outcome::Done;
}

Outcome decryptFile(std::string_view chosen, bool deleteContainer, const CopyProgress& progress) {
    const std::string path = fullPath(chosen);
    if (path.empty()) return refuse(kDecryptTitle, "Please choose the file to decrypt.");
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return refuse(kDecryptTitle, "The file " + path + " does not exist.");

    // Opened directly, not through the upgrade library: a file that is no container (or
    // another program's file) is only refused, never "repaired" or converted.
    storage::Table container(vault::CVEF());
    container.setName(path);
    container.setOwner(vault::BuildVaultKey());
    vault::EfBuffer record;
    record->ID = 1;
    const bool found =
        container.open(storage::kReadOnly | storage::kDenyWrite) == storage::kNoError &&
        container.get(vault::ef::K_ID, record) == storage::kNoError;
    ::runtime::Secret stamp(runtime::rightTrim(record->Password));
    ::runtime::wipe(record->Password);
    const std::string target = runtime::rightTrim(record->OriginalFileName);
    // A blank stamp is accepted by every installation.
    if (!found || target.empty() || (!stamp.empty() && !stamp.equals(InstallationId()))) {
        container.close();
        return fail(kNotOursTitle, kNotOurs);
    }
    const std::string why = restoreBlobToFile(container, vault::ef::Binary, target, progress);
    container.close();
    if (!why.empty())
        return fail(kDecryptFailedTitle, "The file could not be written as " + target + ": " + why +
                                             ".  Any file of that name and the encrypted file "
                                             "were left as they were.");
    std::string kept;
    if (deleteContainer && storage::removeTable(path, vault::BuildVaultKey()) != storage::kNoError)
        kept = "The encrypted copy could not be deleted (" +
               storage::errorText(storage::lastError().code) + ").";
    say(kDecryptedTitle, "The file has been decrypted as " + target + ".", Icon::Information);
    if (!kept.empty()) say(kDecryptTitle, kept, Icon::Exclamation);
    return Outcome::Done;
}

}  // namespace corvix::security
