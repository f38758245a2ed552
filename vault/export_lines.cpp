#include "vault/export_lines.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <vector>

#include "runtime/date.h"
#include "runtime/picture.h"

namespace corvix::vault {

using storage::FieldDecl;
using storage::FieldType;
using storage::Scalar;

namespace {

void appendQuoted(const std::string& s, std::string& out) {
    out += '"';
    for (char ch : s) {
        switch (ch) {
            case '"':
                out += "\"\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += ch;
        }
    }
    out += '"';
}

void appendDate(int64_t date, std::string& out) {
    if (date == 0) return;  // a blank date is an empty field
    int y, m, d;
    if (!runtime::calendarDate(static_cast<int32_t>(date), &y, &m, &d)) {
        out += std::to_string(date);  // outside the calendar's range: the day count itself
        return;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    out += text;
}

void appendNumber(const Scalar& value, std::string& out) {
    if (auto i = std::get_if<int64_t>(&value)) {
        out += std::to_string(*i);
    } else if (auto r = std::get_if<double>(&value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", *r);
        out += text;
    } else {
        out += std::get<std::string>(value);
    }
}

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits a line into its fields; false with a reason when the quoting is broken.
bool splitFields(std::string_view line, std::vector<Token>& tokens, std::string* reason) {
    tokens.clear();
    size_t i = 0;
    for (;;) {
        Token token;
        if (i < line.size() && line[i] == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                // Plain bytes up to the next quote or backslash go in at once.
                const size_t plain = i;
                while (i < line.size() && line[i] != '"' && line[i] != '\\') ++i;
                token.text.append(line.data() + plain, i - plain);
                if (i == line.size()) break;
                char ch = line[i++];
                if (ch == '"') {
                    if (i < line.size() && line[i] == '"') {
                        token.text += '"';
                        ++i;
                        continue;
                    }
                    closed = true;
                    break;
                }
                if (ch == '\\' && i < line.size() &&
                    (line[i] == 'n' || line[i] == 'r' || line[i] == '\\')) {
                    char e = line[i++];
                    token.text += e == 'n' ? '\n' : e == 'r' ? '\r' : '\\';
                    continue;
                }
                token.text += ch;  // any other backslash stands for itself
            }
            if (!closed) {
                *reason = "a quoted text is not closed";
                return false;
            }
            if (i < line.size() && line[i] != ',') {
                *reason = "text after a closing quote";
                return false;
            }
        } else {
            size_t comma = line.find(',', i);
            size_t end = comma == std::string_view::npos ? line.size() : comma;
            token.text.assign(line.substr(i, end - i));
            if (token.text.find('"') != std::string::npos) {
                *reason = "a quote inside an unquoted field";
                return false;
            }
            i = end;
        }
        tokens.push_back(std::move(token));
        if (i >= line.size()) return true;
        ++i;  // the comma
    }
}

bool parseInteger(std::string_view text, int64_t low, int64_t high, int64_t* out) {
    int64_t v = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || p != end || v < low || v > high) return false;
    *out = v;
    return true;
}

bool parseDate(std::string_view text, int64_t* out) {
    if (text.empty()) {
        *out = 0;
        return true;
    }
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        int64_t y, m, d;
        if (!parseInteger(text.substr(0, 4), 0, 9999, &y) ||
            !parseInteger(text.substr(5, 2), 1, 12, &m) ||
            !parseInteger(text.substr(8, 2), 1, 31, &d))
            return false;
        *out = runtime::standardDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d));
        return *out != 0;
    }
    return parseInteger(text, 0, std::numeric_limits<int32_t>::max(), out);
}

bool integerRange(FieldType type, int64_t* low, int64_t* high) {
    switch (type) {
        case FieldType::Byte:
            *low = 0, *high = 255;
            return true;
        case FieldType::Short:
            *low = -32768, *high = 32767;
            return true;
        case FieldType::UShort:
            *low = 0, *high = 65535;
            return true;
        case FieldType::ULong:
            *low = 0, *high = 4294967295LL;
            return true;
        case FieldType::Long:
        case FieldType::Time:
            *low = std::numeric_limits<int32_t>::min(), *high = std::numeric_limits<int32_t>::max();
            return true;
        default:
            return false;
    }
}

// The value of one field element from its text; false with a reason.
bool fieldValue(const FieldDecl& field, Token& token, Scalar* value, std::string* reason) {
    if (field.type == FieldType::String) {
        if (runtime::charCount(token.text) > field.size) {
            *reason = "longer than " + std::to_string(field.size) + " characters";
            return false;
        }
        *value = std::move(token.text);
        return true;
    }
    if (field.type == FieldType::Date) {
        int64_t date;
        if (!parseDate(token.text, &date)) {
            *reason = "not a date (YYYY-MM-DD)";
            return false;
        }
        *value = date;
        return true;
    }
    if (field.type == FieldType::Real) {
        double r = 0;
        const char* end = token.text.data() + token.text.size();
        auto [p, ec] = std::from_chars(token.text.data(), end, r);
        if (token.text.empty() || ec != std::errc() || p != end) {
            *reason = "not a number";
            return false;
        }
        *value = r;
        return true;
    }
    int64_t low = 0, high = 0, v = 0;
    integerRange(field.type, &low, &high);
    if (!parseInteger(token.text, low, high, &v)) {
        *reason = "not a number from " + std::to_string(low) + " to " + std::to_string(high);
        return false;
    }
    *value = v;
    return true;
}

}  // namespace

void appendRecordLine(const storage::RecordBuffer& record, std::string& out) {
    const storage::TableDecl& decl = record.decl();
    bool first = true;
    for (size_t f = 0; f < decl.fields.size(); ++f) {
        const FieldDecl& field = decl.fields[f];
        for (uint32_t e = 0; e < field.elements(); ++e) {
            if (!first) out += ',';
            first = false;
            Scalar value = record.get(static_cast<int>(f), e);
            if (field.type == FieldType::String)
                appendQuoted(std::get<std::string>(storage::normalise(field, std::move(value))),
                             out);
            else if (field.type == FieldType::Date)
                appendDate(std::get<int64_t>(value), out);
            else
                appendNumber(value, out);
        }
    }
    out += "\r\n";
}

bool parseRecordLine(std::string_view line, storage::RecordBuffer& record, std::string* reason) {
    if (!isValidUtf8(line)) {
        *reason = "not UTF-8 text";
        return false;
    }
    thread_local std::vector<Token> tokens;
    if (!splitFields(line, tokens, reason)) return false;
    const storage::TableDecl& decl = record.decl();
    size_t expected = 0;
    for (const FieldDecl& field : decl.fields) expected += field.elements();
    if (tokens.size() != expected) {
        *reason =
            std::to_string(tokens.size()) + " fields, " + std::to_string(expected) + " expected";
        return false;
    }
    size_t t = 0;
    for (size_t f = 0; f < decl.fields.size(); ++f) {
        const FieldDecl& field = decl.fields[f];
        for (uint32_t e = 0; e < field.elements(); ++e, ++t) {
            Scalar value;
            if (!fieldValue(field, tokens[t], &value, reason)) {
                *reason = std::string(field.name) + ": " + *reason;
                return false;
            }
            record.set(static_cast<int>(f), std::move(value), e);
        }
    }
    return true;
}

bool isValidUtf8(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t n = text.size(), i = 0;
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

}  // namespace corvix::vault
