#pragma once
// A set's record: the small text file STOWIX.SET inside the set's folder, which says whether the
// set is complete, when it was made and in which date and time forms its name was written, and
// where each of its files came from on the drive. It lies inside the folder, so it stays true
// when the drive is copied or the set renamed. A run writes it before its first copy, saying
// that the set is not complete, and writes it again as complete once every file is copied and
// on disk: a set whose run broke off says so. Sets made before the record existed have none.
//
// The file is INI text (Windows-1252, CR LF): a [Set] section with Format, Complete, Made,
// Locale, DateForm and TimeForm, and a [Files] section with one line per file of the set,
// "NAME=Place" or "NAME=Place\NAME ON THE DRIVE" when the set keeps the file under another
// name. Readers skip keys and sections they do not know, so a later version may add them; a
// Format above the one this version knows is read as far as its keys are known.
// It does not deal with copying files (backup/set_copy.h) or with judging a set (set_facts.h).

#include "fs/file_system.h"
#include "sets/backup_set_layout.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace stowix {

// The record's name inside the set's folder; no group of the layout takes it.
inline const QString SetRecordName = QStringLiteral("STOWIX.SET");

// The record's format as this version writes it.
constexpr int SetRecordFormat = 1;

// Where a file of the set came from.
struct FileOrigin {
    QString nameInSet;    // the name the file has in the set
    SetPlace place;       // the folder it was taken from
    QString nameOnDrive;  // its name there; the same as nameInSet but for a kept-apart twin
};

struct SetRecord {
    int format = SetRecordFormat;
    bool complete = false;
    QDateTime made;    // UTC: when the run that made the set began
    QString locale;    // the locale's name ("en_US") the set's name was written in
    QString dateForm;  // the short date form and the time form of the stamp (sets/stamp_forms.h)
    QString timeForm;
    std::vector<FileOrigin> files;

    // Where the set's file of this name came from, in any case; nothing when it is not listed.
    const FileOrigin* Origin(const QString& nameInSet) const;
};

// The name in a set of a Windows-folder file kept apart from the root's file of its name:
// "AUTOEXEC.BAT" becomes "AUTOEXEC.BAT.WIN", which no group of the layout matches.
QString TwinName(const QString& name);

// True when a restore group takes the set's file of this name from the set as it stands: always
// without a record and for the registry group; with one, when the file came from the group's
// place under this very name, or is not listed (a file added to the set by hand).
bool GroupTakes(const std::optional<SetRecord>& record, const SetGroup& group, const QString& name);

// The record of a set begun now, in the forms of the process's locale: not complete, no files.
SetRecord BegunSetRecord();

// The record's text lines, and the record a text gives (nothing when it is not a set record).
std::vector<QString> SetRecordLines(const SetRecord& record);
std::optional<SetRecord> ParseSetRecord(const QString& text);

// Writes setPath\STOWIX.SET, replacing it in one step.
Status WriteSetRecord(FileSystem& files, const QString& setPath, const SetRecord& record);

// The record of setPath: nothing (no failure) when the set has none, a failure when one is there
// but cannot be read or is not a record.
Result<std::optional<SetRecord>> ReadSetRecord(FileSystem& files, const QString& setPath);

}  // namespace stowix
