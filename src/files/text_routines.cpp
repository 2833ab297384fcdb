#include "files/text_routines.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace stowix {

namespace {

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Only blanks count as padding; other white space belongs to the text.
QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ') ++first;
    while (last > first && text.at(last - 1) == u' ') --last;
    return text.mid(first, last - first);
}

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Ties go to the even neighbour, as the program's own number conversion rounds (2.5 -> 2).
double RoundHalfToEven(double value) {
    double floor = std::floor(value);
    double diff = value - floor;
    if (diff < 0.5) return floor;
    if (diff > 0.5) return floor + 1.0;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

}  // namespace

QString TrimText(int value) { return QString::number(value); }

QString TrimText(bool flag) { return flag ? QStringLiteral("True") : QStringLiteral("False"); }

QString TrimText(const QString& text) { return TrimBlanks(text); }

bool Contains(const QString& text, const QString& part) {
    return text.contains(part, Qt::CaseSensitive);
}

int KeepInRange(int value, int low, int high, int fallback) {
    return (low <= value && value <= high) ? value : fallback;
}

QString ReplaceInPlace(QString& text, const QString& search, const QString& replacement) {
    // An empty search text, or an overwrite that leaves the occurrence in place, would never
    // end; both are outside what callers pass, so the routine stops there instead of hanging.
    if (search.isEmpty()) return text;
    const qsizetype width = std::min(search.size(), replacement.size());
    // Overwrites that keep re-forming the search text elsewhere end after this many rounds.
    const qsizetype limit = (text.size() + 1) * (text.size() + 1);
    for (qsizetype round = 0; round < limit; ++round) {
        const qsizetype at = text.indexOf(search, 0, Qt::CaseSensitive);
        if (at < 0) break;
        const QString before = text.mid(at, width);
        text.replace(at, width, replacement.left(width));
        if (before == replacement.left(width)) break;
    }
    return text;
}

int LeadingNumber(const QString& text) {
    qsizetype at = 0;
    while (at < text.size() && IsBlank(text.at(at))) ++at;
    const qsizetype start = at;
    if (at < text.size() && (text.at(at) == u'+' || text.at(at) == u'-')) ++at;
    const qsizetype digitsStart = at;
    while (at < text.size() && IsDigit(text.at(at))) ++at;
    bool anyDigit = at > digitsStart;
    if (at < text.size() && text.at(at) == u'.') {
        const qsizetype fractionStart = ++at;
        while (at < text.size() && IsDigit(text.at(at))) ++at;
        anyDigit = anyDigit || at > fractionStart;
    }
    if (!anyDigit) return 0;

    bool ok = false;
    const double value = text.mid(start, at - start).toDouble(&ok);
    // A conversion that overflows gives an infinity, which saturates below like any large value.
    if ((!ok && !std::isinf(value)) || std::isnan(value)) return 0;
    const double rounded = RoundHalfToEven(value);
    // A hand-edited store may hold any number; it saturates rather than wraps.
    if (rounded >= double(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (rounded <= double(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return int(rounded);
}

}  // namespace stowix
