#include "runtime/collate.h"

#include <QString>
#include <algorithm>

namespace corvix::runtime {

int compareNoCase(std::string_view a, std::string_view b) {
    while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
    while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
    // Plain ASCII compares byte by byte; the first non-ASCII byte hands the rest to
    // Unicode case folding.
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80) {
            QString qa = QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()));
            QString qb = QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size()));
            int r = qa.compare(qb, Qt::CaseInsensitive);
            return r < 0 ? -1 : (r > 0 ? 1 : 0);
        }
        if (ca >= 'A' && ca <= 'Z') ca += 32;
        if (cb >= 'A' && cb <= 'Z') cb += 32;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    // The shorter one may still continue with non-ASCII text: that sorts after every
    // ASCII character in both paths, so length decides.
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace corvix::runtime
