// The About window ("About"): the product title and its version.
#pragma once

#include <QWidget>

namespace corvix::app {

inline constexpr const char* kProductTitle = "Halden Corvix";
inline constexpr const char* kVersionText = "1.03";

class AboutWindow : public QWidget {
  public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

}  // namespace corvix::app
