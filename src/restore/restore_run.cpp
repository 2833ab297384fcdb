#include "restore/restore_run.h"

#include "restore/folder_chooser.h"

namespace stowix {

namespace {

// The chooser usable again, its status text telling the outcome; a complete restore is recorded.
void ShowRestored(FolderChooser& chooser, RestoreJob& job, const RestoreOutcome& outcome) {
    Form2Controls& controls = chooser.Controls();
    controls.Command1().SetEnabled(true);
    controls.Dir1().SetEnabled(true);
    chooser.StepProgress(false, true);

    const QString setPath = controls.Dir1().Path();
    // Not reported as done when incomplete: the command shows what failed in a message box,
    // since the chooser's next activation replaces this text.
    chooser.SetStatusText((outcome.Complete() ? QStringLiteral("Restored [")
                                              : QStringLiteral("Restore incomplete [")) +
                          setPath + u']');
    RecordRestore(job, setPath, outcome);
}

}  // namespace

RestoreJob ChooserRestoreJob(FolderChooser& chooser) {
    Services& services = chooser.services();
    return RestoreJob{services.files,   services.settings, services.system,
                      services.dialogs, chooser.values(),  chooser};
}

void ShowRestoring(FolderChooser& chooser) {
    Form2Controls& controls = chooser.Controls();
    controls.Command1().SetEnabled(false);
    controls.Dir1().SetEnabled(false);
    controls.ProgressBar1().SetVisible(true);
    chooser.StepProgress(true, false);
    chooser.SetStatusText(QStringLiteral("Restoring ..."));
    chooser.Repaint();
}

RestoreOutcome RestoreBackupSet(FolderChooser& chooser) {
    ShowRestoring(chooser);
    return RestoreShownSet(chooser);
}

RestoreOutcome RestoreShownSet(FolderChooser& chooser) {
    RestoreJob job = ChooserRestoreJob(chooser);
    const RestoreOutcome outcome = RestoreSet(job, chooser.Controls().Dir1().Path());
    ShowRestored(chooser, job, outcome);
    chooser.services().system.Beep();
    return outcome;
}

}  // namespace stowix
