// The raw byte driver: a file read and written as records of up to 65,535 bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace corvix::storage {

class RawFile {
  public:
    explicit RawFile(std::string name);
    ~RawFile();
    int create();        // empty, mode 0600
    int open(int mode);  // runtime open mode (access + share bits)
    void close();
    int64_t size() const;  // bytes; -1 when not open
    // Reads up to length bytes (at most 65,535) at offset; got = bytes read; 33 at the end.
    int read(uint64_t offset, void* buffer, uint32_t length, uint32_t* got);
    int append(const void* data, uint32_t length);
    const std::string& name() const { return name_; }

  private:
    std::string name_;
    int fd_ = -1;
    int mode_ = 0;
    struct Lock;  // the open's share bits, held on the file itself
    std::unique_ptr<Lock> lock_;
};

}  // namespace corvix::storage
