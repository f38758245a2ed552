#include "framework/filter_binding.h"

#include "vault/tables.h"

namespace corvix::framework {

FilterBinding FilterBinding::accounts() {
    FilterBinding b(vault::CVPAS());
    b.addAlias("CAT:Category", "PAS:Category");
    return b;
}

}  // namespace corvix::framework
