// Sealed file containers: a file stored whole, as the BLOB of the one record of a CVEF
// table encrypted with the vault key, and stamped with the installation's identity; and
// the way back. Shared by the two wizards and corvix-cli; every message (completion,
// refusal, failure) goes through framework::prompt().
//
// Nothing is lost on failure: an existing container is never replaced, the original is
// deleted only after the container was read back equal to it, and a restored file
// replaces its target only once it is complete and on disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace corvix::security {

inline constexpr uint32_t kCopyChunk = 65535;  // raw file records
inline constexpr size_t kContainerNameSize = 255;
inline constexpr const char* kContainerExtension = ".ENC";

inline constexpr const char* kEncryptTitle = "Encryption Wizard";
inline constexpr const char* kDecryptTitle = "Decryption Wizard";
inline constexpr const char* kEncryptedTitle = "Encryption Complete";
inline constexpr const char* kDecryptedTitle = "Decryption Complete";
inline constexpr const char* kNotOursTitle = "Access Denied";
inline constexpr const char* kNotOurs =
    "This file was not encrypted using this copy of Halden Corvix.";
inline constexpr const char* kEncryptFailedTitle = "Encryption Failed";
inline constexpr const char* kDecryptFailedTitle = "Decryption Failed";

// Bytes copied so far of the file's size, after each batch of chunks.
using CopyProgress = std::function<void(uint64_t done, uint64_t total)>;

// The full path of a chosen file (trailing blanks removed, made absolute).
std::string fullPath(std::string_view chosen);
// The container of a plain file: its full path with ".ENC" appended.
std::string containerNameFor(std::string_view plainPath);

enum class Outcome {
    Done,     // written (a note may have followed the completion message)
    Refused,  // nothing was tried: the choice itself was unusable (no file, name too long,
              // container exists); the user may choose again
    Failed,   // tried and failed, or access denied; nothing was lost
};

// Seals the file into its container.
Outcome encryptFile(std::string_view chosen, bool deleteOriginal,
                    const CopyProgress& progress = {});
// Restores the file a container holds to the path it came from.
Outcome decryptFile(std::string_view chosen, bool deleteContainer,
                    const CopyProgress& progress = {});

}  // namespace corvix::security
