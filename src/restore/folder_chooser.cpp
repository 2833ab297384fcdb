#include "restore/folder_chooser.h"

#include "restore/delete_set.h"
#include "restore/restore_command.h"
#include "sets/backup_root.h"

namespace stowix {

namespace {

inline const QString DriveRoot = QStringLiteral("C:\\");

// Drive C:'s root in any spelling: "C:\", "c:\", "C:".
bool IsDriveRootOfC(const QString& path) {
    return path.compare(DriveRoot, Qt::CaseInsensitive) == 0 ||
           path.compare(QStringLiteral("C:"), Qt::CaseInsensitive) == 0;
}

// The backup root in any spelling the folder list may report: "C:\Stowix", "C:\STOWIX\".
bool IsBackupRoot(const QString& path) {
    return path.compare(BackupRoot, Qt::CaseInsensitive) == 0 ||
           path.compare(BackupRoot + u'\\', Qt::CaseInsensitive) == 0;
}

}  // namespace

FolderChooser::FolderChooser(Form2Controls& controls, Window& mainWindow, Services services,
                             ProgramValues& values)
    : m_controls(controls), m_mainWindow(mainWindow), m_services(services), m_values(values) {
    m_controls.Dir1().SetChangeHandler([this] { Dir1_Change(); });
}

Form2Events FolderChooser::Events() {
    Form2Events events;
    events.Form_Activate = [this] { Form_Activate(); };
    events.Command1_Click = [this] { Command1_Click(); };
    events.Form_Close = [this] { Form_Close(); };
    return events;
}

void FolderChooser::Open(const QString& mode) {
    m_chooserMode = mode;
    // The list starts at the backup root, which only the first backup creates. Before then there
    // is nothing to restore or delete, and creating an empty root here would only show an empty
    // list; telling the user and returning to the main window is clearer.
    if (!BackupRootExists()) {
        (void)m_services.dialogs.MessageBox(
            QStringLiteral("There are no backup sets yet. Make a backup first."),
            MessageButtons::Ok, MessageIcon::Information, QStringLiteral("Stowix"));
        m_mainWindow.Show();
        return;
    }
    Show();
}

void FolderChooser::Form_Activate() {
    // A chooser left minimised or maximised comes back in its normal state, as the main window
    // does before it centres itself.
    m_controls.Form().SetNormalState();
    m_controls.Form().SetCaption(QStringLiteral("Select Folder to ") + m_chooserMode);
    // Each change raises Dir1_Change; the chosen-folder rule turns those runs into no action.
    m_controls.Dir1().SetPath(DriveRoot);
    m_controls.Dir1().SetPath(BackupRoot);
    m_controls.Dir1().SetToolTip(QStringLiteral("Double-click the folder you want to ") +
                                 m_chooserMode.toUpper());
    m_controls.ProgressBar1().SetVisible(false);
    SetStatusText(QStringLiteral("Double-click a folder to ") + m_chooserMode.toLower() +
                  QStringLiteral(" it, or select it and press Enter"));
}

void FolderChooser::Dir1_Change() {
    if (m_chooserMode == DeleteMode)
        DeleteChosenFolder(*this);
    else if (m_chooserMode == RestoreMode)
        RestoreChosenFolder(*this);
}

void FolderChooser::Command1_Click() {
    Hide();
    m_mainWindow.Show();
}

void FolderChooser::Form_Close() { Command1_Click(); }

bool FolderChooser::ApplyChosenFolderRule() {
    FolderList& list = m_controls.Dir1();
    if (IsDriveRootOfC(list.Path())) list.SetPath(BackupRoot);

    const QString path = list.Path();
    // The roots in whatever spelling the list reports them stop quietly, so that the nested
    // change raised by returning to the root can never start a command or loop.
    if (IsBackupRoot(path) || IsDriveRootOfC(path)) return false;

    // Only a folder directly inside the backup root is a set. A deeper folder would be restored
    // from or deleted as if it were one, and a path elsewhere (or one that climbs out with
    // "..") could make the delete empty a folder that is no backup at all.
    if (IsBackupSetPath(path)) {
        const Result<int> attributes = m_services.files.ReadAttributes(path);
        if (attributes && (attributes.value() & Attribute::Folder)) return true;
    }
    SetStatusText(QStringLiteral("Not a backup set [") + path + u']');
    list.SetPath(BackupRoot);
    return false;
}

void FolderChooser::SetStatusText(const QString& text) { m_controls.StatusBar1().SetText(text); }

void FolderChooser::Repaint() { m_controls.Form().Repaint(); }

void FolderChooser::Hide() { m_controls.Form().Hide(); }

void FolderChooser::Show() { m_controls.Form().Show(); }

void FolderChooser::StepProgress(bool restartUpward, bool fill) {
    stowix::StepProgress(m_progress, m_controls.ProgressBar1(), m_services.system, restartUpward,
                         fill);
}

bool FolderChooser::BackupRootExists() {
    const Result<int> attributes = m_services.files.ReadAttributes(BackupRoot);
    return attributes && (attributes.value() & Attribute::Folder);
}

}  // namespace stowix
