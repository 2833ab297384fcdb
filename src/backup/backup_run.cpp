#include "backup/backup_run.h"

#include "backup/backup_registry_check.h"
#include "backup/set_copy.h"
#include "backup/set_room.h"
#include "files/copy_failure_list.h"
#include "files/file_routines.h"
#include "services/program_values.h"
#include "sets/backup_root.h"
#include "sets/backup_set_layout.h"
#include "sets/set_folder.h"
#include "shell/settings.h"

namespace stowix {

namespace {

const QString IncompleteTitle = QStringLiteral("Backup incomplete");

}  // namespace

BackupRun::BackupRun(MainWindow& window, Services services, const ProgramValues& values)
    : m_window(window), m_services(services), m_values(values) {}

void BackupRun::Run() {
    Announce();

    const QString stamp = BuildStamp();
    FileSystem& files = m_services.files;
    // A set that would leave drive C: too full is not begun: no folder, no copy, no record.
    if (const QString shortfall = NewSetShortfall(files, m_values); !shortfall.isEmpty())
        return RefuseForRoom(shortfall);
    std::vector<CopyFailure> failures;
    QString setPath;
    // Nothing is copied into a set folder that the run could not make or may not use.
    if (MakeSetFolder(stamp, setPath, failures)) {
        failures = CopySetGroups(files, m_window, m_values.WindowsFolder, setPath);
        AppendWineRegistry(files, m_values.WinePrefix, setPath, failures);
        RequireRegistry(files, m_values.WindowsFolder, m_values.WinePrefix, setPath, failures);
    }
    // The registry files of the set are read whole while the set is flushed; what is wrong with
    // them is told at the end.
    PendingSetRegistryCheck registryCheck(files, setPath);
    FlushSet(files, setPath, failures);
    const std::vector<RegistryProblem> registryProblems = registryCheck.Finish();
    EndMedia();

    QString recordReason;
    const Outcome outcome = RecordSet(setPath, failures, recordReason);
    ShowIdle(outcome, setPath);
    Conclude(outcome, setPath, failures, recordReason, registryProblems);
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

QString BackupRun::BuildStamp() {
    // The date first, the time right after it, once each.
    System& system = m_services.system;
    const QString dateText = system.DateText();
    const QString timeText = system.TimeText();
    return SetStamp(dateText, timeText);
}

bool BackupRun::MakeSetFolder(const QString& stamp, QString& setPath,
                              std::vector<CopyFailure>& failures) {
    FileSystem& files = m_services.files;
    const Result<QString> made = stowix::MakeSetFolder(files, BackupRoot, MakeBackupRoot(files),
                                                       stamp, m_window.PendingComment);
    if (made) {
        setPath = made.value();
        return true;
    }
    setPath = SetPath(stamp, m_window.PendingComment);
    failures.push_back({setPath, made.reason()});
    return false;
}

void BackupRun::RefuseForRoom(const QString& shortfall) {
    // The opening sound and the animation end without the closing sound, which marks copying
    // that never began here. The comment stays for the next backup.
    Form1Controls& controls = m_window.Controls();
    controls.MMControl1().Command(QStringLiteral("Close"));
    controls.Animation1().Stop();
    SetControlsEnabled(true);
    m_window.SetStatusText(QStringLiteral("Backup not made: drive C: is too full"));
    m_window.SetBusyPointer(0);
    m_services.dialogs.MessageBox(
        shortfall + QStringLiteral("\r\rNo backup set was made. Free some space on drive C: "
                                   "(delete older backup sets, for instance) and back up again."),
        MessageButtons::Ok, MessageIcon::Information, QStringLiteral("Not enough free space"));
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

BackupRun::Outcome BackupRun::RecordSet(const QString& setPath,
                                        const std::vector<CopyFailure>& failures,
                                        QString& recordReason) {
    // LastBackup names only a set whose every file was copied. A run that missed a file leaves
    // the previous LastBackup as it was; the copies it did make stay in the new set's folder.
    if (!failures.empty()) return Outcome::FilesMissing;
    const Status recorded =
        WriteSetting(m_services.settings, SettingsKeys::Info, SettingsKeys::LastBackup, setPath);
    if (recorded.ok()) return Outcome::Complete;
    recordReason = recorded.reason();
    return Outcome::NotRecorded;
}

void BackupRun::ShowIdle(Outcome outcome, const QString& setPath) {
    m_window.Beep();
    SetControlsEnabled(true);
    m_window.StepProgress(false, true);
    // A set that misses files keeps its comment pending, so that the user's next try is named
    // by it too. A complete set has used the comment up, recorded or not.
    if (outcome != Outcome::FilesMissing) m_window.PendingComment.clear();
    m_window.SetStatusText(StatusText(outcome, setPath));
    m_window.SetBusyPointer(0);
}

QString BackupRun::StatusText(Outcome outcome, const QString& setPath) const {
    switch (outcome) {
    case Outcome::Complete:
        return QStringLiteral("Ready [") + m_values.WindowsFolder + QStringLiteral("]");
    case Outcome::FilesMissing:
        return QStringLiteral("Backup incomplete [") + setPath + QStringLiteral("]");
    case Outcome::NotRecorded:
        return QStringLiteral("Backup not recorded [") + setPath + QStringLiteral("]");
    }
    return QString();
}

void BackupRun::Conclude(Outcome outcome, const QString& setPath,
                         const std::vector<CopyFailure>& failures, const QString& recordReason,
                         const std::vector<RegistryProblem>& registryProblems) {
    const bool unattended = Unattended();
    const bool autoExit = m_window.Controls().Check1().Value() == 1;
    if (outcome != Outcome::Complete) {
        // The report comes after the window is usable again, so the user sees its state behind
        // the box. Under "/U" the dialogs write it to standard error, and the status tells cron
        // or the timer that the set is not complete. Interactively the window stays, checked
        // box or not, so that the user can read what happened and try again.
        ReportFailure(outcome, setPath, failures, recordReason);
        (void)TellRegistryDamage(m_services.dialogs, setPath, registryProblems);
        if (unattended) m_window.EndProgram(IncompleteStatus);
        return;
    }
    // A damaged registry does not make the set incomplete: it is told, and an unattended run
    // ends with a status of its own.
    const bool registryDamaged = TellRegistryDamage(m_services.dialogs, setPath, registryProblems);
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

void BackupRun::ReportFailure(Outcome outcome, const QString& setPath,
                              const std::vector<CopyFailure>& failures,
                              const QString& recordReason) {
    // One title for both: either way the run did not finish its work, and a user (or the log
    // of an unattended run) should find both under the same words. Line breaks inside message
    // texts are single carriage returns.
    QString text;
    if (outcome == Outcome::NotRecorded) {
        text = QStringLiteral("Every file was copied into the backup set ") + setPath +
               QStringLiteral(", but it could not be recorded as the last backup:\r") +
               recordReason;
    } else {
        text = QStringLiteral("The backup set ") + setPath +
               QStringLiteral(" is incomplete. These could not be copied:\r");
        text += ListCopyFailures(failures) + QStringLiteral("\r");
        text += QStringLiteral("\rThe set was not recorded as the last backup");
        if (!m_window.PendingComment.isEmpty())
            text += QStringLiteral(", and its comment stays for the next backup");
        text += QStringLiteral(". The files that were copied stay in the set.");
    }
    m_services.dialogs.MessageBox(text, MessageButtons::Ok, MessageIcon::Information,
                                  IncompleteTitle);
}

}  // namespace stowix
