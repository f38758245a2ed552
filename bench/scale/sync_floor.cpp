// What the disk alone takes for one durable commit: the same file operations and syncs a
// command's commit makes (a new rollback journal written and synced, its folder synced,
// the journal's header rewritten and synced, a page of the database written and synced,
// the journal removed and the folder synced again), with no database work around them.
// The scale benchmark times it beside `add`, whose wall time on a busy disk is mostly
// these waits.
//   sync_floor FOLDER
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool step(bool ok, const char* what) {
    if (!ok) std::perror(what);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: sync_floor FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1], journal = folder + "/floor.journal",
                      database = folder + "/floor.db";
    std::vector<char> page(4096, 'x');
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    const int db = open(database.c_str(), O_CREAT | O_RDWR, 0600);
    const int j = open(journal.c_str(), O_CREAT | O_RDWR | O_TRUNC, 0600);
    const bool ok =
        step(dir >= 0 && db >= 0 && j >= 0, "open") &&
        step(pwrite(j, page.data(), page.size(), 0) == 4096 && fdatasync(j) == 0, "journal") &&
        step(fsync(dir) == 0, "folder") &&
        step(pwrite(j, page.data(), 512, 0) == 512 && fdatasync(j) == 0, "journal header") &&
        step(pwrite(db, page.data(), page.size(), 0) == 4096 && fdatasync(db) == 0, "database") &&
        step(unlink(journal.c_str()) == 0 && fsync(dir) == 0, "journal removal");
    if (j >= 0) close(j);
    if (db >= 0) close(db);
    if (dir >= 0) close(dir);
    return ok ? 0 : 1;
}
