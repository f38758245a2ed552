// The byte copies behind sealed containers: a raw file into a table's BLOB, a BLOB's
// digest, and a BLOB out to a new file that replaces its target only when complete.
// Each returns an empty string when it succeeded, else why it failed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "security/file_container.h"

namespace corvix::storage {
class RawFile;
class Table;
}  // namespace corvix::storage

namespace corvix::security {

using Digest = std::array<unsigned char, 32>;  // BLAKE2b-256

// Appends the whole file (open for reading) to the BLOB of the table's current record,
// read in kCopyChunk records; *copied is its size and *digest (when wanted) its hash.
std::string copyFileToBlob(storage::RawFile& from, storage::Table& to, int blob,
                           const CopyProgress& progress, Digest* digest, uint64_t* copied);

// Digest and size of the BLOB of the table's current record, read back in chunks.
std::string digestBlob(storage::Table& table, int blob, Digest* digest, uint64_t* size);

// Writes the BLOB of the table's current record to a temporary file in the target's
// folder, flushes it to disk and renames it over the target. On failure the target is
// left as it was and the temporary file is removed.
std::string restoreBlobToFile(storage::Table& from, int blob, const std::string& target,
                              const CopyProgress& progress);

}  // namespace corvix::security
