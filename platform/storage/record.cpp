// The generic record buffer and the normalisation every stored value goes through.
#include "platform/storage/record.h"

#include <sodium.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "platform/storage/internal.h"
#include "runtime/utf8.h"

namespace corvix::storage {

namespace {

std::string numberText(const Scalar& v) {
    if (auto i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto d = std::get_if<double>(&v)) {
        std::ostringstream out;
        out.precision(15);
        out << *d;
        return out.str();
    }
    return std::get<std::string>(v);
}

int64_t toInteger(const Scalar& v) {
    if (auto i = std::get_if<int64_t>(&v)) return *i;
    if (auto d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d)) return 0;
        if (*d >= 9.2e18) return INT64_MAX;
        if (*d <= -9.2e18) return INT64_MIN;
        return static_cast<int64_t>(*d);
    }
    const std::string& s = std::get<std::string>(v);
    return std::strtoll(s.c_str(), nullptr, 10);
}

double toReal(const Scalar& v) {
    if (auto i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
    if (auto d = std::get_if<double>(&v)) return *d;
    return std::strtod(std::get<std::string>(v).c_str(), nullptr);
}

// Cut to `chars` characters, never inside a user-perceived one, then without trailing
// blanks.
void fitString(std::string& s, uint32_t chars) {
    if (s.size() > chars) s.resize(runtime::graphemePrefixBytes(s, chars));
    size_t end = s.find_last_not_of(' ');
    s.resize(end == std::string::npos ? 0 : end + 1);
}

}  // namespace

Scalar normalise(const FieldDecl& field, Scalar&& value) {
    if (auto s = std::get_if<std::string>(&value); s && field.type == FieldType::String) {
        fitString(*s, field.size);
        return std::move(*s);
    }
    return normalise(field, static_cast<const Scalar&>(value));
}

Scalar normalise(const FieldDecl& field, const Scalar& value) {
    switch (field.type) {
        case FieldType::String: {
            std::string s = numberText(value);
            fitString(s, field.size);
            return s;
        }
        case FieldType::Real:
            return toReal(value);
        case FieldType::Byte:
            return static_cast<int64_t>(static_cast<uint8_t>(toInteger(value)));
        case FieldType::Short:
            return static_cast<int64_t>(static_cast<int16_t>(toInteger(value)));
        case FieldType::UShort:
            return static_cast<int64_t>(static_cast<uint16_t>(toInteger(value)));
        case FieldType::ULong:
            return static_cast<int64_t>(static_cast<uint32_t>(toInteger(value)));
        case FieldType::Long:
        case FieldType::Date:
        case FieldType::Time:
            return static_cast<int64_t>(static_cast<int32_t>(toInteger(value)));
    }
    return value;
}

int64_t RecordBuffer::getInt(int field, uint32_t element) const {
    return toInteger(get(field, element));
}

double RecordBuffer::getReal(int field, uint32_t element) const {
    return toReal(get(field, element));
}

std::string RecordBuffer::getString(int field, uint32_t element) const {
    return numberText(get(field, element));
}

void RecordBuffer::copyFrom(const RecordBuffer& other) {
    const TableDecl& d = decl();
    size_t n = std::min(d.fields.size(), other.decl().fields.size());
    for (size_t f = 0; f < n; ++f)
        for (uint32_t e = 0; e < d.fields[f].elements(); ++e)
            set(static_cast<int>(f), other.get(static_cast<int>(f), e), e);
}

Record::Record(const TableDecl& decl) : decl_(&decl) {
    uint32_t slot = 0;
    for (const FieldDecl& f : decl.fields) {
        first_.push_back(slot);
        slot += f.elements();
    }
    slots_.resize(slot);
    clear();
}

Scalar Record::get(int field, uint32_t element) const {
    if (field < 0 || static_cast<size_t>(field) >= first_.size() ||
        element >= decl_->fields[field].elements())
        return int64_t{0};
    return slots_[first_[field] + element];
}

void Record::set(int field, const Scalar& value, uint32_t element) {
    if (field < 0 || static_cast<size_t>(field) >= first_.size() ||
        element >= decl_->fields[field].elements())
        return;
    Scalar& slot = slots_[first_[field] + element];
    Scalar next = normalise(decl_->fields[field], value);
    wipe(slot);
    slot = std::move(next);
}

void wipe(Scalar& value) {
    if (auto* s = std::get_if<std::string>(&value)) {
        if (s->capacity() > 0) sodium_memzero(s->data(), s->capacity());
        s->clear();
    }
}

void wipeCells(std::vector<Scalar>& cells) {
    for (Scalar& v : cells) wipe(v);
    cells.clear();
}

void Record::clear() {
    for (size_t f = 0; f < first_.size(); ++f) {
        const FieldDecl& fd = decl_->fields[f];
        Scalar blank = fd.type == FieldType::String ? Scalar(std::string())
                       : fd.type == FieldType::Real ? Scalar(0.0)
                                                    : Scalar(int64_t{0});
        for (uint32_t e = 0; e < fd.elements(); ++e) {
            wipe(slots_[first_[f] + e]);
            slots_[first_[f] + e] = blank;
        }
    }
}

}  // namespace corvix::storage
