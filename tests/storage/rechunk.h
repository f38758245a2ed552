// Rewrites the BLOBs of a large-page file in chunks of a given size, straight through
// SQL: files sealed before chunks were fitted to their pages hold 64 KiB chunks.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "platform/storage/internal.h"

namespace corvix::storage::testing {

// The BLOBs of the file's first table, cut again into chunks of `size` bytes.
inline void rechunkBlobs(const std::string& file, const std::string& owner, size_t size) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::string why;
    ASSERT_EQ(detail::configureHandle(db, detail::deriveKeyHex(owner), &why, kLargePageSize),
              SQLITE_OK)
        << why;
    const std::string chunks = detail::blobTable(1);
    std::map<std::pair<int64_t, int64_t>, std::string> blobs;
    {
        detail::Stmt read(db,
                          "SELECT rid, blob, data FROM " + chunks + " ORDER BY rid, blob, chunk;");
        while (read.step() == SQLITE_ROW) {
            auto* data = static_cast<const char*>(sqlite3_column_blob(read.get(), 2));
            blobs[{read.columnInt(0), read.columnInt(1)}].append(
                data, static_cast<size_t>(sqlite3_column_bytes(read.get(), 2)));
        }
    }
    ASSERT_EQ(detail::exec(db, "BEGIN; DELETE FROM " + chunks + ";"), SQLITE_OK);
    detail::Stmt put(db,
                     "INSERT INTO " + chunks + " (rid, blob, chunk, data) VALUES (?, ?, ?, ?);");
    for (const auto& [key, bytes] : blobs)
        for (size_t at = 0, chunk = 0; at < bytes.size(); at += size, ++chunk) {
            put.bindInt(1, key.first);
            put.bindInt(2, key.second);
            put.bindInt(3, static_cast<int64_t>(chunk));
            put.bindBlob(4, bytes.data() + at, std::min(size, bytes.size() - at));
            ASSERT_EQ(put.step(), SQLITE_DONE);
            put.reset();
        }
    ASSERT_EQ(detail::exec(db, "COMMIT;"), SQLITE_OK);
    sqlite3_close_v2(db);
}

}  // namespace corvix::storage::testing
