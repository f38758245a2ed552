// The comma-delimited text driver: one record per line, fields in declaration order,
// strings quoted with "" escaping, line breaks inside a field escaped so that a line
// always holds one record.
#pragma once

#include <cstdio>
#include <string>

#include "platform/storage/declaration.h"
#include "platform/storage/record.h"

namespace corvix::storage {

class TextFile {
  public:
    explicit TextFile(const TableDecl& decl);  // decl.name is the file name
    ~TextFile();
    void setName(std::string name);
    int create();        // an empty file, mode 0600
    int open(int mode);  // kReadOnly or kReadWrite / kWriteOnly (appending)
    void close();
    int set();                     // back to the first line
    int next(RecordBuffer& into);  // 33 at the end
    int add(const RecordBuffer& record);
    const std::string& name() const { return name_; }

  private:
    const TableDecl* decl_;
    std::string name_;
    std::FILE* file_ = nullptr;
    int mode_ = 0;
};

}  // namespace corvix::storage
