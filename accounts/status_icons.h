// The four status icons of the accounts list, drawn in code: 1 glasses (watched),
// 2 green, 3 red (expired), 4 yellow (expires within a week).
#pragma once

#include <QIcon>

namespace corvix::accounts {
QIcon statusIconImage(int icon);
}
