// The program's own icon set, drawn rather than shipped so that every size stays sharp
// and all icons share one style. Icons are looked up by the file-style names the menus
// use ("restore.ico", "_KEYS.ICO"), without regard to letter case.
#pragma once

#include <QIcon>
#include <QString>

namespace corvix::app {

QIcon namedIcon(const QString& name);  // a blank icon for an unknown name

}  // namespace corvix::app
