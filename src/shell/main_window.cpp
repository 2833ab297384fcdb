// The main window's handlers and the window operations that the commands use. Start-up lives in
// startup.cpp.

#include "shell/main_window.h"

#include "files/text_routines.h"
#include "shell/settings.h"

namespace stowix {

MainWindow::MainWindow(Form1Controls& controls, Services services, ProgramValues& values)
    : m_controls(controls), m_services(services), m_values(values) {
    // The box raises its click whenever its value changes, start-up's own setting included, so
    // the handler must be in place before Form_Load runs.
    m_controls.Check1().SetClickHandler([this] { Check1_Click(); });
}

void MainWindow::BindCommands(Commands commands) { m_commands = std::move(commands); }

Form1Events MainWindow::Events() {
    Form1Events events;
    events.Command1_Click = [this] { Command1_Click(); };
    events.Command2_Click = [this] { Command2_Click(); };
    events.Command3_Click = [this] { Command3_Click(); };
    events.BackupMenu_Click = [this] { BackupMenu_Click(); };
    events.RestoreMenu_Click = [this] { RestoreMenu_Click(); };
    events.AddCommentMenu_Click = [this] { AddCommentMenu_Click(); };
    events.DeleteMenu_Click = [this] { DeleteMenu_Click(); };
    events.InfoMenu_Click = [this] { InfoMenu_Click(); };
    events.ExitMenu_Click = [this] { ExitMenu_Click(); };
    events.AboutMenu_Click = [this] { AboutMenu_Click(); };
    events.TipsMenu_Click = [this] { TipsMenu_Click(); };
    events.Form_Close = [this] { Form_Close(); };
    return events;
}

void MainWindow::Command1_Click() {
    if (m_commands.Backup) m_commands.Backup();
}

void MainWindow::BackupMenu_Click() { Command1_Click(); }

void MainWindow::Command2_Click() { HideAndOpenChooser(QStringLiteral("Restore")); }

void MainWindow::RestoreMenu_Click() { Command2_Click(); }

void MainWindow::DeleteMenu_Click() { HideAndOpenChooser(QStringLiteral("Delete")); }

void MainWindow::HideAndOpenChooser(const QString& mode) {
    // Without a chooser to show, hiding this window would leave the program running with no
    // window at all; an unbound chooser therefore leaves everything as it is.
    if (!m_commands.OpenChooser) return;
    m_controls.Form().Hide();
    m_commands.OpenChooser(mode);
}

void MainWindow::AddCommentMenu_Click() {
    if (m_commands.AddComment) m_commands.AddComment();
}

void MainWindow::InfoMenu_Click() {
    if (m_commands.ShowInfo) m_commands.ShowInfo();
}

void MainWindow::AboutMenu_Click() {
    if (m_commands.ShowAbout) m_commands.ShowAbout();
}

void MainWindow::TipsMenu_Click() {
    if (m_commands.ShowTips) m_commands.ShowTips();
}

void MainWindow::Command3_Click() { EndProgram(); }

void MainWindow::ExitMenu_Click() { EndProgram(); }

void MainWindow::Check1_Click() {
    // A store that cannot be written is not reported: the box still acts for this run, and the
    // next start shows the value that was stored last. Telling the user on every click would
    // gain nothing they can act on.
    (void)WriteSetting(m_services.settings, SettingsKeys::Preferences, SettingsKeys::AutoExit,
                       TrimText(m_controls.Check1().Value()));
}

void MainWindow::Form_Close() {
    // Closing the frame ends the whole program, the folder chooser included, so that nothing
    // goes on running without a visible window.
    EndProgram();
}

void MainWindow::SetStatusText(const QString& text) { m_controls.StatusBar1().SetText(text); }

void MainWindow::Repaint() { m_controls.Form().Repaint(); }

void MainWindow::SetBusyPointer(int pointer) { m_controls.Form().SetMousePointer(pointer); }

void MainWindow::StepProgress(bool restartUpward, bool fill) {
    stowix::StepProgress(m_progress, m_controls.ProgressBar1(), m_services.system, restartUpward,
                         fill);
}

void MainWindow::PlaySound(const QString& path, bool wait) {
    MultimediaControl& sound = m_controls.MMControl1();
    // Closing first releases the previous sound, and stops it if it still plays.
    sound.Command(QStringLiteral("Close"));
    sound.SetDeviceType(QStringLiteral("WaveAudio"));
    sound.SetFileName(path);
    sound.Command(QStringLiteral("Open"));
    sound.SetWait(wait);
    sound.Command(QStringLiteral("Play"));
}

void MainWindow::Beep() { m_services.system.Beep(); }

void MainWindow::EndProgram(int exitStatus) {
    m_controls.Animation1().Close();
    m_controls.MMControl1().Command(QStringLiteral("Close"));
    m_ended = true;
    m_services.system.EndNow(exitStatus);
}

}  // namespace stowix
