// The comma-delimited text driver. Numbers are written as decimal text, strings in
// double quotes with "" for a quote; a backslash, a line feed and a carriage return
// inside a string are written \\, \n and \r, so that every line holds one record.
#include "platform/storage/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform/storage/errors.h"
#include "platform/storage/internal.h"
#include "platform/storage/table.h"

namespace corvix::storage {

using namespace detail;

namespace {

void writeQuoted(std::string& line, const std::string& s) {
    line += '"';
    for (char ch : s) {
        switch (ch) {
            case '"':
                line += "\"\"";
                break;
            case '\\':
                line += "\\\\";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\r':
                line += "\\r";
                break;
            default:
                line += ch;
        }
    }
    line += '"';
}

std::string exactNumberText(const Scalar& v) {
    if (auto i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto d = std::get_if<double>(&v)) {
        std::ostringstream out;
        out.precision(17);
        out << *d;
        return out.str();
    }
    return std::get<std::string>(v);
}

// Splits one line into its values; a quote left open takes the rest of the line.
std::vector<std::string> parseLine(const std::string& line) {
    std::vector<std::string> values;
    size_t i = 0;
    for (;;) {
        std::string value;
        while (i < line.size() && line[i] == ' ') ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (i < line.size()) {
                char ch = line[i++];
                if (ch == '"') {
                    if (i < line.size() && line[i] == '"') {
                        value += '"';
                        ++i;
                    } else {
                        break;
                    }
                } else if (ch == '\\' && i < line.size() &&
                           (line[i] == 'n' || line[i] == 'r' || line[i] == '\\')) {
                    // Only the three escapes this driver writes; any other backslash
                    // ("C:\pictures") is taken as it stands.
                    char n = line[i++];
                    value += n == 'n' ? '\n' : n == 'r' ? '\r' : '\\';
                } else {
                    value += ch;
                }
            }
            while (i < line.size() && line[i] != ',') ++i;  // stray text after the quote
        } else {
            size_t comma = line.find(',', i);
            value = line.substr(i, comma == std::string::npos ? std::string::npos : comma - i);
            i = comma == std::string::npos ? line.size() : comma;
        }
        values.push_back(std::move(value));
        if (i >= line.size()) break;
        ++i;  // the comma
    }
    return values;
}

}  // namespace

TextFile::TextFile(const TableDecl& decl) : decl_(&decl), name_(decl.name) {}

TextFile::~TextFile() {
    close();
}

void TextFile::setName(std::string name) {
    name_ = std::move(name);
}

int TextFile::create() {
    int fd = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return fileFailure(name_, codeForSystemError(errno), errno);
    ::close(fd);
    return fileFailure(name_, kNoError);
}

int TextFile::open(int mode) {
    if (file_) return fileFailure(name_, kAlreadyOpen);
    struct stat st;
    if (::stat(name_.c_str(), &st) != 0)
        return fileFailure(name_, codeForSystemError(errno), errno);
    if (S_ISDIR(st.st_mode)) return fileFailure(name_, kAccessDenied, EISDIR);
    bool writes = (mode & kAccessMask) != kReadOnly;
    file_ = std::fopen(name_.c_str(), writes ? "a+be" : "rbe");
    if (!file_) return fileFailure(name_, codeForSystemError(errno), errno);
    mode_ = mode;
    return fileFailure(name_, kNoError);
}

void TextFile::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

int TextFile::set() {
    if (!file_) return fileFailure(name_, kFileNotOpen);
    std::rewind(file_);
    return fileFailure(name_, kNoError);
}

int TextFile::next(RecordBuffer& into) {
    if (!file_) return fileFailure(name_, kFileNotOpen);
    std::string line;
    for (;;) {
        line.clear();
        int ch;
        bool any = false;
        while ((ch = std::fgetc(file_)) != EOF) {
            any = true;
            if (ch == '\n') break;
            line += static_cast<char>(ch);
        }
        if (std::ferror(file_)) return fileFailure(name_, kDriverError, errno);
        if (!any) return fileFailure(name_, kRecordNotAvailable);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) break;  // blank lines hold no record
    }
    std::vector<std::string> values = parseLine(line);
    into.clear();
    size_t v = 0;
    for (size_t f = 0; f < decl_->fields.size(); ++f) {
        const FieldDecl& field = decl_->fields[f];
        for (uint32_t e = 0; e < field.elements(); ++e, ++v) {
            if (v >= values.size()) continue;
            into.set(static_cast<int>(f), values[v], e);
        }
    }
    return fileFailure(name_, kNoError);
}

int TextFile::add(const RecordBuffer& record) {
    if (!file_) return fileFailure(name_, kFileNotOpen);
    if ((mode_ & kAccessMask) == kReadOnly) return fileFailure(name_, kAccessDenied);
    std::string line;
    bool first = true;
    for (size_t f = 0; f < decl_->fields.size(); ++f) {
        const FieldDecl& field = decl_->fields[f];
        for (uint32_t e = 0; e < field.elements(); ++e) {
            if (!first) line += ',';
            first = false;
            Scalar value = normalise(field, record.get(static_cast<int>(f), e));
            if (field.type == FieldType::String)
                writeQuoted(line, std::get<std::string>(value));
            else
                line += exactNumberText(value);
        }
    }
    line += "\r\n";
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0)
        return fileFailure(name_, kDriverError, errno);
    return fileFailure(name_, kNoError);
}

}  // namespace corvix::storage
