// libcorvix_runtime_qt.so: the runtime's Qt Core services (runtime/qt_services.h).
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <QTextBoundaryFinder>
#include <QTime>
#include <QVarLengthArray>
#include <cstdio>

#include "runtime/date.h"  // kClockPerDay only: the plugin links no library of ours
#include "runtime/qt_services.h"

namespace corvix::runtime {
namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The UTF-16 of valid UTF-8 text that does not begin with a byte order mark, as
// QString::fromUtf8 makes it; false for anything else, which Qt decodes itself.
bool toUtf16(std::string_view text, QVarLengthArray<char16_t, 128>& out) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") return false;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            out.append(c);
            ++i;
            continue;
        }
        size_t length;
        char32_t cp;
        if ((c & 0xE0) == 0xC0)
            length = 2, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0)
            length = 3, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0)
            length = 4, cp = c & 0x07;
        else
            return false;
        if (i + length > n) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (p[i + k] & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            out.append(QChar::highSurrogate(cp));
            out.append(QChar::lowSurrogate(cp));
        } else {
            out.append(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return true;
}

// Key comparisons run by the million while keys are built: valid texts are decoded on
// the stack instead of into two new strings each time.
int compareNoCase(std::string_view a, std::string_view b) {
    QVarLengthArray<char16_t, 128> ua, ub;
    const int r = toUtf16(a, ua) && toUtf16(b, ub)
                      ? QStringView(ua.constData(), ua.size())
                            .compare(QStringView(ub.constData(), ub.size()), Qt::CaseInsensitive)
                      : fromUtf8(a).compare(fromUtf8(b), Qt::CaseInsensitive);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

size_t graphemePrefixBytes(std::string_view text, size_t chars) {
    const QString q = fromUtf8(text);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, q);
    qsizetype fits = 0, at = 0;
    size_t seen = 0;
    for (qsizetype next = finder.toNextBoundary(); next > 0; next = finder.toNextBoundary()) {
        for (; at < next; ++at)
            if (!q.at(at).isLowSurrogate()) ++seen;
        if (seen > chars) break;
        fits = next;
    }
    return static_cast<size_t>(QStringView(q).left(fits).toUtf8().size());
}

char32_t upperChar(char32_t c) {
    return QChar::toUpper(c);
}

std::string upper(std::string_view utf8) {
    return fromUtf8(utf8).toUpper().toStdString();
}

std::string lower(std::string_view utf8) {
    return fromUtf8(utf8).toLower().toStdString();
}

std::string formatDate(CalendarDay day, int code) {
    const QDate d(day.year, day.month, day.day);
    if (!d.isValid()) return "";
    if (code == 17) return QLocale::system().toString(d, QLocale::ShortFormat).toStdString();
    return d.toString("dd/MM/yyyy").toStdString();
}

std::optional<CalendarDay> deformatDate(std::string_view text, int code) {
    const QString t = fromUtf8(text).trimmed();
    if (t.isEmpty()) return CalendarDay{};
    QDate d;
    if (code == 17) {
        QLocale loc = QLocale::system();
        d = loc.toDate(t, QLocale::ShortFormat);
        if (!d.isValid())
            d = loc.toDate(t, loc.dateFormat(QLocale::ShortFormat).replace("yy", "yyyy"));
        // A two-digit year under a four-digit format is read in the century the locale's
        // short format implies (1900s); bring it into the present century.
        if (d.isValid() && d.year() < 1950 && !t.contains(QString::number(d.year())))
            d = d.addYears(100);
    }
    if (!d.isValid()) d = QDate::fromString(t, "dd/MM/yyyy");
    if (!d.isValid()) d = QDate::fromString(t, "d/M/yyyy");
    if (!d.isValid()) d = QDate::fromString(t, Qt::ISODate);
    if (!d.isValid() || d.year() == 0) return std::nullopt;
    return CalendarDay{d.year(), d.month(), d.day()};
}

std::string formatTime(int32_t clock, int code) {
    if (clock < 0 || clock >= kClockPerDay) return "";
    const QTime t = QTime(0, 0).addMSecs(clock * 10);
    if (!t.isValid()) return "";
    switch (code) {
        case 3: {
            int h = t.hour() % 12;
            if (h == 0) h = 12;
            char buf[16];
            std::snprintf(buf, sizeof buf, "%d:%02d%s", h, t.minute(), t.hour() < 12 ? "AM" : "PM");
            return buf;
        }
        case 4:
            return t.toString("HH:mm:ss").toStdString();
        case 7:
            return QLocale::system().toString(t, QLocale::ShortFormat).toStdString();
        default:
            return t.toString("HH:mm").toStdString();
    }
}

std::optional<int32_t> deformatTime(std::string_view text, int code) {
    const QString s = fromUtf8(text).trimmed();
    if (s.isEmpty()) return 0;
    QTime t;
    if (code == 3) {
        QString u = s.toUpper().remove(' ');
        bool pm = u.endsWith("PM"), am = u.endsWith("AM");
        if (pm || am) {
            u.chop(2);
            t = QTime::fromString(u, "h:mm");
            if (t.isValid()) t = QTime(t.hour() % 12 + (pm ? 12 : 0), t.minute());
        }
    } else if (code == 7) {
        t = QLocale::system().toTime(s, QLocale::ShortFormat);
    }
    if (!t.isValid()) t = QTime::fromString(s, "H:mm:ss");
    if (!t.isValid()) t = QTime::fromString(s, "H:mm");
    if (!t.isValid()) return std::nullopt;
    return t.msecsSinceStartOfDay() / 10;
}

const QtServices kServices{compareNoCase, graphemePrefixBytes, upperChar,    upper,       lower,
                           formatDate,    formatTime,          deformatDate, deformatTime};

}  // namespace
}  // namespace corvix::runtime

extern "C" __attribute__((visibility("default"))) const corvix::runtime::QtServices*
corvix_runtime_qt_services() {
    return &corvix::runtime::kServices;
}
