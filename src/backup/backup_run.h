#pragma once
// This type implements the backup run, the body of the Backup command: it makes one new backup
// set under the backup root, copies the fifteen file groups into it, makes the copies durable,
// records the set as the last backup, and ends the program when it runs unattended ("/U") or
// the automatic-exit box is checked. A copy that fails does not stop the run: every group is
// still tried, and the run then reports what is missing instead of recording the set. It never
// removes or changes an older set. It does not deal with the window's controls beyond the main
// window's operations, nor with how files are found and copied (files/).

#include "files/listing.h"
#include "registry/registry_file_check.h"
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
    enum class Outcome { Complete, FilesMissing, NotRecorded };

    void Announce();
    QString BuildStamp();
    // Makes the set's folder and gives its path; false when nothing may be copied into it, with
    // the reason in failures and setPath naming the set by its plain name.
    bool MakeSetFolder(const QString& stamp, QString& setPath, std::vector<CopyFailure>& failures);
    // Ends a run that did not begin its set because drive C: is too full (shortfall says how
    // full), and tells the user.
    void RefuseForRoom(const QString& shortfall);
    // The closing sound, and the animation and its sound device stopped.
    void EndMedia();
    // Records a set that holds every file as the last backup; recordReason says why that
    // failed, for Outcome::NotRecorded.
    Outcome RecordSet(const QString& setPath, const std::vector<CopyFailure>& failures,
                      QString& recordReason);
    // The window usable again, its status text telling the outcome.
    void ShowIdle(Outcome outcome, const QString& setPath);
    QString StatusText(Outcome outcome, const QString& setPath) const;
    // Reports what went wrong and ends the program where the command line or the
    // automatic-exit box asks for it.
    void Conclude(Outcome outcome, const QString& setPath, const std::vector<CopyFailure>& failures,
                  const QString& recordReason,
                  const std::vector<RegistryProblem>& registryProblems);
    void SetControlsEnabled(bool enabled);
    void ReportFailure(Outcome outcome, const QString& setPath,
                       const std::vector<CopyFailure>& failures, const QString& recordReason);

    bool Unattended() const { return m_values.Mode == RunMode::Unattended; }

    MainWindow& m_window;
    Services m_services;
    const ProgramValues& m_values;
};

}  // namespace stowix
