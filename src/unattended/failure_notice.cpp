#include "unattended/failure_notice.h"

#include "files/escaped_text.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace stowix {

namespace {

constexpr qint64 SilentSeconds = 24 * 60 * 60 - 15 * 60;  // a day, less a retry's slack

// The failure as the record holds it: what makes two failures the same.
QByteArray RecordText(const RunFailure& failure) {
    return (failure.drive + u'\n' + QString::number(failure.status) + u'\n' + failure.firstProblem +
            u'\n')
        .toUtf8();
}

QString StatusMeaning(int status) {
    switch (status) {
    case 2: return QStringLiteral("no drive C:, or it is in use or missing; nothing done");
    case 3: return QStringLiteral("incomplete");
    case 4: return QStringLiteral("a registry file of the new set is damaged");
    case 5: return QStringLiteral("another copy of Stowix was running; nothing done");
    default: return QStringLiteral("failed");
    }
}

}  // namespace

QString NoticeSummary(const RunFailure& failure) {
    return QStringLiteral("Stowix backup \"") + failure.backupName + QStringLiteral("\" failed");
}

QString NoticeBody(const RunFailure& failure) {
    QString body = QStringLiteral("Drive C: ") + failure.drive + QStringLiteral("\nStatus ") +
                   QString::number(failure.status) + QStringLiteral(": ") +
                   StatusMeaning(failure.status);
    if (!failure.firstProblem.isEmpty()) body += u'\n' + failure.firstProblem;
    return body;
}

QString JournalLine(const RunFailure& failure) {
    QString line = QStringLiteral("the backup \"") + failure.backupName +
                   QStringLiteral("\" of drive C: ") + failure.drive +
                   QStringLiteral(" ended with status ") + QString::number(failure.status) +
                   QStringLiteral(" (") + StatusMeaning(failure.status) + u')';
    if (!failure.firstProblem.isEmpty()) line += QStringLiteral(": ") + failure.firstProblem;
    // One line, whatever the name or the drive's path holds (a newline would forge a second).
    return EscapedText(line);
}

FailureRecord::FailureRecord(QString folder, const QString& backupName)
    : m_folder(std::move(folder)),
      m_path(m_folder + u'/' + backupName + QStringLiteral(".failed")) {}

bool FailureRecord::IsNews(const RunFailure& failure, const QDateTime& now) const {
    QFile record(m_path);
    if (!record.open(QIODevice::ReadOnly)) return true;
    if (record.readAll() != RecordText(failure)) return true;
    const QDateTime told = record.fileTime(QFileDevice::FileModificationTime);
    return !told.isValid() || told.secsTo(now) >= SilentSeconds || told > now;
}

void FailureRecord::Told(const RunFailure& failure, const QDateTime& now) const {
    QDir().mkpath(m_folder);
    QSaveFile record(m_path);
    if (!record.open(QIODevice::WriteOnly)) return;
    record.write(RecordText(failure));
    if (!record.commit()) return;
    QFile written(m_path);
    if (written.open(QIODevice::ReadWrite))
        written.setFileTime(now, QFileDevice::FileModificationTime);
}

void FailureRecord::Clear() const { QFile::remove(m_path); }

}  // namespace stowix
