#pragma once
// This type implements the folder chooser's logic: the chooser mode that the main window hands
// it, its activation, the dispatch of a folder-list change to the restore or the delete command,
// the chosen-folder rule, the Done button and the frame's close, and the chooser's own progress
// stepping. It sees the window only through Form2Controls and includes no widget header. It does
// not deal with what a restore or a delete does (restore_command.h, delete_set.h).

#include "files/progress_stepper.h"
#include "services/program_values.h"
#include "sets/set_name.h"
#include "shell/progress.h"
#include "shell/services.h"
#include "view/form2_controls.h"

#include <QString>

namespace stowix {

// The chooser modes, compared exactly.
inline const QString RestoreMode = QStringLiteral("Restore");
inline const QString DeleteMode = QStringLiteral("Delete");

class FolderChooser : public ProgressStepper {
public:
    // Non-owning: the chooser's controls, the main window, the services and the values outlive
    // the chooser. Binds Dir1's change handler to Dir1_Change; the window's own events come from
    // Events().
    FolderChooser(Form2Controls& controls, Window& mainWindow, Services services,
                  ProgramValues& values);

    // The activation, Done and frame-close events, bound to this chooser's handlers.
    Form2Events Events();

    // What the main window's Restore and Delete commands call after hiding the main window: sets
    // the mode and shows the chooser, whose showing raises Form_Activate. When no backup root
    // exists yet there is nothing to choose from: the user is told so and the main window comes
    // back instead.
    void Open(const QString& mode);
    const QString& ChooserMode() const { return m_chooserMode; }

    // Event handlers.
    void Form_Activate();
    void Dir1_Change();
    void Command1_Click();  // Done
    void Form_Close();      // acts as Done, so that closing never leaves no window visible

    // The first steps of both commands. Returns the list's path to the backup root when it shows
    // the drive root (a nested Dir1_Change that stops here) and tells whether the list now names
    // a backup set that the command may act on. Any other path is refused: the roots quietly,
    // anything else with a status text and the list back at the backup root.
    bool ApplyChosenFolderRule();

    // Window operations used by the commands.
    Form2Controls& Controls() { return m_controls; }
    Services& services() { return m_services; }
    ProgramValues& values() { return m_values; }
    void SetStatusText(const QString& text);
    void Repaint();
    void Hide();
    void Show();  // raises Form_Activate
    void StepProgress(bool restartUpward, bool fill) override;
    const ProgressState& Progress() const { return m_progress; }

private:
    bool BackupRootExists();

    Form2Controls& m_controls;
    Window& m_mainWindow;
    Services m_services;
    ProgramValues& m_values;
    QString m_chooserMode;
    // Starts at 0 with the chooser and persists across hiding and showing; never mixed with the
    // main window's.
    ProgressState m_progress;
};

}  // namespace stowix
