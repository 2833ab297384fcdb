#include "gui/drive_select_window.h"

#include "gui/classic_look.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace stowix {

namespace {

QString ItemText(const DriveCandidate& candidate) {
    return QFileInfo(candidate.path).fileName() + QStringLiteral(" - ") + candidate.kind + u'\n' +
           QDir::toNativeSeparators(candidate.path);
}

}  // namespace

DriveSelectWindow::DriveSelectWindow(std::vector<DriveCandidate> candidates, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("SelectDrive"));
    setWindowTitle(QStringLiteral("Select Windows Drive"));
    setFont(DialogFont());
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(candidates.empty()
                                 ? QStringLiteral("No Windows drive was found on this machine. "
                                                  "Browse for its folder or disk file.")
                                 : QStringLiteral("&Windows drives found on this machine:"),
                             this);
    label->setWordWrap(true);
    layout->addWidget(label);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("DriveList"));
    m_list->setAccessibleName(QStringLiteral("Windows drives"));
    label->setBuddy(m_list);
    for (const DriveCandidate& candidate : candidates) {
        auto* item = new QListWidgetItem(ItemText(candidate), m_list);
        item->setData(Qt::UserRole, candidate.path);
        item->setToolTip(candidate.path);
    }
    if (m_list->count() > 0) m_list->setCurrentRow(0);
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::itemActivated, this, [this] { OpenSelected(); });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* open = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    open->setObjectName(QStringLiteral("OpenDrive"));
    open->setEnabled(m_list->count() > 0);
    open->setDefault(true);
    QPushButton* browse =
        buttons->addButton(QStringLiteral("&Browse..."), QDialogButtonBox::ActionRole);
    browse->setObjectName(QStringLiteral("BrowseDrive"));
    auto* browseMenu = new QMenu(browse);
    browseMenu->addAction(QStringLiteral("&Disk image file..."), this, [this] { Browse(false); });
    browseMenu->addAction(QStringLiteral("&Folder or Wine prefix..."), this,
                          [this] { Browse(true); });
    browse->setMenu(browseMenu);
    buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelDrive"));
    connect(open, &QPushButton::clicked, this, [this] { OpenSelected(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // Wide enough for a path; taller with the desktop's font, as every other window.
    const QFontMetrics metrics(font());
    resize(metrics.horizontalAdvance(QLatin1Char('x')) * 70, metrics.height() * 22);
    m_list->setFocus();
}

void DriveSelectWindow::OpenSelected() {
    const QListWidgetItem* item = m_list->currentItem();
    if (item == nullptr) return;
    m_chosen = item->data(Qt::UserRole).toString();
    accept();
}

void DriveSelectWindow::Browse(bool folder) {
    const QString start = QDir::homePath();
    QString path;
    if (folder) {
        path =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Windows Drive Folder"), start);
    } else {
        const QString filter = QStringLiteral("Disk images (") + DiskFilePatterns().join(u' ') +
                               QStringLiteral(");;All files (*)");
        path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Windows Disk Image"), start, filter);
    }
    if (path.isEmpty()) return;
    m_chosen = path;
    accept();
}

std::optional<QString> DriveSelectWindow::Choose(std::vector<DriveCandidate> candidates,
                                                 QWidget* parent) {
    DriveSelectWindow window(std::move(candidates), parent);
    if (window.exec() != QDialog::Accepted || window.Chosen().isEmpty()) return std::nullopt;
    return window.Chosen();
}

}  // namespace stowix
