#include "backup/backup_run.h"

#include "backup/backup_registry_check.h"

namespace stowix {

BackupRun::BackupRun(MainWindow& window, Services services, const ProgramValues& values)
    : m_window(window), m_services(services), m_values(values) {}

void BackupRun::Run() {
    Announce();
    BackupJob job{m_services.files, m_services.settings, m_services.system, m_values, m_window};
    // The comment the set is named by; a set that misses files keeps it pending.
    const QString comment = m_window.PendingComment;
    const BackupOutcome outcome = MakeBackup(job, comment, [this] { EndMedia(); });
    if (outcome.status == BackupStatus::NoRoom) return RefuseForRoom(outcome);
    ShowIdle(outcome);
    Conclude(outcome, comment);
}

void BackupRun::Announce() {
    Form1Controls& controls = m_window.Controls();

    m_window.SetBusyPointer(13);
    SetControlsEnabled(false);
    m_window.SetStatusText(QStringLiteral("Now backing up ... Please wait"));
    m_window.StepProgress(true, false);
    controls.Animation1().Play();
    // The opening sound plays on while the files are copied.
    m_window.PlaySound(m_services.system.ProgramFolder() + QStringLiteral("\\Stowix1.Wav"), false);
    m_window.Repaint();
}

void BackupRun::RefuseForRoom(const BackupOutcome& outcome) {
    // The opening sound and the animation end without the closing sound, which marks copying
    // that never began here. The comment stays for the next backup.
    Form1Controls& controls = m_window.Controls();
    controls.MMControl1().Command(QStringLiteral("Close"));
    controls.Animation1().Stop();
    SetControlsEnabled(true);
    m_window.SetStatusText(QStringLiteral("Backup not made: drive C: is too full"));
    m_window.SetBusyPointer(0);
    m_services.dialogs.MessageBox(NoRoomText(outcome), MessageButtons::Ok, MessageIcon::Information,
                                  NoRoomTitle);
    // Under "/U" the box goes to standard error, and the status tells cron or the timer.
    if (Unattended()) m_window.EndProgram(IncompleteStatus);
}

void BackupRun::EndMedia() {
    // The closing sound marks the end of the copying, whatever its outcome; the outcome itself
    // is told by the status text and, when something is missing, the report.
    Form1Controls& controls = m_window.Controls();
    const QString programFolder = m_services.system.ProgramFolder();
    m_window.PlaySound(programFolder + QStringLiteral("\\Stowix2.Wav"), true);
    controls.MMControl1().Command(QStringLiteral("Close"));
    controls.Animation1().Stop();
}

void BackupRun::ShowIdle(const BackupOutcome& outcome) {
    m_window.Beep();
    SetControlsEnabled(true);
    m_window.StepProgress(false, true);
    // A set that misses files keeps its comment pending, so that the user's next try is named
    // by it too. A complete set has used the comment up, recorded or not.
    if (outcome.status != BackupStatus::FilesMissing) m_window.PendingComment.clear();
    m_window.SetStatusText(StatusText(outcome));
    m_window.SetBusyPointer(0);
}

QString BackupRun::StatusText(const BackupOutcome& outcome) const {
    switch (outcome.status) {
    case BackupStatus::Complete:
        return QStringLiteral("Ready [") + m_values.WindowsFolder + QStringLiteral("]");
    case BackupStatus::FilesMissing:
        return QStringLiteral("Backup incomplete [") + outcome.setPath + QStringLiteral("]");
    case BackupStatus::NotRecorded:
        return QStringLiteral("Backup not recorded [") + outcome.setPath + QStringLiteral("]");
    case BackupStatus::NoRoom: break;
    }
    return QString();
}

void BackupRun::Conclude(const BackupOutcome& outcome, const QString& comment) {
    const bool unattended = Unattended();
    const bool autoExit = m_window.Controls().Check1().Value() == 1;
    if (outcome.status != BackupStatus::Complete) {
        // The report comes after the window is usable again, so the user sees its state behind
        // the box. Under "/U" the dialogs write it to standard error, and the status tells cron
        // or the timer that the set is not complete. Interactively the window stays, checked
        // box or not, so that the user can read what happened and try again.
        m_services.dialogs.MessageBox(IncompleteBackupText(outcome, comment), MessageButtons::Ok,
                                      MessageIcon::Information, IncompleteBackupTitle);
        (void)TellRegistryDamage(m_services.dialogs, outcome.setPath, outcome.registryProblems);
        if (unattended) m_window.EndProgram(IncompleteStatus);
        return;
    }
    // A damaged registry does not make the set incomplete: it is told, and an unattended run
    // ends with a status of its own.
    const bool registryDamaged =
        TellRegistryDamage(m_services.dialogs, outcome.setPath, outcome.registryProblems);
    if (unattended && registryDamaged)
        m_window.EndProgram(RegistryDamagedStatus);
    else if (unattended || autoExit)
        m_window.EndProgram();
}

void BackupRun::SetControlsEnabled(bool enabled) {
    // The Exit button stays usable; everything that starts another command is greyed while a
    // backup runs.
    Form1Controls& controls = m_window.Controls();
    controls.FileMenu().SetEnabled(enabled);
    controls.HelpMenu().SetEnabled(enabled);
    controls.Command1().SetEnabled(enabled);
    controls.Command2().SetEnabled(enabled);
    controls.Check1().SetEnabled(enabled);
}

}  // namespace stowix
