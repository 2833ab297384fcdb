#pragma once
// What the user is told of an unattended run that did not end with status 0, and how often. A
// run that fails because its drive is in use or missing is tried again within the hour until it
// succeeds; the user hears of a failure once, not at every try: the failure told is kept in a
// small file per backup (its name, the status and the first problem), and a try that ends the
// same way stays silent, for a day. A different failure is news and is told at once; a complete
// run removes the file, so the next failure is told again. It does not deal with showing the
// notice (desktop_notifier.h) or with running the backup.

#include <QDateTime>
#include <QString>

namespace stowix {

struct RunFailure {
    QString backupName;    // the timer instance ("win98-games"), or "backup" for the plain unit
    QString drive;         // drive C: as configured (a folder or an image)
    int status = 0;        // the exit status of the run
    QString firstProblem;  // the first line the run wrote on standard error; may be empty
};

// The notice's summary and body.
QString NoticeSummary(const RunFailure& failure);
QString NoticeBody(const RunFailure& failure);
// The line for the journal.
QString JournalLine(const RunFailure& failure);

// The record of the failure last told, in folder (created when missing).
class FailureRecord {
public:
    FailureRecord(QString folder, const QString& backupName);

    // True unless this very failure was told less than a day before now.
    bool IsNews(const RunFailure& failure, const QDateTime& now) const;
    // Records the failure as told now; a record that cannot be written only means it is told
    // again at the next try.
    void Told(const RunFailure& failure, const QDateTime& now) const;
    // A complete run: the next failure is news.
    void Clear() const;

private:
    QString m_folder;
    QString m_path;
};

}  // namespace stowix
