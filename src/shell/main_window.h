#pragma once
// This type implements the main window's logic: start-up, the handler of each button and menu
// item, and the window operations that the commands use (status text, repaint, pointer,
// progress, sound, animation, ending the program). It sees the window only through
// Form1Controls and includes no widget header. It does not deal with what the backup, the folder
// chooser, the comment and the information boxes do: app/ binds those commands, so that this
// layer never depends on the layers above it.

#include "files/progress_stepper.h"
#include "services/program_values.h"
#include "shell/progress.h"
#include "shell/services.h"
#include "view/form1_controls.h"

#include <QString>

#include <functional>

namespace stowix {

class MainWindow : public ProgressStepper {
public:
    // The commands of the layers above, bound by app/. Each may be empty until bound; an unbound
    // command does nothing.
    struct Commands {
        std::function<void()> Backup;                          // the backup run
        std::function<void(const QString& mode)> OpenChooser;  // mode "Restore" or "Delete"
        std::function<void()> AddComment;
        std::function<void()> ShowInfo;
        std::function<void()> ShowAbout;
        std::function<void()> ShowTips;
    };

    // Non-owning: controls, services and values outlive the window's logic.
    MainWindow(Form1Controls& controls, Services services, ProgramValues& values);

    void BindCommands(Commands commands);
    // The events of the buttons, menu items and the frame, bound to this window's handlers.
    Form1Events Events();

    // Event handlers.
    void Form_Load();
    void Command1_Click();
    void BackupMenu_Click();
    void Command2_Click();
    void RestoreMenu_Click();
    void DeleteMenu_Click();
    void AddCommentMenu_Click();
    void InfoMenu_Click();
    void AboutMenu_Click();
    void TipsMenu_Click();
    void Command3_Click();
    void ExitMenu_Click();
    void Check1_Click();
    void Form_Close();

    // Window operations.
    Form1Controls& Controls() { return m_controls; }
    Services& services() { return m_services; }
    ProgramValues& values() { return m_values; }
    void SetStatusText(const QString& text);
    void Repaint();
    void SetBusyPointer(int pointer);
    void StepProgress(bool restartUpward, bool fill) override;
    // Plays a wave file through MMControl1: Close, device type, file name, Open, wait flag, Play.
    void PlaySound(const QString& path, bool wait);
    void Beep();
    // Closes the clip and the sound, then ends the program at once with exitStatus.
    void EndProgram(int exitStatus = 0);

    // The comment for the next backup set's name: empty, or one blank and at most 32 characters.
    QString PendingComment;

private:
    // Start-up's steps (startup.cpp), in their order.
    // True when another copy runs: this one has then ended.
    bool EndIfAnotherCopy();
    void PrepareForm();
    void LoadAutoExit();
    // False when drive C: or its Windows folder is missing: the program has then ended.
    bool FindWindowsFolder();
    void EndWithoutWindowsFolder(const QString& reason);
    // Shows the window unless the program runs hidden or unattended.
    void ShowUnlessHidden();
    void CentreOnScreen();
    void SetCaptions();
    // Hides this window and shows the folder chooser in mode "Restore" or "Delete".
    void HideAndOpenChooser(const QString& mode);

    Form1Controls& m_controls;
    Services m_services;
    ProgramValues& m_values;
    Commands m_commands;
    ProgressState m_progress;
    // Set once EndProgram or a refused second copy has asked the system to end: the real system
    // never returns from that call, a test's fake does, and nothing may run after it.
    bool m_ended = false;
};

}  // namespace stowix
