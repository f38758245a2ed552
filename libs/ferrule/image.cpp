#include "libs/ferrule/image.h"

#include "libs/ferrule/settings.h"

namespace corvix::ferrule {
namespace {

using storage::FieldType;

constexpr uint8_t kAttrExternalName = 1;
constexpr uint8_t kAttrPicture = 4;
constexpr uint8_t kAttrDims = 16;
constexpr uint8_t kFileEncrypted = 1;
constexpr uint8_t kKindMemo = 1;
constexpr uint8_t kKindBlob = 2;

void putInt(std::string& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xFF);
}

void putText(std::string& out, std::string_view text) {
    out += text;
    out += '\0';
}

class Reader {
  public:
    explicit Reader(std::string_view in) : in_(in) {}
    bool byte(uint8_t* v) {
        if (pos_ >= in_.size()) return false;
        *v = uint8_t(in_[pos_++]);
        return true;
    }
    bool integer(uint32_t* v, int bytes) {
        if (pos_ + size_t(bytes) > in_.size()) return false;
        *v = 0;
        for (int i = 0; i < bytes; ++i) *v |= uint32_t(uint8_t(in_[pos_ + i])) << (8 * i);
        pos_ += size_t(bytes);
        return true;
    }
    bool text(std::string* s) {
        auto end = in_.find('\0', pos_);
        if (end == std::string_view::npos) return false;
        *s = std::string(in_.substr(pos_, end - pos_));
        pos_ = end + 1;
        return true;
    }
    bool fixed(std::string* s, size_t n) {
        if (pos_ + n > in_.size()) return false;
        *s = std::string(in_.substr(pos_, n));
        pos_ += n;
        return true;
    }
    bool length(uint32_t* v) { return getLength(in_, &pos_, v); }
    bool atEnd() const { return pos_ >= in_.size(); }

  private:
    std::string_view in_;
    size_t pos_ = 0;
};

void putField(std::string& out, const storage::FieldDecl& f) {
    uint8_t attrib = 0;
    if (!f.picture.empty()) attrib |= kAttrPicture;
    if (!f.dims.empty()) attrib |= kAttrDims;
    out += char(typeCode(f.type));
    out += char(attrib);
    putLength(out, f.type == FieldType::String ? f.size : f.elementWidth());
    out += char(0);  // digits of a decimal
    out += char(0);  // decimal places
    if (attrib & kAttrPicture) putText(out, f.picture);
    putText(out, f.name);
    if (attrib & kAttrDims) {
        out += char(f.dims.size());
        for (uint32_t d : f.dims) putLength(out, d);
    }
}

bool readField(Reader& r, storage::FieldDecl* f) {
    uint8_t code, attrib, chars, places;
    uint32_t size;
    if (!r.byte(&code) || !r.byte(&attrib) || !r.length(&size) || !r.byte(&chars) ||
        !r.byte(&places))
        return false;
    if (!typeOfCode(code, &f->type)) return false;
    f->size = f->type == FieldType::String ? size : 0;
    if ((attrib & kAttrPicture) && !r.text(&f->picture)) return false;
    if (!r.text(&f->name)) return false;
    std::string external;
    if ((attrib & kAttrExternalName) && !r.text(&external)) return false;
    if (attrib & kAttrDims) {
        uint8_t n;
        if (!r.byte(&n) || n > 4) return false;
        for (int i = 0; i < n; ++i) {
            uint32_t d;
            if (!r.length(&d)) return false;
            f->dims.push_back(d);
        }
    }
    return true;
}

size_t ownerEnd(std::string_view image) {
    size_t pos = image.empty() ? 0 : (image[0] == '1' ? 4 : 3);
    for (int i = 0; i < 2 && pos <= image.size(); ++i) {
        auto z = image.find('\0', pos);
        if (z == std::string_view::npos) return image.size();
        pos = z + 1;
    }
    return pos;  // first byte after the owner's terminating zero
}

}  // namespace

int typeCode(FieldType type) {
    switch (type) {
        case FieldType::Byte:
            return 1;
        case FieldType::Short:
            return 2;
        case FieldType::UShort:
            return 3;
        case FieldType::Date:
            return 4;
        case FieldType::Time:
            return 5;
        case FieldType::Long:
            return 6;
        case FieldType::ULong:
            return 7;
        case FieldType::Real:
            return 9;
        case FieldType::String:
            return 18;
    }
    return 0;
}

bool typeOfCode(int code, FieldType* type) {
    switch (code) {
        case 1:
            *type = FieldType::Byte;
            return true;
        case 2:
            *type = FieldType::Short;
            return true;
        case 3:
            *type = FieldType::UShort;
            return true;
        case 4:
            *type = FieldType::Date;
            return true;
        case 5:
            *type = FieldType::Time;
            return true;
        case 6:
            *type = FieldType::Long;
            return true;
        case 7:
            *type = FieldType::ULong;
            return true;
        case 8:
        case 9:
            *type = FieldType::Real;
            return true;
        case 18:
        case 19:
        case 20:
            *type = FieldType::String;
            return true;
        default:
            return false;
    }
}

void putLength(std::string& out, uint32_t v) {
    if (v < 32) {
        out += char(v);
    } else if (v < (64 - 32) * 256) {
        out += char(32 + (v >> 8));
        out += char(v & 0xFF);
    } else {
        out += char(64 + (v >> 16));
        out += char((v >> 8) & 0xFF);
        out += char(v & 0xFF);
    }
}

