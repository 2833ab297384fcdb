#include "prune/set_time.h"

#include <QRegularExpression>

namespace stowix {

namespace {

// A stamp writes '/' as '-' and ':' as ';' (Windows cannot hold them in a name). In a date or
// time form both are literal characters, so the form is rewritten in the same way and then reads
// the stamp as it stands; rewriting the stamp back could not tell a '-' of the form from one
// that stood for '/'.
QString StampForm(const QString& form) {
    QString result = form;
    result.replace(u'/', u'-');
    result.replace(u':', u';');
    return result;
}

// The date form with its day and month letters swapped, or empty when the month is written as
// a name (which cannot be read as a day).
QString SwappedDayAndMonth(const QString& form) {
    if (form.contains(QStringLiteral("MMM"))) return QString();
    QString swapped = form;
    bool quoted = false;
    for (QChar& c : swapped) {
        if (c == u'\'') quoted = !quoted;
        if (quoted) continue;
        if (c == u'd')
            c = u'M';
        else if (c == u'M')
            c = u'd';
    }
    return swapped;
}

bool HasFourDigitYear(const QString& form) { return form.contains(QStringLiteral("yyyy")); }

// "(N)" at the end of a name, as a backup in the same second ends its set's stamp.
const QRegularExpression& SameSecondSuffix() {
    static const QRegularExpression suffix(QStringLiteral("\\(([2-9]|[1-9][0-9]+)\\)$"));
    return suffix;
}

}  // namespace

SetNameReader::SetNameReader(QLocale locale, const QString& dateForm, const QString& timeForm,
                             QDate today)
    : m_locale(std::move(locale)),
      m_stampForm(StampForm(dateForm) + u' ' + StampForm(timeForm)),
      m_swappedForm(SwappedDayAndMonth(dateForm).isEmpty()
                        ? QString()
                        : StampForm(SwappedDayAndMonth(dateForm)) + u' ' + StampForm(timeForm)),
      m_twoDigitYear(!HasFourDigitYear(dateForm) && dateForm.contains(QStringLiteral("yy"))),
      m_today(today) {}

std::optional<QDateTime> SetNameReader::ReadStamp(const QString& text) const {
    QDateTime made = m_locale.toDateTime(text, m_stampForm);
    if (!made.isValid()) return std::nullopt;
    if (m_twoDigitYear) {
        // Qt reads "99" as 1999 and "26" as 1926: a set is never made after today, so its year
        // is the latest of those a century apart that is not after today.
        while (made.date().addYears(100) <= m_today) made = made.addYears(100);
    }
    return made;
}

SetName SetNameReader::Read(const QString& folderName) const {
    QString stamp = folderName;
    int sameSecond = 1;
    if (const QRegularExpressionMatch suffix = SameSecondSuffix().match(stamp); suffix.hasMatch()) {
        sameSecond = suffix.captured(1).toInt();
        stamp.chop(suffix.capturedLength());
    }
    if (const std::optional<QDateTime> made = ReadStamp(stamp))
        return {SetNameKind::StampAlone, *made, sameSecond};
    // A comment begins with a blank; the stamp may hold blanks of its own ("3;45;12 PM"), so
    // each blank is tried as the comment's start.
    for (qsizetype blank = folderName.indexOf(u' '); blank > 0;
         blank = folderName.indexOf(u' ', blank + 1)) {
        const QString head = folderName.left(blank);
        const QRegularExpressionMatch suffix = SameSecondSuffix().match(head);
        const QString headStamp = suffix.hasMatch() ? head.chopped(suffix.capturedLength()) : head;
        if (const std::optional<QDateTime> made = ReadStamp(headStamp))
            return {SetNameKind::Commented, *made,
                    suffix.hasMatch() ? suffix.captured(1).toInt() : 1};
    }
    return {};
}

bool SetNameReader::DayAndMonthSwap(const QString& folderName) const {
    const SetName read = Read(folderName);
    if (read.kind == SetNameKind::Unreadable || m_swappedForm.isEmpty()) return false;
    const QString stamp = m_locale.toString(read.made, m_stampForm);
    const QDateTime swapped = m_locale.toDateTime(stamp, m_swappedForm);
    return swapped.isValid() && swapped.date().month() != read.made.date().month();
}

}  // namespace stowix
