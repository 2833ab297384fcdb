#pragma once
// The system services, with or without a desktop. The previous-instance query takes a per-user lock
// file in the runtime folder and holds it for the program's life; a lock left by a copy that died
// is recovered, and a lock that cannot be made at all does not keep the user out. The date and time
// texts follow the default locale (the user's, unless the program set another), the time with
// seconds and without a time zone, as the backup set's name needs them.

#include "services/system.h"

#include <QLocale>
#include <QLockFile>
#include <QStringList>

#include <functional>
#include <memory>

namespace stowix {

class QtSystem : public System {
public:
    // The per-user lock file (DefaultLockFilePath).
    QtSystem();
    explicit QtSystem(QString lockFilePath);
    ~QtSystem() override;

    bool PreviousInstance() override;
    QString ProgramFolder() override;
    QString DateText() override;
    QString TimeText() override;
    void Beep() override;
    [[noreturn]] void EndNow(int exitStatus) override;
    // Starts the program afresh in this process with these arguments, as EndNow ends it (the
    // drives closed, the lock given up), so that it works on another drive as if started on it.
    // Ends with status 1 when the program cannot be started again.
    [[noreturn]] void StartAgain(const QStringList& arguments);
    // Runs before EndNow ends the process (which skips every destructor): what must be closed
    // cleanly, such as the drives.
    void BeforeEnd(std::function<void()> hook) { m_beforeEnd = std::move(hook); }
    // The desktop's bell, which only the window module can ring; without it a beep is silent.
    void SetBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    // stowix.lock in the user's runtime folder ($XDG_RUNTIME_DIR, else /run/user/<uid>), or a
    // per-user name in the temporary folder when the user has neither.
    static QString DefaultLockFilePath();
    // The lock of one drive (named as drive_records.h names it), beside the default one: a copy
    // at work on one machine's drive never stops a copy on another's. "stowix-<digest>.lock";
    // the default lock for an empty name.
    static QString DefaultLockFilePath(const QString& driveName);
    // The locale's long time form less its time-zone part; seconds are always in it.
    static QString TimeFormatWithSeconds(const QLocale& locale);

private:
    QString m_lockFilePath;
    std::unique_ptr<QLockFile> m_lock;  // held from the first query until the program ends
    std::function<void()> m_beforeEnd;
    std::function<void()> m_beep;
};

}  // namespace stowix
