// The storage's filter binding (platform/storage/filter_binding.h) with the program's
// own tables' bindings.
#pragma once

#include "platform/storage/filter_binding.h"

namespace corvix::framework {

class FilterBinding : public storage::FilterBinding {
  public:
    using storage::FilterBinding::FilterBinding;

    // The accounts (CVPAS). "CAT:Category", the category table's field that the
    // queries' field list offers, is the account's category: the two are related by it.
    static FilterBinding accounts();
};

}  // namespace corvix::framework
