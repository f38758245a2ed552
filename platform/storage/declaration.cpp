// Field widths, name look-ups, structure comparison and the split of table names.
#include "platform/storage/declaration.h"

#include <strings.h>

#include <algorithm>

namespace corvix::storage {

namespace {

bool sameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

uint32_t FieldDecl::elements() const {
    uint32_t n = 1;
    for (uint32_t d : dims) n *= std::max<uint32_t>(d, 1);
    return n;
}

uint32_t FieldDecl::elementWidth() const {
    switch (type) {
        case FieldType::Byte:
            return 1;
        case FieldType::Short:
        case FieldType::UShort:
            return 2;
        case FieldType::Long:
        case FieldType::ULong:
        case FieldType::Date:
        case FieldType::Time:
            return 4;
        case FieldType::Real:
            return 8;
        case FieldType::String:
            return size;
    }
    return 0;
}

std::string_view FieldDecl::bareName() const {
    std::string_view n = name;
    size_t colon = n.find(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

int TableDecl::fieldIndex(std::string_view fullOrBareName) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (sameNoCase(fields[i].name, fullOrBareName)) return static_cast<int>(i);
    for (size_t i = 0; i < fields.size(); ++i)
        if (sameNoCase(fields[i].bareName(), fullOrBareName)) return static_cast<int>(i);
    return -1;
}

int TableDecl::keyIndex(std::string_view keyName) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (sameNoCase(keys[i].name, keyName)) return static_cast<int>(i);
    // A bare key name ("K_Category") also finds "PAS:K_Category".
    for (size_t i = 0; i < keys.size(); ++i) {
        std::string_view n = keys[i].name;
        size_t colon = n.find(':');
        if (colon != std::string_view::npos && sameNoCase(n.substr(colon + 1), keyName))
            return static_cast<int>(i);
    }
    return -1;
}

uint32_t TableDecl::recordSize() const {
    uint32_t total = 0;
    for (const FieldDecl& f : fields) total += f.width();
    return total;
}

bool TableDecl::sameStructure(const TableDecl& other) const {
    if (fields.size() != other.fields.size() || keys.size() != other.keys.size() ||
        blobs.size() != other.blobs.size())
        return false;
    for (size_t i = 0; i < fields.size(); ++i) {
        const FieldDecl& a = fields[i];
        const FieldDecl& b = other.fields[i];
        if (!sameNoCase(a.name, b.name) || a.type != b.type || a.dims != b.dims) return false;
        if (a.type == FieldType::String && a.size != b.size) return false;
    }
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].components != other.keys[i].components || keys[i].flags != other.keys[i].flags)
            return false;
    for (size_t i = 0; i < blobs.size(); ++i)
        if (blobs[i].memo != other.blobs[i].memo || blobs[i].memoSize != other.blobs[i].memoSize)
            return false;
    return true;
}

TableName splitTableName(std::string_view name) {
    TableName out;
    std::string_view file = name;
    size_t bang = name.find("\\!");
    if (bang != std::string_view::npos) {
        file = name.substr(0, bang);
        out.table = std::string(name.substr(bang + 2));
    }
    out.file = std::string(file);
    // A name without an extension gets the driver's default one. Only the last path
    // component counts: "./dir.x/CVWRD" has none.
    size_t slash = out.file.find_last_of('/');
    size_t dot = out.file.find_last_of('.');
    bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
                        dot + 1 < out.file.size();
    // A trailing dot ("CVWRD.") asks for no extension at all.
    if (!out.file.empty() && out.file.back() == '.')
        out.file.pop_back();
    else if (!hasExtension && !out.file.empty())
        out.file += ".TPS";
    return out;
}

}  // namespace corvix::storage
