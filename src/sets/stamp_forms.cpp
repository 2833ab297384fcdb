#include "sets/stamp_forms.h"

namespace stowix {

namespace {

// Splits a Qt date-time format into its unquoted pattern letters and quoted literals, drops
// the time-zone letters ('t') and tidies what they leave behind: blanks at either end, a doubled
// blank, empty brackets.
QString WithoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        result.append(c);
    }
    for (const char* empty : {"()", "( )", "[]", "[ ]"}) result.remove(QLatin1String(empty));
    while (result.contains(QLatin1String("  ")))
        result.replace(QLatin1String("  "), QLatin1String(" "));
    return result.trimmed();
}

bool HasUnquoted(const QString& format, QChar letter) {
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && c == letter)
            return true;
    }
    return false;
}

}  // namespace

QString TimeFormWithSeconds(const QLocale& locale) {
    const QString longForm = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    if (HasUnquoted(longForm, QLatin1Char('s'))) return longForm;
    // No locale is known to drop the seconds from its long form; should one, add them to the
    // short form after the minutes.
    QString shortForm = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype minutes = shortForm.indexOf(QLatin1String("mm"));
    if (minutes < 0) return shortForm + QStringLiteral(":ss");
    return shortForm.insert(minutes + 2, QStringLiteral(":ss"));
}

QString ShortDateForm(const QLocale& locale) { return locale.dateFormat(QLocale::ShortFormat); }

}  // namespace stowix
