#include "runtime/ini_file.h"

#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace corvix::runtime {

namespace {

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return std::string(s.substr(b, e - b));
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

IniFile::IniFile(std::string path) {
    setPath(std::move(path));
}

void IniFile::setPath(std::string path) {
    path_ = std::move(path);
    reload();
}

void IniFile::reload() {
    lines_.clear();
    std::ifstream in(path_, std::ios::binary);
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        Line line{raw, "", "", ""};
        std::string t = trim(raw);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            line.section = trim(std::string_view(t).substr(1, t.size() - 2));
        } else if (!t.empty() && t[0] != ';' && t[0] != '#') {
            size_t eq = t.find('=');
            if (eq != std::string::npos) {
                line.key = trim(std::string_view(t).substr(0, eq));
                line.value = trim(std::string_view(t).substr(eq + 1));
            }
        }
        lines_.push_back(std::move(line));
    }
}

int IniFile::findSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (!lines_[i].section.empty() && sameName(lines_[i].section, section))
            return static_cast<int>(i);
    return -1;
}

int IniFile::sectionEnd(int header) const {
    size_t i = static_cast<size_t>(header) + 1;
    while (i < lines_.size() && lines_[i].section.empty()) ++i;
    return static_cast<int>(i);
}

int IniFile::findKey(std::string_view section, std::string_view key) const {
    int header = findSection(section);
    if (header < 0) return -1;
    int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i)
        if (!lines_[i].key.empty() && sameName(lines_[i].key, key)) return i;
    return -1;
}

std::string IniFile::read(std::string_view section, std::string_view key,
                          std::string_view fallback) const {
    int i = findKey(section, key);
    return i < 0 ? std::string(fallback) : lines_[i].value;
}

long IniFile::readInt(std::string_view section, std::string_view key, long fallback) const {
    int i = findKey(section, key);
    if (i < 0) return fallback;
    const std::string& v = lines_[i].value;
    char* end = nullptr;
    long n = std::strtol(v.c_str(), &end, 10);
    return end == v.c_str() ? fallback : n;
}

bool IniFile::has(std::string_view section, std::string_view key) const {
    return findKey(section, key) >= 0;
}

bool IniFile::write(std::string_view section, std::string_view key, std::string_view value) {
    std::string k = trim(key), v = trim(value);
    Line line{k + "=" + v, "", k, v};
    int i = findKey(section, key);
    if (i >= 0) {
        lines_[i] = line;
    } else {
        int header = findSection(section);
        if (header < 0) {
            if (!lines_.empty() && !trim(lines_.back().text).empty())
                lines_.push_back({"", "", "", ""});
            std::string s = trim(section);
            lines_.push_back({"[" + s + "]", s, "", ""});
            lines_.push_back(line);
        } else {
            // After the section's last key, before any blank lines that separate it
            // from the next section.
            int end = sectionEnd(header);
            while (end - 1 > header && trim(lines_[end - 1].text).empty()) --end;
            lines_.insert(lines_.begin() + end, line);
        }
    }
    return save();
}

bool IniFile::writeInt(std::string_view section, std::string_view key, long value) {
    return write(section, key, std::to_string(value));
}

bool IniFile::removeKey(std::string_view section, std::string_view key) {
    int i = findKey(section, key);
    if (i < 0) return true;
    lines_.erase(lines_.begin() + i);
    return save();
}

bool IniFile::removeSection(std::string_view section) {
    int header = findSection(section);
    if (header < 0) return true;
    lines_.erase(lines_.begin() + header, lines_.begin() + sectionEnd(header));
    return save();
}

std::vector<std::string> IniFile::sections() const {
    std::vector<std::string> out;
    for (const Line& l : lines_)
        if (!l.section.empty()) out.push_back(l.section);
    return out;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> out;
    int header = findSection(section);
    if (header < 0) return out;
    int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i)
        if (!lines_[i].key.empty()) out.push_back(lines_[i].key);
    return out;
}

bool IniFile::save() {
    if (path_.empty()) return false;
    // A temporary name of its own, so that two writers never write into one file; the
    // rename puts one whole version in place.
    std::string temp = path_ + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    std::string text;
    for (const Line& l : lines_) text += l.text + '\n';
    bool ok = true;
    for (size_t done = 0; ok && done < text.size();) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace corvix::runtime
