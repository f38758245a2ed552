#include "libs/ferrule/state.h"

#include "libs/ferrule/ferrule.h"
#include "libs/ferrule/settings.h"

namespace corvix::ferrule {

State& state() {
    static State s;
    return s;
}

FileRef FileRef::of(storage::Table& t) {
    FileRef f;
    f.kind = DriverKind::Table;
    f.table = &t;
    f.decl = &t.decl();
    f.name = t.name();
    f.owner = t.owner();  // the one given to setOwner(), else the declaration's
    return f;
}

FileRef FileRef::of(storage::RawFile& r) {
    FileRef f;
    f.kind = DriverKind::Raw;
    f.raw = &r;
    f.name = r.name();
    return f;
}

const Driver* driverOfKind(DriverKind kind) {
    for (const auto& d : state().drivers)
        if (d.kind == kind) return &d;
    return nullptr;
}

const Driver* driverNamed(const std::string& name) {
    for (const auto& d : state().drivers)
        if (equalNoCase(d.name, clip(name))) return &d;
    return nullptr;
}

uintptr_t driverAddress(DriverKind kind) {
    static const char tableDriver = 0, rawDriver = 0;
    return reinterpret_cast<uintptr_t>(kind == DriverKind::Table ? &tableDriver : &rawDriver);
}

void resetForTests() {
    auto& s = state();
    if (s.upg2) s.upg2->close();
    s.upg2.reset();
    s = State();
    resetCommandLine();
}

}  // namespace corvix::ferrule
