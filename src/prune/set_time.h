#pragma once
// What a backup set's folder name tells of it. A backup names its set "<stamp><comment>": the
// stamp is the date in the user's short date form and the time with seconds, '/' written as '-'
// and ':' as ';' (backup/backup_set_layout.h); a comment, when there is one, begins with a blank;
// a second set in the same second gets "(2)", "(3)", ... straight after the stamp.
//
// The time of a set is read from its stamp, with the date and time forms of the user's locale,
// the forms the backup wrote it in. The stamp is the moment the backup began, and it is the one
// time that nothing changes later: a folder's own times move when a file is added to it or it
// is copied, and a FAT image keeps no time zone. A name that these forms cannot read (a set made
// under another locale, a folder the user named) has no known time.

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

namespace stowix {

enum class SetNameKind {
    StampAlone,  // a stamp, or a stamp and "(N)": a set the unattended backup made
    Commented,   // a stamp and a comment: the user's own milestone
    Unreadable,  // no stamp that the locale's forms can read
};

struct SetName {
    SetNameKind kind = SetNameKind::Unreadable;
    QDateTime made;      // local time; valid unless kind is Unreadable
    int sameSecond = 1;  // N of "(N)", 1 without it: orders sets made in the same second
};

// The forms a stamp is written in, and the day that two-digit years are read against.
class SetNameReader {
public:
    // dateForm and timeForm as the backup takes them from the locale (QtSystem's DateText and
    // TimeText); today bounds a two-digit year: it is read as the latest year not after today.
    SetNameReader(QLocale locale, const QString& dateForm, const QString& timeForm, QDate today);

    SetName Read(const QString& folderName) const;

    // True when the name's stamp reads as another date too with its day and month swapped
    // ("02-03-2026" as 2 March and as 3 February): a name with nothing else to tell which
    // locale wrote it does not say when its set was made.
    bool DayAndMonthSwap(const QString& folderName) const;

private:
    std::optional<QDateTime> ReadStamp(const QString& text) const;

    QLocale m_locale;
    QString m_stampForm;    // the date and time forms as a stamp writes them
    QString m_swappedForm;  // the same with day and month swapped; empty when they have names
    bool m_twoDigitYear = false;
    QDate m_today;
};

}  // namespace stowix
