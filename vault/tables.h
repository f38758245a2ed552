// The declarations of every table the program keeps (fields, pictures, keys with their
// descriptions, names used to open them, owner passwords), their structure versions, and
// the record buffers that let the storage driver read and write the structs of
// vault/records.h directly.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/storage/declaration.h"
#include "platform/storage/record.h"
#include "vault/records.h"
#include "vault/vault_key.h"

namespace corvix::vault {

// ---- declarations (built once; the encrypted ones carry VaultKey as owner) ----
const storage::TableDecl& CVCAT();        // "Corvix\!Category"
const storage::TableDecl& CVPAS();        // "Corvix\!Passwords"
const storage::TableDecl& CVMAS();        // "Corvix\!Master"
const storage::TableDecl& CVGSD();        // "Corvix\!Schemes"
const storage::TableDecl& CVWRD();        // "CVWRD", its own owner password
const storage::TableDecl& CVEF();         // "CVEF" until a container's name is set
const storage::TableDecl& TagSet_();      // "TAGSET_"
const storage::TableDecl& TagFile_();     // "TAGFILE_"
const storage::TableDecl& TagFilePos_();  // "TAGFILEP"
const storage::TableDecl& ExPAS();        // "ExPas.BAS", comma-delimited text
const storage::TableDecl& ExGSD();        // "ExGSD.BAS", comma-delimited text

// The vault file holding CVCAT, CVPAS, CVMAS and CVGSD.
inline constexpr const char* kVaultFile = "Corvix.TPS";
// The word database's physical file, in the working directory and beside the program.
inline constexpr const char* kWordFile = "CVWRD.TPS";

// True for the tables opened with VaultKey (the four vault tables and containers).
bool usesVaultKey(const storage::TableDecl& decl);

// One table as registered with the upgrade library at start-up, in registration order.
struct TableRegistration {
    const storage::TableDecl* decl;
    const char* prefix;
    const char* label;
    int version;  // structure version
};
const std::vector<TableRegistration>& tableRegistrations();
int structureVersion(const storage::TableDecl& decl);  // -1 for an unregistered table

// ---- field and key numbers (indexes into TableDecl::fields / keys) ----
namespace cat {
enum Field { Category };
enum Key { K_Category };
}  // namespace cat
namespace pas {
enum Field {
    PAS_ID,
    Category,
    Description,
    Name,
    Password,
    URL,
    Custom1,
    Custom2,
    Custom3,
    LastChange,
    Expires,
    ExpiryInterval,
    TargetWindow,
    TargetWindowText,
    Action,
    Watch,
    Wait,
    Notes
};
enum Key {
    K_PAS_ID,
    K_Category,
    K_Description,
    K_Name,
    K_URL,
    K_LastChangeDate,
    K_Expiry,
    K_Watch
};
}  // namespace pas
namespace mas {
enum Field {
    MAS_ID,
    GSD_ID,
    Password,
    EncPassword,
    Path,
    RevealPasswords,
    MonitorInactivity,
    InactivityTimeout,
    UseMasterPasswordImage,
    PlaySounds,
    Sound_Click,
    Sound_Send,
    Sound_Other,
    Custom1,
    Custom2,
    Custom3,
    InstallDate
};
enum Key { K_Path, K_MAS_ID, K_GSD_ID };
}  // namespace mas
namespace gsd {
enum Field {
    GSD_ID,
    Description,
    Columns,
    Rows,
    Image,
    Basis,
    Style,
    ShowGrid,
    ShowHint,
    GridColor,
    Password
};
enum Key { K_GSD_ID, K_Description };
}  // namespace gsd
namespace wrd {
enum Field { WRD_ID, Word };
enum Key { K_ID, K_Word };
}  // namespace wrd
namespace ef {
enum Field { ID, Password, Description, OriginalFileName };
enum Key { K_ID, K_FileName, K_Description };
enum Blob { Binary };
}  // namespace ef

// ---- record buffers over the structs of vault/records.h ----

// How one member of a record struct maps to one field of its declaration.
template <class R>
using Member = std::variant<int32_t R::*, uint32_t R::*, uint8_t R::*, std::string R::*>;

// The declaration and member list of each record struct, field by field.
template <class R>
struct Binding;
#define CORVIX_VAULT_BINDING(R)                         \
    template <>                                         \
    struct Binding<R> {                                 \
        static const storage::TableDecl& decl();        \
        static const std::vector<Member<R>>& members(); \
    }
CORVIX_VAULT_BINDING(CatRecord);
CORVIX_VAULT_BINDING(PasRecord);
CORVIX_VAULT_BINDING(MasRecord);
CORVIX_VAULT_BINDING(GsdRecord);
CORVIX_VAULT_BINDING(WrdRecord);
CORVIX_VAULT_BINDING(EfRecord);
#undef CORVIX_VAULT_BINDING

// A RecordBuffer whose fields are the members of a record struct: either one it owns
// or one it is pointed at (a window's own record). Strings set through the buffer are
// cut to the field's size, numbers wrapped into the field type's range.
template <class R>
class RecordBinding final : public storage::RecordBuffer {
  public:
    RecordBinding() : rec_(&own_) {}
    explicit RecordBinding(R& target) : rec_(&target) {}
    RecordBinding(const RecordBinding&) = delete;
    RecordBinding& operator=(const RecordBinding&) = delete;

    R& record() { return *rec_; }
    const R& record() const { return *rec_; }
    R* operator->() { return rec_; }
    const R* operator->() const { return rec_; }

    const storage::TableDecl& decl() const override { return Binding<R>::decl(); }

    storage::Scalar get(int field, uint32_t /*element*/ = 0) const override {
        const auto& members = Binding<R>::members();
        if (field < 0 || field >= static_cast<int>(members.size())) return int64_t{0};
        return std::visit(
            [this](auto m) -> storage::Scalar {
                const auto& v = rec_->*m;
                if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::string>)
                    return v;
                else
                    return static_cast<int64_t>(v);
            },
            members[field]);
    }

    void set(int field, const storage::Scalar& value, uint32_t /*element*/ = 0) override {
        const auto& members = Binding<R>::members();
        if (field < 0 || field >= static_cast<int>(members.size())) return;
        const storage::Scalar v = storage::normalise(decl().fields[field], value);
        std::visit(
            [this, &v](auto m) {
                auto& target = rec_->*m;
                using T = std::decay_t<decltype(target)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    if (const auto* s = std::get_if<std::string>(&v)) target = *s;
                } else if (const auto* i = std::get_if<int64_t>(&v)) {
                    target = static_cast<T>(*i);
                } else if (const auto* d = std::get_if<double>(&v)) {
                    target = static_cast<T>(static_cast<int64_t>(*d));
                }
            },
            members[field]);
    }

    void clear() override { *rec_ = R{}; }

  private:
    R own_;
    R* rec_;
};

using CatBuffer = RecordBinding<CatRecord>;
using PasBuffer = RecordBinding<PasRecord>;
using MasBuffer = RecordBinding<MasRecord>;
using GsdBuffer = RecordBinding<GsdRecord>;
using WrdBuffer = RecordBinding<WrdRecord>;
using EfBuffer = RecordBinding<EfRecord>;

}  // namespace corvix::vault
