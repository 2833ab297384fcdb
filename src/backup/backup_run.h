#pragma once
// The backup as the main window runs it, the body of the Backup command: the window greyed, the
// animation and sounds, the backup job (backup_job.h), then the window usable again with its
// status text, a report of what went wrong, and the end of the program when the program runs
// unattended ("/U") in the window or the automatic-exit box is checked. It does not deal with
// how the set is made, nor with the window's controls beyond the main window's operations.

#include "backup/backup_job.h"
#include "shell/main_window.h"

#include <QString>

#include <vector>

namespace stowix {

class BackupRun {
public:
    // Non-owning: the window, the services and the values outlive the run. The window is the
    // view the run shows itself in (controls, status text, progress, sounds, the pending
    // comment, the end of the program); the files, settings and dialogs are the services.
    BackupRun(MainWindow& window, Services services, const ProgramValues& values);

    // The whole run, from the busy pointer to the end of the program or the idle window.
    void Run();

    // Exit status of an unattended run that could not make or record its set completely.
    static constexpr int IncompleteStatus = 3;

private:
    void Announce();
    // Ends a run that did not begin its set because drive C: is too full, and tells the user.
    void RefuseForRoom(const BackupOutcome& outcome);
    // The closing sound, and the animation and its sound device stopped.
    void EndMedia();
    // The window usable again, its status text telling the outcome.
    void ShowIdle(const BackupOutcome& outcome);
    QString StatusText(const BackupOutcome& outcome) const;
    // Reports what went wrong and ends the program where the command line or the
    // automatic-exit box asks for it.
    void Conclude(const BackupOutcome& outcome, const QString& comment);
    void SetControlsEnabled(bool enabled);

    bool Unattended() const { return m_values.Mode == RunMode::Unattended; }

    MainWindow& m_window;
    Services m_services;
    const ProgramValues& m_values;
};

}  // namespace stowix
