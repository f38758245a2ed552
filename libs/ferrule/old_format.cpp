#include "libs/ferrule/old_format.h"

#include <fstream>
#include <iterator>

#include "libs/ferrule/image.h"
#include "libs/ferrule/settings.h"

namespace corvix::ferrule {
namespace {

constexpr size_t kPassOdd = 83, kPassEven = 84;
constexpr size_t kFieldEntry = 27;

class Bytes {
  public:
    explicit Bytes(const std::string& b) : b_(b) {}
    bool has(size_t at, size_t n) const { return at + n <= b_.size(); }
    uint32_t u8(size_t at) const { return uint8_t(b_[at]); }
    uint32_t u16(size_t at) const { return u8(at) | u8(at + 1) << 8; }
    std::string text(size_t at, size_t n) const {
        std::string t = b_.substr(at, n);
        if (auto z = t.find('\0'); z != std::string::npos) t.resize(z);
        return clip(t);
    }

  private:
    const std::string& b_;
};

bool toType(uint32_t oldType, storage::FieldType* type) {
    switch (oldType) {
        case 1:
            *type = storage::FieldType::Long;
            return true;
        case 2:
        case 8:
            *type = storage::FieldType::Real;
            return true;  // decimals read as reals
        case 3:
        case 4:
            *type = storage::FieldType::String;
            return true;
        case 5:
            *type = storage::FieldType::Byte;
            return true;
        case 6:
            *type = storage::FieldType::Short;
            return true;
        default:
            return false;  // groups only overlay the fields that follow
    }
}

}  // namespace

bool oldFormatImage(const std::string& fileName, std::string* image) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (raw.size() < kOldHeaderSize || raw.compare(0, 2, "C3") != 0) return false;
    Bytes b(raw);
    if (b.u16(2) & 2) {
        const char odd = raw[kPassOdd], even = raw[kPassEven];
        for (size_t i = 4; i < raw.size(); ++i)
            if (i != kPassOdd && i != kPassEven) raw[i] = char(raw[i] ^ (i % 2 ? odd : even));
    }
    const uint32_t nkeys = b.u8(4), nfields = b.u16(13), npics = b.u16(15), narrays = b.u16(17);
    std::string prefix = b.text(61, 3);
    if (raw.compare(61, 3, std::string(3, '\0')) == 0) prefix = "";

    storage::TableDecl decl;
    decl.name = fileName;
    decl.prefix = prefix;
    struct Entry {
        uint32_t type, arrnum, picnum;
    };
    std::vector<Entry> entries;
    std::vector<int> fieldOf;  // old field number (0-based) -> declaration field, -1 if none
    size_t pos = kOldHeaderSize;
    for (uint32_t i = 0; i < nfields; ++i, pos += kFieldEntry) {
        if (!b.has(pos, kFieldEntry)) return false;
        Entry e{b.u8(pos), b.u16(pos + 23), b.u16(pos + 25)};
        storage::FieldDecl f;
        std::string name = b.text(pos + 1, 16);
        f.name =
            name.find(':') == std::string::npos && !prefix.empty() ? prefix + ":" + name : name;
        entries.push_back(e);
        if (!toType(e.type, &f.type)) {
            fieldOf.push_back(-1);
            continue;
        }
        if (f.type == storage::FieldType::String) f.size = b.u16(pos + 19);
        fieldOf.push_back(int(decl.fields.size()));
        decl.fields.push_back(std::move(f));
    }
    for (uint32_t k = 0; k < nkeys; ++k) {
        if (!b.has(pos, 18)) return false;
        storage::KeyDecl key;
        uint32_t n = b.u8(pos);
        key.name = b.text(pos + 1, 16);
        key.flags = b.u8(pos + 17);
        pos += 18;
        for (uint32_t c = 0; c < n; ++c, pos += 5) {
            if (!b.has(pos, 5)) return false;
            uint32_t number = b.u16(pos + 1);
            if (number == 0 || number > fieldOf.size() || fieldOf[number - 1] < 0) return false;
            key.components.push_back(fieldOf[number - 1]);
        }
        decl.keys.push_back(std::move(key));
    }
    std::vector<std::string> pictures;
    for (uint32_t p = 0; p < npics; ++p) {
        if (!b.has(pos, 2) || !b.has(pos + 2, b.u16(pos))) return false;
        pictures.push_back(b.text(pos + 2, b.u16(pos)));
        pos += 2 + b.u16(pos);
    }
    std::vector<std::vector<uint32_t>> arrays;
    for (uint32_t a = 0; a < narrays; ++a) {
        if (!b.has(pos, 8)) return false;
        uint32_t numdim = b.u16(pos);
        pos += 8;
        std::vector<uint32_t> dims;
        for (uint32_t d = 0; d < numdim; ++d, pos += 4) {
            if (!b.has(pos, 4)) return false;
            dims.push_back(b.u16(pos));
        }
        arrays.push_back(std::move(dims));
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (fieldOf[i] < 0) continue;
        auto& f = decl.fields[size_t(fieldOf[i])];
        if (entries[i].picnum > 0 && entries[i].picnum <= pictures.size())
            f.picture = pictures[entries[i].picnum - 1];
        if (entries[i].arrnum > 0 && entries[i].arrnum <= arrays.size())
            f.dims = arrays[entries[i].arrnum - 1];
    }
    *image = imageOf(decl, "ODF", fileName, "");
    return true;
}

}  // namespace corvix::ferrule
