#pragma once
// The forms a set's stamp is written in: the locale's short date form and its time form with
// seconds and without a time zone, as the date and time texts give them. The backup's stamp
// and the set's record use the same forms, so that a later reader of the name can read it the
// way it was written.

#include <QLocale>
#include <QString>

namespace stowix {

// The locale's long time form without its time-zone letters, or its short form with seconds
// added after the minutes when the long form has none.
QString TimeFormWithSeconds(const QLocale& locale);

// The locale's short date form.
QString ShortDateForm(const QLocale& locale);

}  // namespace stowix