bool getLength(std::string_view in, size_t* pos, uint32_t* v) {
    if (*pos >= in.size()) return false;
    uint32_t first = uint8_t(in[*pos]);
    size_t need = first < 32 ? 1 : first < 64 ? 2 : 3;
    if (*pos + need > in.size()) return false;
    if (need == 1) *v = first;
    if (need == 2) *v = (first - 32) * 256 + uint8_t(in[*pos + 1]);
    if (need == 3)
        *v = (first - 64) * 65536 + uint32_t(uint8_t(in[*pos + 1])) * 256 + uint8_t(in[*pos + 2]);
    *pos += need;
    return true;
}

std::string imageOf(const storage::TableDecl& decl, std::string_view driver, std::string_view name,
                    std::string_view owner, bool oldForm) {
    std::string out;
    if (!oldForm) out += '1';
    std::string drv(driver.substr(0, 3));
    drv.resize(3, ' ');
    out += drv;
    putText(out, name);
    putText(out, owner);
    out += char(clip(owner).empty() ? 0 : kFileEncrypted);
    out += char(decl.keys.size());
    out += char(decl.blobs.size());
    const int wide = oldForm ? 2 : 4;
    putInt(out, decl.recordSize(), wide);
    for (const auto& k : decl.keys) {
        out += char(k.components.size());
        putInt(out, k.flags, wide);
        putText(out, k.name);
        putText(out, k.description);
        for (int c : k.components) putInt(out, uint32_t(c), wide);
    }
    for (const auto& b : decl.blobs) {
        out += char(b.memo ? kKindMemo : kKindBlob);
        putInt(out, b.memoSize, 4);
        putText(out, b.name);
        putText(out, "");
    }
    putLength(out, uint32_t(decl.fields.size()));
    for (const auto& f : decl.fields) putField(out, f);
    return out;
}

ImageStatus buildImage(const FileRef& file, std::string* out) {
    const Driver* driver = driverOfKind(file.kind);
    if (!driver) return ImageStatus::DriverNotLocated;
    static const storage::TableDecl kNoFields;
    *out = imageOf(file.decl ? *file.decl : kNoFields, driver->name, file.name, file.owner);
    return out->size() > kMaxImage ? ImageStatus::TooLarge : ImageStatus::Ok;
}

bool parseImage(std::string_view bytes, ParsedImage* out) {
    *out = ParsedImage();
    Reader r(bytes);
    out->oldForm = bytes.empty() || bytes[0] != '1';
    uint8_t mark, nkeys, nblobs;
    if (!out->oldForm && !r.byte(&mark)) return false;
    if (!r.fixed(&out->driver, 3) || !r.text(&out->name) || !r.text(&out->owner)) return false;
    const int wide = out->oldForm ? 2 : 4;
    if (!r.byte(&out->attributes) || !r.byte(&nkeys) || !r.byte(&nblobs) ||
        !r.integer(&out->recordLength, wide))
        return false;
    auto& decl = out->decl;
    decl.name = out->name;
    decl.owner = out->owner;
    for (int i = 0; i < nkeys; ++i) {
        storage::KeyDecl k;
        uint8_t n;
        uint32_t flags;
        if (!r.byte(&n) || !r.integer(&flags, wide) || !r.text(&k.name) || !r.text(&k.description))
            return false;
        k.flags = flags;
        for (int c = 0; c < n; ++c) {
            uint32_t comp;
            if (!r.integer(&comp, wide)) return false;
            // The old form marks a descending component with the sign bit.
            if (out->oldForm) comp &= 0x7FFF;
            k.components.push_back(int(comp));
        }
        decl.keys.push_back(std::move(k));
    }
    for (int i = 0; i < nblobs; ++i) {
        storage::BlobDecl b;
        uint8_t kind;
        std::string external;
        if (!r.byte(&kind) || !r.integer(&b.memoSize, 4) || !r.text(&b.name) || !r.text(&external))
            return false;
        b.memo = kind == kKindMemo;
        decl.blobs.push_back(std::move(b));
    }
    uint32_t nfields;
    if (!r.length(&nfields)) return false;
    for (uint32_t i = 0; i < nfields; ++i) {
        storage::FieldDecl f;
        if (!readField(r, &f)) return false;
        decl.fields.push_back(std::move(f));
    }
    for (const auto& k : decl.keys)
        for (int c : k.components)
            if (c < 0 || size_t(c) >= decl.fields.size()) return false;
    for (const auto& f : decl.fields) {
        auto colon = f.name.find(':');
        if (colon != std::string::npos) {
            decl.prefix = f.name.substr(0, colon);
            break;
        }
    }
    return true;
}

bool imagesDiffer(std::string_view stored, std::string_view fresh) {
    bool storedMarked = !stored.empty() && stored[0] == '1';
    bool freshMarked = !fresh.empty() && fresh[0] == '1';
    if (storedMarked != freshMarked) return false;
    // A removed field or key shortens the image: that is a change too.
    if (stored.size() != fresh.size()) return true;
    size_t skipFrom = ownerEnd(fresh);
    size_t skipTo = fresh.find('\0', skipFrom);
    skipTo = skipTo == std::string_view::npos ? fresh.size() : skipTo + 1;
    for (size_t i = 0; i < fresh.size(); ++i) {
        if (i >= skipFrom && i < skipTo) continue;
        if (stored[i] != fresh[i]) return true;
    }
    return false;
}

}  // namespace corvix::ferrule
