#include "vault/tables.h"

namespace corvix::vault {

using storage::FieldDecl;
using storage::FieldType;
using storage::KeyDecl;
using storage::TableDecl;

namespace {

FieldDecl str(const char* name, uint32_t size, std::string picture = {}) {
    if (picture.empty()) picture = "@s" + std::to_string(size);
    return FieldDecl{name, FieldType::String, size, {}, std::move(picture)};
}
FieldDecl num(const char* name, FieldType type, const char* picture) {
    return FieldDecl{name, type, 0, {}, picture};
}
FieldDecl lng(const char* name, const char* picture = "@n-14") {
    return num(name, FieldType::Long, picture);
}
FieldDecl byt(const char* name, const char* picture = "@n3") {
    return num(name, FieldType::Byte, picture);
}

constexpr uint32_t kPrimary = storage::kKeyPrimary | storage::kKeyUnique;
constexpr uint32_t kUnique = storage::kKeyUnique;
constexpr uint32_t kOptional = storage::kKeyOptional;
constexpr uint32_t kAuto = storage::kKeyAutoNumber;
constexpr uint32_t kDup = 0;

KeyDecl key(const char* name, const char* description, std::vector<int> components,
            uint32_t flags) {
    return KeyDecl{name, description, std::move(components), flags | storage::kKeyNoCase};
}

TableDecl table(const char* label, const char* prefix, const char* name, std::string owner) {
    TableDecl d;
    d.label = label;
    d.prefix = prefix;
    d.name = name;
    d.owner = std::move(owner);
    return d;
}

TableDecl makeCVCAT() {
    TableDecl d = table("CVCAT", "CAT", "Corvix\\!Category", BuildVaultKey());
    d.fields = {str("CAT:Category", 30)};
    d.keys = {key("CAT:K_Category", "Category", {cat::Category}, kPrimary | kOptional)};
    return d;
}

// The account fields, shared by the vault table and its export file.
std::vector<FieldDecl> accountFields(const std::string& p) {
    auto n = [&p](const char* bare) { return p + ":" + bare; };
    return {
        lng(n("PAS_ID").c_str()),
        str(n("Category").c_str(), 30),
        str(n("Description").c_str(), 60),
        str(n("Name").c_str(), 128),
        str(n("Password").c_str(), 128),
        str(n("URL").c_str(), 255),
        str(n("Custom1").c_str(), 128),
        str(n("Custom2").c_str(), 128),
        str(n("Custom3").c_str(), 128),
        num(n("LastChange").c_str(), FieldType::Date, "@d17"),
        num(n("Expires").c_str(), FieldType::Date, "@d17b"),
        lng(n("ExpiryInterval").c_str(), "@n_3b"),
        str(n("TargetWindow").c_str(), 128),
        str(n("TargetWindowText").c_str(), 60),
        str(n("Action").c_str(), 255),
        byt(n("Watch").c_str(), "@n1"),
        byt(n("Wait").c_str(), "@n2"),
        str(n("Notes").c_str(), 4096, "@s255"),
    };
}

TableDecl makeCVPAS() {
    TableDecl d = table("CVPAS", "PAS", "Corvix\\!Passwords", BuildVaultKey());
    d.fields = accountFields("PAS");
    d.keys = {
        key("PAS:K_PAS_ID", "System ID", {pas::PAS_ID}, kPrimary | kOptional | kAuto),
        key("PAS:K_Category", "Category", {pas::Category, pas::Description}, kDup),
        key("PAS:K_Description", "Description", {pas::Description}, kDup),
        key("PAS:K_Name", "Name", {pas::Name}, kDup),
        key("PAS:K_URL", "URL", {pas::URL}, kDup),
        key("PAS:K_LastChangeDate", "Last Changed", {pas::LastChange}, kDup | kOptional),
        key("PAS:K_Expiry", "Expiry", {pas::Expires}, kDup),
        key("PAS:K_Watch", "Watched accounts only", {pas::Watch}, kDup | kOptional),
    };
    return d;
}

TableDecl makeCVMAS() {
    TableDecl d = table("CVMAS", "MAS", "Corvix\\!Master", BuildVaultKey());
    d.fields = {
        lng("MAS:MAS_ID"),
        lng("MAS:GSD_ID"),
        str("MAS:Password", 128),
        str("MAS:EncPassword", 128),
        str("MAS:Path", 255),
        byt("MAS:RevealPasswords"),
        byt("MAS:MonitorInactivity"),
        lng("MAS:InactivityTimeout", "@n4"),
        byt("MAS:UseMasterPasswordImage"),
        byt("MAS:PlaySounds"),
        str("MAS:Sound:Click", 255),
        str("MAS:Sound:Send", 255),
        str("MAS:Sound:Other", 20),
        str("MAS:Custom1", 20),
        str("MAS:Custom2", 20),
        str("MAS:Custom3", 20),
        lng("MAS:InstallDate"),
    };
    d.keys = {
        key("MAS:K_Path", "Path", {mas::Path}, kDup),
        key("MAS:K_MAS_ID", "Primary ID", {mas::MAS_ID}, kPrimary | kOptional),
        key("MAS:K_GSD_ID", "Link to scheme", {mas::GSD_ID}, kDup | kOptional),
    };
    return d;
}

// The theme fields, shared by the vault table and its export file.
std::vector<FieldDecl> themeFields(const std::string& p) {
    auto n = [&p](const char* bare) { return p + ":" + bare; };
    return {
        lng(n("GSD_ID").c_str()),          str(n("Description").c_str(), 40),
        byt(n("Columns").c_str(), "@n1"),  byt(n("Rows").c_str(), "@n1"),
        str(n("Image").c_str(), 255),      str(n("Basis").c_str(), 8),
        str(n("Style").c_str(), 20),       byt(n("ShowGrid").c_str(), "@n1"),
        byt(n("ShowHint").c_str(), "@n1"), num(n("GridColor").c_str(), FieldType::ULong, "@n13"),
        str(n("Password").c_str(), 128),
    };
}

TableDecl makeCVGSD() {
    TableDecl d = table("CVGSD", "GSD", "Corvix\\!Schemes", BuildVaultKey());
    d.fields = themeFields("GSD");
    d.keys = {
        key("GSD:K_GSD_ID", "System ID", {gsd::GSD_ID}, kPrimary | kOptional | kAuto),
        key("GSD:K_Description", "Scheme description", {gsd::Description}, kUnique | kOptional),
    };
    return d;
}

TableDecl makeCVWRD() {
    TableDecl d = table("CVWRD", "WRD", "CVWRD", WordDatabaseOwner());
    d.fields = {lng("WRD:WRD_ID"), str("WRD:Word", 20)};
    d.keys = {
        key("WRD:K_ID", "ID", {wrd::WRD_ID}, kPrimary | kOptional | kAuto),
        key("WRD:K_Word", "Word", {wrd::Word}, kUnique | kOptional),
    };
    return d;
}

TableDecl makeCVEF() {
    TableDecl d = table("CVEF", "EF", "CVEF", BuildVaultKey());
    d.fields = {
        byt("EF:ID"),
        str("EF:Password", 128),
        str("EF:Description", 80),
        str("EF:OriginalFileName", 255),
    };
    d.keys = {
        key("EF:K_ID", "ID", {ef::ID}, kPrimary | kOptional | kAuto),
        key("EF:K_FileName", "Filename", {ef::OriginalFileName}, kDup | kOptional),
        key("EF:K_Description", "Description", {ef::Description}, kDup | kOptional),
    };
    d.blobs = {storage::BlobDecl{"EF:Binary", false, 0}};
    d.pageSize = storage::kLargePageSize;  // a container is one large BLOB
    return d;
}

FieldDecl sht(const char* name) {
    return num(name, FieldType::Short, "@n-7");
}

TableDecl makeTagSet() {
    TableDecl d = table("TagSet_", "TS_", "TAGSET_", "");
    d.fields = {sht("TS_:Tbl"),  lng("TS_:Usr"),   str("TS_:Source", 50),
                lng("TS_:Date"), lng("TS_:Count"), str("TS_:Description", 250)};
    d.keys = {
        key("TS_:TblKey", "TblKey", {0}, kPrimary),
        key("TS_:UsrTblKey", "UsrTblKey", {1, 0}, kDup | kOptional),
        key("TS_:UsrSourceDateKey", "UsrSourceDateKey", {1, 2, 3}, kDup | kOptional),
    };
    return d;
}

TableDecl makeTagFile() {
    TableDecl d = table("TagFile_", "TF_", "TAGFILE_", "");
    d.fields = {lng("TF_:Usr"), sht("TF_:Tbl"), lng("TF_:Ptr"), str("TF_:Val", 10)};
    d.keys = {
        key("TF_:PtrKey", "PtrKey", {0, 1, 2}, kPrimary | kOptional),
        key("TF_:ValKey", "ValKey", {0, 1, 3}, kDup | kOptional),
    };
    return d;
}

TableDecl makeTagFilePos() {
    TableDecl d = table("TagFilePos_", "TP_", "TAGFILEP", "");
    d.fields = {lng("TP_:Usr"), sht("TP_:Tbl"), str("TP_:Pos", 256), str("TP_:Val", 10)};
    d.keys = {
        key("TP_:PosKey", "PosKey", {0, 1, 2}, kPrimary | kOptional),
        key("TP_:ValKey", "ValKey", {0, 1, 3}, kDup | kOptional),
    };
    return d;
}

TableDecl makeExPAS() {
    TableDecl d = table("ExPAS", "EXPAS", "ExPas.BAS", "");
    d.fields = accountFields("EXPAS");
    return d;
}

TableDecl makeExGSD() {
    TableDecl d = table("ExGSD", "EXGSD", "ExGSD.BAS", "");
    d.fields = themeFields("EXGSD");
    return d;
}

}  // namespace

const TableDecl& CVCAT() {
    static const TableDecl d = makeCVCAT();
    return d;
}
const TableDecl& CVPAS() {
    static const TableDecl d = makeCVPAS();
    return d;
}
const TableDecl& CVMAS() {
    static const TableDecl d = makeCVMAS();
    return d;
}
const TableDecl& CVGSD() {
    static const TableDecl d = makeCVGSD();
    return d;
}
const TableDecl& CVWRD() {
    static const TableDecl d = makeCVWRD();
    return d;
}
const TableDecl& CVEF() {
    static const TableDecl d = makeCVEF();
    return d;
}
const TableDecl& TagSet_() {
    static const TableDecl d = makeTagSet();
    return d;
}
const TableDecl& TagFile_() {
    static const TableDecl d = makeTagFile();
    return d;
}
const TableDecl& TagFilePos_() {
    static const TableDecl d = makeTagFilePos();
    return d;
}
const TableDecl& ExPAS() {
    static const TableDecl d = makeExPAS();
    return d;
}
const TableDecl& ExGSD() {
    static const TableDecl d = makeExGSD();
    return d;
}

bool usesVaultKey(const TableDecl& decl) {
    return &decl == &CVCAT() || &decl == &CVPAS() || &decl == &CVMAS() || &decl == &CVGSD() ||
           &decl == &CVEF() || decl.label == "CVCAT" || decl.label == "CVPAS" ||
           decl.label == "CVMAS" || decl.label == "CVGSD" || decl.label == "CVEF";
}

const std::vector<TableRegistration>& tableRegistrations() {
    static const std::vector<TableRegistration> list = {
        {&CVCAT(), "CAT", "CVCAT", 2},
        {&CVEF(), "EF", "CVEF", 3},
        {&CVGSD(), "GSD", "CVGSD", 3},
        {&CVMAS(), "MAS", "CVMAS", 6},
        {&CVPAS(), "PAS", "CVPAS", 2},
        {&CVWRD(), "WRD", "CVWRD", 0},
        {&TagFilePos_(), "TP_", "TagFilePos_", 0},
        {&TagFile_(), "TF_", "TagFile_", 0},
        {&TagSet_(), "TS_", "TagSet_", 0},
    };
    return list;
}

int structureVersion(const TableDecl& decl) {
    for (const auto& r : tableRegistrations())
        if (r.decl == &decl || decl.label == r.label) return r.version;
    return -1;
}

// ---- bindings ----

template <class R>
using M = Member<R>;

const TableDecl& Binding<CatRecord>::decl() {
    return CVCAT();
}
const std::vector<M<CatRecord>>& Binding<CatRecord>::members() {
    static const std::vector<M<CatRecord>> m = {&CatRecord::Category};
    return m;
}

const TableDecl& Binding<PasRecord>::decl() {
    return CVPAS();
}
const std::vector<M<PasRecord>>& Binding<PasRecord>::members() {
    using P = PasRecord;
    static const std::vector<M<P>> m = {
        &P::PAS_ID,       &P::Category,
        &P::Description,  &P::Name,
        &P::Password,     &P::URL,
        &P::Custom1,      &P::Custom2,
        &P::Custom3,      &P::LastChange,
        &P::Expires,      &P::ExpiryInterval,
        &P::TargetWindow, &P::TargetWindowText,
        &P::Action,       &P::Watch,
        &P::Wait,         &P::Notes,
    };
    return m;
}

const TableDecl& Binding<MasRecord>::decl() {
    return CVMAS();
}
const std::vector<M<MasRecord>>& Binding<MasRecord>::members() {
    using R = MasRecord;
    static const std::vector<M<R>> m = {
        &R::MAS_ID,
        &R::GSD_ID,
        &R::Password,
        &R::EncPassword,
        &R::Path,
        &R::RevealPasswords,
        &R::MonitorInactivity,
        &R::InactivityTimeout,
        &R::UseMasterPasswordImage,
        &R::PlaySounds,
        &R::Sound_Click,
        &R::Sound_Send,
        &R::Sound_Other,
        &R::Custom1,
        &R::Custom2,
        &R::Custom3,
        &R::InstallDate,
    };
    return m;
}

const TableDecl& Binding<GsdRecord>::decl() {
    return CVGSD();
}
const std::vector<M<GsdRecord>>& Binding<GsdRecord>::members() {
    using R = GsdRecord;
    static const std::vector<M<R>> m = {
        &R::GSD_ID, &R::Description, &R::Columns,  &R::Rows,      &R::Image,    &R::Basis,
        &R::Style,  &R::ShowGrid,    &R::ShowHint, &R::GridColor, &R::Password,
    };
    return m;
}

const TableDecl& Binding<WrdRecord>::decl() {
    return CVWRD();
}
const std::vector<M<WrdRecord>>& Binding<WrdRecord>::members() {
    static const std::vector<M<WrdRecord>> m = {&WrdRecord::WRD_ID, &WrdRecord::Word};
    return m;
}

const TableDecl& Binding<EfRecord>::decl() {
    return CVEF();
}
const std::vector<M<EfRecord>>& Binding<EfRecord>::members() {
    using R = EfRecord;
    static const std::vector<M<R>> m = {&R::ID, &R::Password, &R::Description,
                                        &R::OriginalFileName};
    return m;
}

}  // namespace corvix::vault
