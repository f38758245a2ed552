// The program gives every list it shows its print and export commands; lists inside the
// libraries, which know nothing of the program's framework, hand themselves over here.
#pragma once

#include <functional>
#include <string>

class QAbstractItemView;

namespace corvix::runtime {

using ListDecorator = std::function<void(QAbstractItemView* list, const std::string& title)>;
void setListDecorator(ListDecorator decorator);
// Does nothing until the program installs a decorator.
void decorateList(QAbstractItemView* list, const std::string& title);

}  // namespace corvix::runtime
