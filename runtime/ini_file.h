// INI files as people read and edit them: [Section] headers and Key=Value lines.
// Sections and keys are found without regard to letter case; comments, blank lines and
// the order of everything are kept when a value is written. Every write goes to disk
// at once (written to a temporary file and renamed, so a crash never leaves half a file).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvix::runtime {

class IniFile {
  public:
    IniFile() = default;
    explicit IniFile(std::string path);
    void setPath(std::string path);  // reads the file (a missing file is empty)
    const std::string& path() const { return path_; }

    std::string read(std::string_view section, std::string_view key,
                     std::string_view fallback = "") const;
    long readInt(std::string_view section, std::string_view key, long fallback = 0) const;
    bool has(std::string_view section, std::string_view key) const;
    // Writes the value (creating section and key as needed); false if the file could
    // not be written.
    bool write(std::string_view section, std::string_view key, std::string_view value);
    bool writeInt(std::string_view section, std::string_view key, long value);
    bool removeKey(std::string_view section, std::string_view key);
    bool removeSection(std::string_view section);
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;
    void reload();

  private:
    struct Line {
        std::string text;     // the line as it stands in the file
        std::string section;  // for headers: the section name
        std::string key;      // for key lines: the key
        std::string value;
    };
    int findSection(std::string_view section) const;  // index of its header line, -1 if none
    int findKey(std::string_view section, std::string_view key) const;
    int sectionEnd(int header) const;  // index after the section's last line
    bool save();

    std::string path_;
    std::vector<Line> lines_;
};

}  // namespace corvix::runtime
