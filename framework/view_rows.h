// Every record of a browse view in the view's order and filter, one at a time, read a
// page at a time: what printing and exporting a list walk through without holding it.
#pragma once

#include <string>

#include "framework/browse_view.h"

namespace corvix::framework {

class ViewRows {
  public:
    // view: open, with its order and filter set; it is moved through from the top.
    explicit ViewRows(BrowseView& view, int pageSize = 250);
    // The next record; nullptr at the end or on an error().
    const storage::Record* next();
    int error() const { return error_; }

  private:
    BrowseView& view_;
    std::string last_;  // position of the record handed out last
    size_t at_ = 0;
    bool started_ = false;
    bool ended_ = false;
    int error_ = 0;
};

}  // namespace corvix::framework
