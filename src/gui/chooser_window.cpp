#include "gui/chooser_window.h"

#include "gui/classic_look.h"
#include "gui/classic_progress_bar.h"
#include "gui/folder_list_widget.h"
#include "gui/status_bar_widget.h"
#include "gui/twips.h"
#include "gui/widget_controls.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

namespace stowix {

namespace {
constexpr int ClientWidth = 6855;   // in twips
constexpr int ClientHeight = 4470;  // in twips
constexpr int StatusBarHeight = 375;
}  // namespace

QtChooserWindow::QtChooserWindow(FileSystem& files, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // The caption is set at each activation.
    setWindowTitle(QString());
    setFont(DialogFont());
    setFixedSize(PixelsFromTwips(ClientWidth), PixelsFromTwips(ClientHeight));

    CreateControls(files);
    CreateShortcuts();
    SetFocusOrder();
    CreateAdapters();
}

QtChooserWindow::~QtChooserWindow() = default;

void QtChooserWindow::SetEvents(Form2Events events) { m_events = std::move(events); }

void QtChooserWindow::CreateControls(FileSystem& files) {
    m_dir1 = new FolderListWidget(files, this);
    m_dir1->setObjectName(QStringLiteral("Dir1"));
    m_dir1->setGeometry(RectFromTwips(120, 120, 6615, 3015));
    m_dir1->setFont(DialogFont());

    m_command1 = new QPushButton(QStringLiteral("D&one"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(RectFromTwips(5520, 3360, 1215, 615));
    m_command1->setFont(DialogFont());
    m_command1->setToolTip(QStringLiteral("Click here to return to Stowix's main menu"));
    m_command1->setAutoDefault(true);
    m_command1->setFocusPolicy(Qt::StrongFocus);
    connect(m_command1, &QPushButton::clicked, this,
            [this] { Raise(&Form2Events::Command1_Click); });

    m_progressBar1 = new ClassicProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setGeometry(RectFromTwips(120, 3360, 5295, 615));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->hide();

    m_statusBar1 = new StatusBarWidget(this);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setGeometry(
        RectFromTwips(0, ClientHeight - StatusBarHeight, ClientWidth, StatusBarHeight));
    m_statusBar1->setFont(DialogFont());
    m_statusBar1->setToolTip(QStringLiteral("Status messages are displayed here"));
}

void QtChooserWindow::CreateShortcuts() {
    // Done is the window's cancel button: Escape presses it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("Command1Cancel"));
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_command1->isEnabled() && m_command1->isVisible()) m_command1->click();
    });
}

void QtChooserWindow::SetFocusOrder() {
    // Done comes first, then the list; the progress and status bars take no focus.
    setTabOrder(m_command1, m_dir1);
    m_command1->setFocus(Qt::OtherFocusReason);
}

void QtChooserWindow::CreateAdapters() {
    m_form = std::make_unique<WindowControl>(this, [this] { Raise(&Form2Events::Form_Activate); });
    m_command1Control = std::make_unique<WidgetControl>(m_command1);
    m_progressBar1Control = std::make_unique<ProgressBarControl>(m_progressBar1);
    m_statusBar1Control = std::make_unique<StatusBarControl>(m_statusBar1);
}

void QtChooserWindow::Raise(std::function<void()> Form2Events::*event) {
    // A copy: the handler may replace the window's events while it runs.
    const std::function<void()> handler = m_events.*event;
    if (handler) handler();
}

void QtChooserWindow::closeEvent(QCloseEvent* event) {
    // The frame's close button only reports: the logic decides where the user goes next.
    // Without a handler the window simply closes.
    if (!m_events.Form_Close) {
        event->accept();
        return;
    }
    event->ignore();
    Raise(&Form2Events::Form_Close);
}

Window& QtChooserWindow::Form() { return *m_form; }
Control& QtChooserWindow::Command1() { return *m_command1Control; }
FolderList& QtChooserWindow::Dir1() { return *m_dir1; }
ProgressBar& QtChooserWindow::ProgressBar1() { return *m_progressBar1Control; }
StatusBar& QtChooserWindow::StatusBar1() { return *m_statusBar1Control; }

}  // namespace stowix
