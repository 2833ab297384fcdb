#pragma once
// "Select Windows Drive": the small window in which the user chooses the Windows drive C: when
// the program was given none, or switches to another one from the File menu. It lists the
// drives found on this machine (drives/drive_candidates.h), each with what it is, the first one
// selected; Enter or a double-click opens the selected one, and "Browse..." picks a folder or a
// disk file. It does not remember the choice or open the drive: its caller does.

#include "drives/drive_candidates.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <vector>

class QListWidget;
class QLabel;

namespace stowix {

class DriveSelectWindow : public QDialog {
public:
    explicit DriveSelectWindow(std::vector<DriveCandidate> candidates, QWidget* parent = nullptr);

    // The chosen drive's path once the window was accepted.
    QString Chosen() const { return m_chosen; }

    // Shows the window modally; the chosen path, or nothing when the user cancelled.
    static std::optional<QString> Choose(std::vector<DriveCandidate> candidates,
                                         QWidget* parent = nullptr);

private:
    void OpenSelected();
    void Browse(bool folder);

    QListWidget* m_list = nullptr;
    QString m_chosen;
};

}  // namespace stowix
