#include "vault/foreign_import.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "runtime/date.h"
#include "runtime/picture.h"
#include "runtime/secret.h"
#include "vault/access.h"
#include "vault/export_lines.h"
#include "vault/prime.h"
#include "vault/tables.h"

namespace corvix::vault {

namespace {

// ---- CSV as spreadsheets and password managers write it (RFC 4180) ----

struct CsvRecord {
    int64_t line = 0;
    std::vector<std::string> fields;
    std::string error;
    ~CsvRecord() {
        for (std::string& f : fields) ::runtime::wipe(f);
    }
};

// Reads the record at pos; false at the end of the text. Quoted fields may span lines.
bool nextCsvRecord(std::string_view text, size_t& pos, int64_t& line, CsvRecord& out) {
    for (std::string& f : out.fields) ::runtime::wipe(f);
    out.fields.clear();
    out.error.clear();
    if (pos >= text.size()) return false;
    out.line = ++line;
    std::string field;
    for (;;) {
        if (pos < text.size() && text[pos] == '"') {
            ++pos;
            bool closed = false;
            while (pos < text.size()) {
                char ch = text[pos++];
                if (ch == '"') {
                    if (pos < text.size() && text[pos] == '"') {
                        field += '"';
                        ++pos;
                        continue;
                    }
                    closed = true;
                    break;
                }
                if (ch == '\n') ++line;
                field += ch;
            }
            if (!closed) out.error = "a quoted text is not closed";
            if (closed && pos < text.size() && text[pos] != ',' && text[pos] != '\n' &&
                !(text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') &&
                !(text[pos] == '\r' && pos + 1 == text.size()))
                out.error = "text after a closing quote";
        }
        while (pos < text.size() && text[pos] != ',' && text[pos] != '\n') field += text[pos++];
        if (!field.empty() && field.back() == '\r' && (pos >= text.size() || text[pos] == '\n'))
            field.pop_back();
        out.fields.push_back(std::move(field));
        field.clear();
        if (pos >= text.size()) return true;
        if (text[pos++] == '\n') return true;
    }
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Column numbers of one format, -1 when the file lacks the column.
struct Columns {
    int category = -1, description = -1, name = -1, password = -1, url = -1, notes = -1,
        extraNotes = -1, lastChange = -1;
};

struct FormatColumns {
    const char* category;
    const char* description;
    const char* name;
    const char* password;
    const char* url;
    const char* notes;
    const char* extraNotes;
    const char* lastChange;
};

FormatColumns columnNames(ForeignFormat format) {
    switch (format) {
        case ForeignFormat::KeePassXC:
            return {"group", "title", "username", "password",
                    "url",   "notes", nullptr,    "last modified"};
        case ForeignFormat::Bitwarden:
            return {"folder",    "name",  "login_username", "login_password",
                    "login_uri", "notes", "fields",         nullptr};
        case ForeignFormat::Chrome:
            return {nullptr, "name", "username", "password", "url", "note", nullptr, nullptr};
    }
    return {};
}

bool findColumns(const std::vector<std::string>& header, ForeignFormat format, Columns* c,
                 std::string* error) {
    const FormatColumns names = columnNames(format);
    auto find = [&](const char* name) {
        if (!name) return -1;
        for (size_t i = 0; i < header.size(); ++i) {
            std::string h = lower(header[i]);
            while (!h.empty() && h.back() == ' ') h.pop_back();
            if (h == name) return static_cast<int>(i);
        }
        return -1;
    };
    c->category = find(names.category);
    c->description = find(names.description);
    c->name = find(names.name);
    c->password = find(names.password);
    c->url = find(names.url);
    c->notes = find(names.notes);
    c->extraNotes = find(names.extraNotes);
    c->lastChange = find(names.lastChange);
    const std::pair<int, const char*> required[] = {{c->description, names.description},
                                                    {c->name, names.name},
                                                    {c->password, names.password},
                                                    {c->url, names.url}};
    for (const auto& [column, name] : required) {
        if (column < 0) {
            *error = std::string("the column \"") + name + "\" is missing from the header";
            return false;
        }
    }
    return true;
}

// KeePassXC names a group by its path from "Root"; the category is its last part.
std::string groupCategory(const std::string& group) {
    std::string g = group;
    while (!g.empty() && g.back() == '/') g.pop_back();
    size_t slash = g.rfind('/');
    std::string last = slash == std::string::npos ? g : g.substr(slash + 1);
    return slash == std::string::npos && last == "Root" ? std::string() : last;
}

int32_t isoDay(const std::string& text) {
    int y = 0, m = 0, d = 0;
    if (text.size() < 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d", &y, &m, &d) != 3) return 0;
    return runtime::standardDate(y, m, d);
}

// The account of one record; an empty reason means it can be imported.
std::string toAccount(const CsvRecord& record, const Columns& c, ForeignFormat format,
                      ForeignAccount* a) {
    auto field = [&](int column) -> std::string {
        return column >= 0 && column < static_cast<int>(record.fields.size())
                   ? record.fields[column]
                   : std::string();
    };
    a->line = record.line;
    a->category = field(c.category);
    if (format == ForeignFormat::KeePassXC) a->category = groupCategory(a->category);
    a->description = field(c.description);
    a->name = field(c.name);
    a->password = field(c.password);
    a->url = field(c.url);
    a->notes = field(c.notes);
    const std::string extra = field(c.extraNotes);
    if (!extra.empty()) a->notes += (a->notes.empty() ? "" : "\n\n") + extra;
    a->lastChange = isoDay(field(c.lastChange));
    const std::pair<const std::string*, std::pair<const char*, size_t>> limits[] = {
        {&a->category, {"the category", 30}}, {&a->description, {"the title", 60}},
        {&a->name, {"the user name", 128}},   {&a->password, {"the password", 128}},
        {&a->url, {"the address", 255}},      {&a->notes, {"the notes", 4096}}};
    for (const auto& [value, limit] : limits) {
        if (!isValidUtf8(*value)) return std::string(limit.first) + " is not UTF-8 text";
        if (runtime::charCount(*value) > limit.second)
            return std::string(limit.first) + " is longer than " + std::to_string(limit.second) +
                   " characters";
    }
    return {};
}

std::string readWhole(const std::string& fileName, std::string* error) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) {
        *error = "cannot read " + fileName + ": " + std::strerror(errno);
        return {};
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// ---- writing ----

void appendCsvField(const std::string& value, std::string& out) {
    out += '"';
    for (char ch : value) {
        if (ch == '"') out += '"';
        out += ch;
    }
    out += '"';
}

}  // namespace

ForeignAccount::~ForeignAccount() {
    ::runtime::wipe(password);
    ::runtime::wipe(notes);
}

bool parseForeignFormat(std::string_view name, ForeignFormat* format) {
    const std::string n = lower(name);
    if (n == "keepassxc")
        *format = ForeignFormat::KeePassXC;
    else if (n == "bitwarden")
        *format = ForeignFormat::Bitwarden;
    else if (n == "chrome")
        *format = ForeignFormat::Chrome;
    else
        return false;
    return true;
}

ForeignFile readForeignFile(const std::string& fileName, ForeignFormat format) {
    ForeignFile out;
    std::string text = readWhole(fileName, &out.error);
    if (!out.error.empty()) return out;
    size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a byte-order mark
    int64_t line = 0;
    CsvRecord record;
    Columns columns;
    if (!nextCsvRecord(text, pos, line, record) || !record.error.empty()) {
        out.error = fileName + " has no header row";
    } else if (findColumns(record.fields, format, &columns, &out.error)) {
        const size_t width = record.fields.size();
        while (nextCsvRecord(text, pos, line, record)) {
            if (record.fields.size() == 1 && record.fields[0].empty()) continue;  // blank line
            if (!record.error.empty()) {
                out.skipped.emplace_back(record.line, record.error);
                continue;
            }
            if (record.fields.size() != width) {
                out.skipped.emplace_back(record.line, std::to_string(record.fields.size()) +
                                                          " fields, " + std::to_string(width) +
                                                          " in the header");
                continue;
            }
            ForeignAccount account;
            std::string reason = toAccount(record, columns, format, &account);
            if (reason.empty())
                out.accounts.push_back(std::move(account));
            else
                out.skipped.emplace_back(record.line, reason);
        }
    }
    ::runtime::wipe(text);
    return out;
}

std::vector<std::string> missingCategories(const std::vector<ForeignAccount>& accounts,
                                           storage::Table& categories) {
    std::vector<std::string> missing;
    for (const ForeignAccount& a : accounts) {
        const std::string name = a.category.empty() ? kDefaultCategory : a.category;
        if (categoryExists(categories, name)) continue;
        bool listed = false;
        for (const std::string& m : missing) listed = listed || lower(m) == lower(name);
        if (!listed) missing.push_back(name);
    }
    return missing;
}

ForeignImportResult importForeignAccounts(const std::vector<ForeignAccount>& accounts,
                                          storage::Table& categories, storage::Table& passwords,
                                          int32_t today) {
    ForeignImportResult result;
    storage::Transaction transaction;
    if (transaction.begin({&categories, &passwords}, 10) != storage::kNoError) {
        result.failure = storage::lastError();
        return result;
    }
    result.categoriesCreated = missingCategories(accounts, categories);
    for (const std::string& name : result.categoriesCreated) {
        CatBuffer c;
        c->Category = name;
        if (categories.add(c) != storage::kNoError) {
            result.failure = categories.error();
            result.categoriesCreated.clear();
            return result;  // the transaction rolls back
        }
    }
    for (const ForeignAccount& a : accounts) {
        PasBuffer r;
        primeCVPAS(r.record(), today);
        r->Category = a.category.empty() ? kDefaultCategory : a.category;
        r->Description = a.description;
        r->Name = a.name;
        r->Password = a.password;
        r->URL = a.url;
        r->Notes = a.notes;
        r->LastChange = a.lastChange ? a.lastChange : today;
        const int rc = insertNumbered(passwords, r);
        ::runtime::wipe(r->Password);
        ::runtime::wipe(r->Notes);
        if (rc != storage::kNoError) {
            result.failure = passwords.error();
            result.categoriesCreated.clear();
            return result;
        }
        ++result.imported;
    }
    if (transaction.commit() != storage::kNoError) {
        result.failure = storage::lastError();
        result.imported = 0;
        result.categoriesCreated.clear();
    }
    return result;
}

int exportKeePassXcCsv(storage::Table& passwords, const std::string& fileName, int64_t* written,
                       storage::Error* failure) {
    *written = 0;
    auto fail = [&](int code, int sysError) {
        failure->code = code;
        failure->text = storage::errorText(code);
        failure->driverCode = sysError;
        failure->driverText = sysError ? std::strerror(sysError) : "";
        failure->file = fileName;
        return code;
    };
    std::string out =
        "\"Group\",\"Title\",\"Username\",\"Password\",\"URL\",\"Notes\","
        "\"Last Modified\"\n";
    PasBuffer r;
    int rc = passwords.set(pas::K_PAS_ID);
    while (rc == storage::kNoError && (rc = passwords.next(r)) == storage::kNoError) {
        for (const std::string* v :
             {&r->Category, &r->Description, &r->Name, &r->Password, &r->URL, &r->Notes}) {
            if (v == &r->Category)
                appendCsvField("Root/" + *v, out);
            else
                appendCsvField(*v, out);
            out += ',';
        }
        int y = 0, m = 0, d = 0;
        char date[32] = "";
        if (runtime::calendarDate(r->LastChange, &y, &m, &d))
            std::snprintf(date, sizeof date, "%04d-%02d-%02dT00:00:00Z", y, m, d);
        appendCsvField(date, out);
        out += '\n';
        ++*written;
    }
    if (rc != storage::kRecordNotAvailable) {
        *failure = passwords.error();
        ::runtime::wipe(out);
        return failure->code ? failure->code : storage::kDriverError;
    }
    // Never over another file: it may be the only copy of something.
    int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        int err = errno;
        ::runtime::wipe(out);
        return fail(err == EEXIST ? storage::kAccessDenied : storage::kDriverError, err);
    }
    size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::write(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(fileName.c_str());
            ::runtime::wipe(out);
            return fail(storage::kDriverError, err);
        }
        done += static_cast<size_t>(n);
    }
    ::runtime::wipe(out);
    if (::fsync(fd) != 0 || ::close(fd) != 0) return fail(storage::kDriverError, errno);
    return storage::kNoError;
}

}  // namespace corvix::vault
