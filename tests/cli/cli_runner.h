// Runs the built corvix-cli (../bin/corvix-cli beside the test program) in a fresh
// temporary directory, with the given standard input (not a terminal).
#pragma once

#include <string>
#include <vector>

namespace corvix::testing {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CliRunner {
  public:
    CliRunner();
    ~CliRunner();
    CliResult run(const std::vector<std::string>& args, const std::string& input = {}) const;
    const std::string& dir() const { return dir_; }
    std::string fileBytes(const std::string& name) const;
    static std::string program();

  private:
    std::string dir_;
};

}  // namespace corvix::testing
