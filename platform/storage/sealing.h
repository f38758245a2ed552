// Writing a new encrypted file of large pages (a sealed container) at the pace of the
// disk: SQLite's thread only builds pages, and the write-behind thread encrypts them in
// the file format SQLCipher reads.
#pragma once

#include <string>

namespace corvix::storage {

// A new file written under a temporary name in its target's folder (mode 0600, hidden)
// and moved to the target only when it is complete. While writing() lasts, the connection
// this process opens on it (made with an owner password and large pages, and opened by
// nothing else) is one for sealing: it writes without a rollback journal and encrypts its
// pages itself. A failure or a crash part way so leaves the file unusable, never under
// the target's name: the object removes it unless it was moved into place, and a crash
// leaves it under the temporary name, which nothing opens.
class SealingFile {
  public:
    explicit SealingFile(const std::string& target);
    ~SealingFile();
    SealingFile(const SealingFile&) = delete;
    SealingFile& operator=(const SealingFile&) = delete;

    const std::string& name() const { return temp_; }  // to create and write the file under
    // Ends sealing, once the file is closed: connections opened from now on are the usual
    // ones, which read it through SQLCipher (to check it before it is moved).
    void finishWriting();
    // Makes the file durable and gives it the target's name, never replacing a file of
    // that name: 0, or the system's error number (EEXIST when the target exists).
    int moveIntoPlace();

  private:
    std::string target_;
    std::string temp_;
    bool writing_ = true;
    bool moved_ = false;
};

}  // namespace corvix::storage
