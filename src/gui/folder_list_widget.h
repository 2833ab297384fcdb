#pragma once
// The folder list control (Dir1) over the program's own file system, so that it shows the DOS
// folders of the mapped drive. It lists the folders on the way from the drive root down to the
// current folder, each one step further in and drawn as an open folder, then the current folder's
// subfolders, one step further in again, drawn closed and sorted without regard to case.
// A double-click on an entry makes it the current path. Every change of the path, by the user
// or by SetPath, runs the change handler at once, nested inside the caller.
// Paths are DOS texts: "C:\" for a drive root, otherwise without a trailing backslash.

#include "fs/file_system.h"
#include "view/controls.h"

#include <QListWidget>
#include <QString>

#include <functional>

namespace stowix {

class FolderListWidget : public QListWidget, public FolderList {
    Q_OBJECT
public:
    // Non-owning: the file system outlives the control.
    explicit FolderListWidget(FileSystem& files, QWidget* parent = nullptr);

    QString Path() const override { return m_path; }
    void SetPath(const QString& path) override;
    void SetChangeHandler(std::function<void()> handler) override { m_change = std::move(handler); }
    void SetToolTip(const QString& toolTip) override;
    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    bool IsEnabled() const override { return isEnabled(); }

    // Reads the current folder's subfolders again.
    void Refresh();

    // The entries' data: the full DOS path and how far the entry is indented.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Fill();
    QStringList Subfolders() const;

    FileSystem& m_files;
    QString m_path;
    std::function<void()> m_change;
};

// "C:" and "C:\" become "C:\"; any other path loses its trailing backslashes.
QString NormalizeFolderPath(const QString& path);

}  // namespace stowix
