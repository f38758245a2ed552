#include "runtime/list_decorator.h"

namespace corvix::runtime {

namespace {
ListDecorator& current() {
    static ListDecorator d;
    return d;
}
}  // namespace

void setListDecorator(ListDecorator decorator) {
    current() = std::move(decorator);
}

void decorateList(QAbstractItemView* list, const std::string& title) {
    if (current()) current()(list, title);
}

}  // namespace corvix::runtime
