#include "libs/ferrule/record_copy.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "libs/ferrule/settings.h"
#include "libs/ferrule/state.h"
#include "runtime/picture.h"

namespace corvix::ferrule {
namespace {

using storage::FieldDecl;
using storage::FieldType;
using storage::Scalar;

bool isText(const FieldDecl& f) {
    return f.type == FieldType::String;
}

// Dimensions padded to four, 1 for each the field does not have.
std::vector<uint32_t> dimsOf(const FieldDecl& f) {
    std::vector<uint32_t> d(f.dims.begin(), f.dims.end());
    while (d.size() < 4) d.push_back(1);
    return d;
}

std::string numberText(const Scalar& v) {
    if (auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return buf;
    }
    return std::get<std::string>(v);
}

// A text read as a number; text that is no number reads as 0.
Scalar numberOfText(const std::string& text) {
    std::string t = clip(text);
    auto start = t.find_first_not_of(' ');
    if (start == std::string::npos) return int64_t(0);
    t = t.substr(start);
    char* end = nullptr;
    long long i = std::strtoll(t.c_str(), &end, 10);
    if (end && *end == '\0') return int64_t(i);
    double d = std::strtod(t.c_str(), &end);
    if (end && *end == '\0' && std::isfinite(d)) return d;
    return int64_t(0);
}

bool isTextPicture(const std::string& picture) {
    return picture.empty() || picture.size() < 2 || (picture[1] == 's' || picture[1] == 'S');
}

// A plain value of an element of the old field: text read back through its picture.
Scalar plainValue(const FieldDecl& from, const Scalar& value) {
    if (!isText(from) || isTextPicture(from.picture)) return value;
    auto text = std::get_if<std::string>(&value);
    if (!text) return value;
    auto number = runtime::deformatPicture(*text, from.picture);
    if (!number) return *text;
    double d = *number;
    if (d == std::floor(d) && std::fabs(d) < 9.2e18) return int64_t(d);
    return d;
}

Scalar toNumber(const Scalar& v, FieldType type) {
    if (auto* s = std::get_if<std::string>(&v)) return toNumber(numberOfText(*s), type);
    if (type == FieldType::Real) {
        if (auto* i = std::get_if<int64_t>(&v)) return double(*i);
        return v;
    }
    if (auto* d = std::get_if<double>(&v)) {
        double t = std::trunc(*d);
        if (t >= 9.2e18 || t <= -9.2e18 || !std::isfinite(t)) return int64_t(0);
        return int64_t(t);
    }
    return v;
}

}  // namespace

Scalar convertValue(const FieldDecl& from, const Scalar& value, const FieldDecl& to) {
    if (isText(from) && isText(to) && from.picture == to.picture) return value;
    Scalar plain = plainValue(from, value);
    if (isText(to)) return numberText(plain);
    // Dates (day numbers) and times (hundredths) pass to and from integers by value.
    return toNumber(plain, to.type);
}

Scalar valueFromText(const std::string& text, const FieldDecl& to) {
    FieldDecl plainText;
    plainText.type = FieldType::String;
    plainText.size = uint32_t(text.size());
    return convertValue(plainText, text, to);
}

int findSourceField(const storage::TableDecl& from, const std::string& name, bool blobs) {
    auto find = [&](const std::string& n) {
        if (blobs) {
            for (size_t i = 0; i < from.blobs.size(); ++i)
                if (equalNoCase(from.blobs[i].name, n)) return int(i);
            return -1;
        }
        for (size_t i = 0; i < from.fields.size(); ++i)
            if (equalNoCase(from.fields[i].name, n)) return int(i);
        return -1;
    };
    int found = find(name);
    if (found >= 0) return found;
    std::string key = upper(name);
    for (const auto& alt : state().fieldNames) {
        if (alt.newName != key) continue;
        found = find(alt.oldName);
        if (found >= 0) return found;
    }
    return -1;
}

RecordCopier::RecordCopier(const storage::TableDecl& to, const storage::TableDecl& from)
    : to_(to), from_(from) {
    const auto& values = state().newValues;
    for (const auto& field : to.fields) {
        Plan plan;
        plan.source = findSourceField(from, field.name, false);
        for (size_t i = 0; i < values.size(); ++i)
            if (values[i].name == upper(field.name)) plan.newValue = int(i);
        auto toDims = dimsOf(field);
        std::vector<uint32_t> fromDims =
            plan.source >= 0 ? dimsOf(from.fields[size_t(plan.source)]) : toDims;
        for (uint32_t e = 0; e < field.elements(); ++e) {
            // Indices of element e in row-major order, then the same indices in the old
            // shape when each lies within it.
            uint32_t rest = e, index[4];
            for (int d = 3; d >= 0; --d) {
                index[d] = rest % toDims[size_t(d)];
                rest /= toDims[size_t(d)];
            }
            int old = plan.source >= 0 ? 0 : -1;
            for (int d = 0; d < 4 && old >= 0; ++d) {
                if (index[d] >= fromDims[size_t(d)])
                    old = -1;
                else
                    old = old * int(fromDims[size_t(d)]) + int(index[d]);
            }
            plan.elements.push_back(old);
        }
        plans_.push_back(std::move(plan));
    }
    for (size_t b = 0; b < to.blobs.size(); ++b) {
        int old = findSourceField(from, to.blobs[b].name, true);
        if (old >= 0) blobs_.emplace_back(int(b), old);
    }
}

void RecordCopier::copy(const storage::RecordBuffer& from, storage::RecordBuffer& into) {
    into.clear();
    auto& values = state().newValues;
    for (size_t f = 0; f < plans_.size(); ++f) {
        const Plan& plan = plans_[f];
        const FieldDecl& field = to_.fields[f];
        for (size_t e = 0; e < plan.elements.size(); ++e) {
            int old = plan.elements[e];
            if (old >= 0) {
                const FieldDecl& source = from_.fields[size_t(plan.source)];
                into.set(int(f), convertValue(source, from.get(plan.source, uint32_t(old)), field),
                         uint32_t(e));
            } else if (plan.newValue >= 0) {
                NewValue& nv = values[size_t(plan.newValue)];
                std::string text = upper(clip(nv.value)) == "AUTONUMBER"
                                       ? std::to_string(++nv.autoNumber)
                                       : nv.value;
                into.set(int(f), valueFromText(text, field), uint32_t(e));
            }
            // Otherwise the cleared record leaves blanks (strings) or zeros.
        }
    }
}

int RecordCopier::copyBlobs(storage::Table& source, storage::Table& target) {
    if (blobs_.empty()) return 0;
    // One buffer for every record: a fresh 64 KB for each would cost more than the copy.
    std::vector<char>& chunk = chunk_;
    chunk.resize(65536);
    for (auto [to, from] : blobs_) {
        const auto& decl = to_.blobs[size_t(to)];
        int64_t size = source.blobSize(from);
        if (size <= 0) continue;
        // A memo keeps at most its declared size; a BLOB takes everything.
        uint64_t limit = decl.memo && decl.memoSize ? decl.memoSize : uint64_t(size);
        uint64_t offset = 0;
        while (offset < uint64_t(size) && offset < limit) {
            size_t want = size_t(std::min<uint64_t>(chunk.size(), limit - offset));
            size_t got = 0;
            int err = source.readBlob(from, offset, chunk.data(), want, &got);
            if (err != 0 && err != storage::kRecordNotAvailable) return err;
            if (got == 0) break;
            err = target.appendBlob(to, chunk.data(), got);
            if (err != 0) return err;
            offset += got;
        }
    }
    return 0;
}

}  // namespace corvix::ferrule
