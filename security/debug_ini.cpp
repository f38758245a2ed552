#include "security/debug_ini.h"

#include <QString>
#include <cstdlib>
#include <fstream>

namespace corvix::security {

namespace {
std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}
bool sameName(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}
}  // namespace

long readIniNumber(const std::string& path, const std::string& section, const std::string& key,
                   long fallback) {
    std::ifstream in(path);
    if (!in) return fallback;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        std::string t = trim(line);
        if (t.empty() || t[0] == ';') continue;
        if (t.front() == '[') {
            size_t close = t.find(']');
            inSection =
                close != std::string::npos && sameName(trim(t.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        size_t eq = t.find('=');
        if (eq == std::string::npos || !sameName(trim(t.substr(0, eq)), key)) continue;
        std::string value = trim(t.substr(eq + 1));
        char* end = nullptr;
        long n = std::strtol(value.c_str(), &end, 10);
        return end == value.c_str() ? fallback : n;
    }
    return fallback;
}

bool mouseDebugEnabled() {
    return readIniNumber(kDebugIniPath, "Debug", "Mouse", 0) != 0;
}

}  // namespace corvix::security
