// A fresh temporary directory that a test works in (the vault lives in the working
// directory); the previous working directory is restored and the folder removed after.
#pragma once

#include <string>

namespace corvix::testing {

class TempWorkDir {
  public:
    TempWorkDir();
    ~TempWorkDir();
    const std::string& path() const { return path_; }
    // The bytes of a file of the directory ("" when missing).
    std::string read(const std::string& name) const;

  private:
    std::string path_;
    std::string previous_;
};

}  // namespace corvix::testing
