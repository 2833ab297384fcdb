// Start-up: the main window's load handler and the Windows folder it learns.

#include "files/text_routines.h"
#include "services/exit_status.h"
#include "shell/centring.h"
#include "shell/main_window.h"
#include "shell/program_notices.h"
#include "shell/settings.h"
#include "shell/start_checks.h"

namespace stowix {

namespace {

const QString ProgramTitle = QStringLiteral("Stowix");

}  // namespace

void MainWindow::Form_Load() {
    if (EndIfAnotherCopy()) return;
    PrepareForm();
    LoadAutoExit();
    if (!FindWindowsFolder()) return;
    SetStatusText(QStringLiteral("Ready [") + m_values.WindowsFolder + QStringLiteral("]"));
    ShowUnlessHidden();

    // Under "/U" the backup run ends the program when it is done.
    if (m_values.Mode == RunMode::Unattended) Command1_Click();

    // The program still runs: from here on the window is visible, also when "/I" kept it hidden
    // above, and waits for the user.
    if (!m_ended && !m_controls.Form().IsVisible()) m_controls.Form().Show();
}

bool MainWindow::EndIfAnotherCopy() {
    // A second copy ends before it touches anything: no window, nothing written. Interactively
    // it ends silently; an unattended one says so in one line and ends with its own status, so
    // that cron or a timer does not take a backup for made.
    if (!m_services.system.PreviousInstance()) return false;
    m_ended = true;
    const bool unattended = m_values.Mode == RunMode::Unattended;
    if (unattended)
        m_services.dialogs.MessageBox(AnotherCopyText, MessageButtons::Ok, MessageIcon::Information,
                                      ProgramTitle);
    m_services.system.EndNow(unattended ? ExitStatus::AnotherCopy : ExitStatus::Done);
    return true;
}

void MainWindow::PrepareForm() {
    // Centring needs a window that is neither minimised nor maximised.
    m_controls.Form().SetNormalState();
    CentreOnScreen();
    SetCaptions();
    m_controls.Label4().SetCaption(TrimText(ProgramRevision));

    // A clip that cannot be opened is not fatal: the animation strip simply stays empty while
    // the program does its work.
    (void)m_controls.Animation1().Open(m_services.system.ProgramFolder() +
                                       QStringLiteral("\\Stowix1.Avi"));
}

void MainWindow::LoadAutoExit() {
    // The default, the word True, reads as 0: a user who never touched the box starts with
    // automatic exit off. The program stores only "0" and "1"; any other number (a hand-edited
    // store) counts as unchecked rather than as a state the box cannot show.
    const QString autoExit = ReadSetting(m_services.settings, SettingsKeys::Preferences,
                                         SettingsKeys::AutoExit, TrimText(true));
    m_controls.Check1().SetValue(LeadingNumber(autoExit) == 1 ? 1 : 0);
}

bool MainWindow::FindWindowsFolder() {
    // Without drive C: there is nothing to back up or restore; the program says so and how to
    // configure one, instead of waiting with a window whose every command would fail.
    const Result<QString> windowsFolder =
        stowix::FindWindowsFolder(m_services.files, m_services.windows);
    if (!windowsFolder) {
        EndWithoutWindowsFolder(windowsFolder.reason());
        return false;
    }
    m_values.WindowsFolder = windowsFolder.value();
    m_values.WindowsFolderTail = m_values.WindowsFolder.mid(2);
    return true;
}

void MainWindow::EndWithoutWindowsFolder(const QString& reason) {
    m_services.dialogs.MessageBox(NoWindowsFolderText(reason, m_values.DrivePath),
                                  MessageButtons::Ok, MessageIcon::Information, ProgramTitle);
    EndProgram(ExitStatus::NothingDone);
}

void MainWindow::ShowUnlessHidden() {
    // "/I" and "/U" keep the window hidden while start-up finishes.
    if (m_values.Mode == RunMode::Window) m_controls.Form().Show();
    Repaint();
}

void MainWindow::CentreOnScreen() {
    Window& form = m_controls.Form();
    form.Move(CentredOffset(form.ScreenWidth(), form.Width()),
              CentredOffset(form.ScreenHeight(), form.Height()));
}

void MainWindow::SetCaptions() {
    m_controls.Label1().SetCaption(QStringLiteral("Stowix"));
    m_controls.Label2().SetCaption(QStringLiteral("Automatic Win95/98/NT config Backup/Restore"));
    // Built line by line from the label's own caption, each line but the last ended by a
    // carriage return.
    Label& notices = m_controls.Label3();
    notices.SetCaption(Notices::Ownership + QStringLiteral("\r"));
    notices.SetCaption(notices.Caption() + Notices::Rights + QStringLiteral("\r"));
    notices.SetCaption(notices.Caption() + Notices::Support);
}

}  // namespace stowix
