#include "gui/main_window.h"

#include "gui/animation_widget.h"
#include "gui/classic_look.h"
#include "gui/classic_progress_bar.h"
#include "gui/line_widget.h"
#include "gui/program_icon.h"
#include "gui/status_bar_widget.h"
#include "gui/twips.h"
#include "gui/wave_sound.h"
#include "gui/widget_controls.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>

namespace stowix {

namespace {

constexpr int ClientWidth = 6615;   // in twips
constexpr int ClientHeight = 5790;  // in twips

QLabel* MakeLabel(QWidget* parent, const char* name, QRect geometry, const QFont& font,
                  Qt::Alignment alignment) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, QRect geometry, const QString& caption,
                        const QString& toolTip) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setFont(DialogFont());
    button->setToolTip(toolTip);
    // Enter presses the button that has the focus, as on the classic desktop.
    button->setAutoDefault(true);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

}  // namespace

QtMainWindow::QtMainWindow(const QString& programFolder, std::unique_ptr<SoundOutput> soundOutput,
                           QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    // A fixed dialog frame with a close button only: no minimise, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Stowix"));
    setWindowIcon(LoadProgramIcon(programFolder));
    setFont(DialogFont());

    CreateControls();
    CreateMediaControls(std::move(soundOutput));
    CreateMenus();
    CreateShortcuts();
    SetFocusOrder();
    CreateAdapters();

    setFixedSize(sizeHint());
    // Lays the menu bar and the client area out now, so that the geometry holds before the
    // window is first shown.
    layout()->activate();
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::SetEvents(Form1Events events) { m_events = std::move(events); }

void QtMainWindow::CreateControls() {
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("Form1Client"));
    m_client->setFixedSize(PixelsFromTwips(ClientWidth), PixelsFromTwips(ClientHeight));
    setCentralWidget(m_client);

    // In this order, which is also the order of the focus chain.
    CreateRules();
    CreateLabels();
    CreateProgressBar();
    CreateButtons();
    CreateCheckAndStatus();
}

void QtMainWindow::CreateRules() {
    // The etched rule along the top edge, under the menu bar.
    m_line1 = new LineWidget(QPalette::Dark, m_client);
    m_line1->setObjectName(QStringLiteral("Line1"));
    m_line1->setGeometry(RectFromTwips(0, 0, 6600, 15));
    m_line2 = new LineWidget(QPalette::Light, m_client);
    m_line2->setObjectName(QStringLiteral("Line2"));
    m_line2->setGeometry(RectFromTwips(15, 15, 6600, 15));
}

void QtMainWindow::CreateLabels() {
    const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
    m_label1 = MakeLabel(
        m_client, "Label1", RectFromTwips(600, 120, 5415, 975),
        DesignFont(QStringLiteral("Times New Roman"), 42, FontWeight::Bold, FontSlant::Italic),
        centred);
    m_label4 = MakeLabel(
        m_client, "Label4", RectFromTwips(5400, 720, 480, 210),
        DesignFont(QStringLiteral("Times New Roman"), 8.25, FontWeight::Normal, FontSlant::Italic),
        Qt::AlignRight | Qt::AlignTop);
    m_label4->setWordWrap(false);
    m_label4->setToolTip(QStringLiteral("Version #"));
    QPalette grey = m_label4->palette();
    grey.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
    m_label4->setPalette(grey);
    m_label2 = MakeLabel(
        m_client, "Label2", RectFromTwips(600, 1200, 5415, 375),
        DesignFont(QStringLiteral("Arial"), 12, FontWeight::Bold, FontSlant::Italic), centred);
    m_label3 =
        MakeLabel(m_client, "Label3", RectFromTwips(600, 1680, 5415, 735), DialogFont(), centred);
}

void QtMainWindow::CreateProgressBar() {
    m_progressBar1 = new ClassicProgressBar(m_client);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setGeometry(RectFromTwips(480, 3480, 5655, 615));
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);
    m_progressBar1->setToolTip(QStringLiteral("Stowix is READY ... Please click a button"));
}

void QtMainWindow::CreateButtons() {
    m_command1 = MakeButton(m_client, "Command1", RectFromTwips(480, 4320, 1815, 585),
                            QStringLiteral("&Backup"),
                            QStringLiteral("Click here to BACKUP your current configuration"));
    m_command2 = MakeButton(m_client, "Command2", RectFromTwips(2400, 4320, 1815, 585),
                            QStringLiteral("&Restore"),
                            QStringLiteral("Click here to RESTORE a configuration"));
    m_command3 =
        MakeButton(m_client, "Command3", RectFromTwips(4320, 4320, 1815, 585),
                   QStringLiteral("E&xit"), QStringLiteral("Click here to EXIT the program"));
    connect(m_command1, &QPushButton::clicked, this,
            [this] { Raise(&Form1Events::Command1_Click); });
    connect(m_command2, &QPushButton::clicked, this,
            [this] { Raise(&Form1Events::Command2_Click); });
    connect(m_command3, &QPushButton::clicked, this,
            [this] { Raise(&Form1Events::Command3_Click); });
}

void QtMainWindow::CreateCheckAndStatus() {
    m_check1 = new QCheckBox(QStringLiteral("&Automatically exit when done"), m_client);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->setGeometry(RectFromTwips(3720, 5040, 2415, 285));
    m_check1->setFont(DialogFont());
    m_check1->setFocusPolicy(Qt::StrongFocus);
    m_check1->setToolTip(QStringLiteral(
        "Click here to exit Stowix automatically when finished backing up or restoring"));

    m_statusBar1 = new StatusBarWidget(m_client);
    m_statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    m_statusBar1->setGeometry(RectFromTwips(0, 5415, ClientWidth, 375));
    m_statusBar1->setFont(DialogFont());
    m_statusBar1->setToolTip(QStringLiteral("Status messages are displayed here"));
}

void QtMainWindow::CreateMediaControls(std::unique_ptr<SoundOutput> soundOutput) {
    m_animation1 = new AnimationWidget(m_client);
    m_animation1->setObjectName(QStringLiteral("Animation1"));
    m_animation1->setGeometry(RectFromTwips(480, 2640, 5655, 615));
    m_animation1->setFocusPolicy(Qt::NoFocus);
    m_animation1->setToolTip(QStringLiteral("Don't get screwed by untested software! Use Stowix!"));

    // The sound control is never visible; it keeps its designed place for its name's sake.
    m_mmControl1 =
        new WaveSound(m_client, soundOutput ? std::move(soundOutput) : MakeAudioDeviceOutput());
    m_mmControl1->setObjectName(QStringLiteral("MMControl1"));
    m_mmControl1->setGeometry(RectFromTwips(120, 120, 390, 330));
    m_mmControl1->hide();
}

QAction* QtMainWindow::AddItem(QMenu* menu, const char* name, const QString& caption,
                               const QKeySequence& key, std::function<void()> Form1Events::*event) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    item->setShortcut(key);
    item->setShortcutContext(Qt::WindowShortcut);
    connect(item, &QAction::triggered, this, [this, event] { Raise(event); });
    return item;
}

void QtMainWindow::CreateMenus() {
    QMenuBar* bar = menuBar();
    bar->setFont(DialogFont());
    bar->setNativeMenuBar(false);

    m_fileMenu = bar->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("FileMenu"));
    m_fileMenu->menuAction()->setObjectName(QStringLiteral("FileMenu"));
    m_fileMenu->setFont(DialogFont());
    AddItem(m_fileMenu, "BackupMenu", QStringLiteral("&Backup"),
            QKeySequence(QStringLiteral("Ctrl+B")), &Form1Events::BackupMenu_Click);
    AddItem(m_fileMenu, "RestoreMenu", QStringLiteral("&Restore"),
            QKeySequence(QStringLiteral("Ctrl+R")), &Form1Events::RestoreMenu_Click);
    m_fileMenu->addSeparator();
    AddItem(m_fileMenu, "AddCommentMenu", QStringLiteral("&Add comment ..."),
            QKeySequence(QStringLiteral("Ctrl+C")), &Form1Events::AddCommentMenu_Click);
    AddItem(m_fileMenu, "DeleteMenu", QStringLiteral("&Delete ..."),
            QKeySequence(QStringLiteral("Ctrl+D")), &Form1Events::DeleteMenu_Click);
    m_fileMenu->addSeparator();
    AddItem(m_fileMenu, "InfoMenu", QStringLiteral("&Info"), QKeySequence(QStringLiteral("Ctrl+I")),
            &Form1Events::InfoMenu_Click);
    m_fileMenu->addSeparator();
    AddItem(m_fileMenu, "ExitMenu", QStringLiteral("E&xit"), QKeySequence(QStringLiteral("Ctrl+Q")),
            &Form1Events::ExitMenu_Click);

    m_helpMenu = bar->addMenu(QStringLiteral("&Help"));
    m_helpMenu->setObjectName(QStringLiteral("HelpMenu"));
    m_helpMenu->menuAction()->setObjectName(QStringLiteral("HelpMenu"));
    m_helpMenu->setFont(DialogFont());
    AddItem(m_helpMenu, "AboutMenu", QStringLiteral("&About Stowix"), QKeySequence(Qt::Key_F1),
            &Form1Events::AboutMenu_Click);
    AddItem(m_helpMenu, "TipsMenu", QStringLiteral("&Tips"), QKeySequence(Qt::Key_F2),
            &Form1Events::TipsMenu_Click);
}

void QtMainWindow::AddOpenDriveItem(std::function<void()> handler) {
    m_fileMenu->addSeparator();
    QAction* item = m_fileMenu->addAction(QStringLiteral("&Open Windows Drive ..."));
    item->setObjectName(QStringLiteral("OpenDriveMenu"));
    item->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    item->setShortcutContext(Qt::WindowShortcut);
    connect(item, &QAction::triggered, this, std::move(handler));
}

void QtMainWindow::NameDrive(const QString& driveName) {
    setWindowTitle(driveName.isEmpty() ? QStringLiteral("Stowix")
                                       : QStringLiteral("Stowix - ") + driveName);
}

void QtMainWindow::AcceptDroppedDrive(std::function<void(const QString& path)> handler) {
    m_dropped = std::move(handler);
    setAcceptDrops(true);
}

namespace {

// The local path of a drop that holds one local file or folder; empty otherwise.
QString DroppedPath(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return QString();
    const QUrl url = data->urls().first();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void QtMainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (m_dropped && !DroppedPath(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void QtMainWindow::dropEvent(QDropEvent* event) {
    const QString path = DroppedPath(event->mimeData());
    if (!m_dropped || path.isEmpty()) return;
    event->acceptProposedAction();
    m_dropped(path);
}

void QtMainWindow::CreateShortcuts() {
    // The Exit button is the window's cancel button: Escape presses it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("Command3Cancel"));
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_command3->isEnabled() && m_command3->isVisible()) m_command3->click();
    });
}

void QtMainWindow::SetFocusOrder() {
    setTabOrder(m_command1, m_command2);
    setTabOrder(m_command2, m_command3);
    setTabOrder(m_command3, m_check1);
    m_command1->setFocus(Qt::OtherFocusReason);
}

void QtMainWindow::CreateAdapters() {
    m_form = std::make_unique<WindowControl>(this);
    m_command1Control = std::make_unique<WidgetControl>(m_command1);
    m_command2Control = std::make_unique<WidgetControl>(m_command2);
    m_command3Control = std::make_unique<WidgetControl>(m_command3);
    m_check1Control = std::make_unique<CheckBoxControl>(m_check1);
    m_label1Control = std::make_unique<LabelControl>(m_label1);
    m_label2Control = std::make_unique<LabelControl>(m_label2);
    m_label3Control = std::make_unique<LabelControl>(m_label3);
    m_label4Control = std::make_unique<LabelControl>(m_label4, AutoSize::KeepLeftEdge);
    m_progressBar1Control = std::make_unique<ProgressBarControl>(m_progressBar1);
    m_statusBar1Control = std::make_unique<StatusBarControl>(m_statusBar1);
    m_fileMenuControl = std::make_unique<MenuControl>(m_fileMenu);
    m_helpMenuControl = std::make_unique<MenuControl>(m_helpMenu);
}

void QtMainWindow::Raise(std::function<void()> Form1Events::*event) {
    // A copy: the handler may replace the window's events while it runs.
    const std::function<void()> handler = m_events.*event;
    if (handler) handler();
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    // The frame's close button only reports: the logic ends the program, which takes the window
    // with it. Without a handler the window simply closes.
    if (!m_events.Form_Close) {
        event->accept();
        return;
    }
    event->ignore();
    Raise(&Form1Events::Form_Close);
}

Window& QtMainWindow::Form() { return *m_form; }
Control& QtMainWindow::Command1() { return *m_command1Control; }
Control& QtMainWindow::Command2() { return *m_command2Control; }
Control& QtMainWindow::Command3() { return *m_command3Control; }
CheckBox& QtMainWindow::Check1() { return *m_check1Control; }
Label& QtMainWindow::Label1() { return *m_label1Control; }
Label& QtMainWindow::Label2() { return *m_label2Control; }
Label& QtMainWindow::Label3() { return *m_label3Control; }
Label& QtMainWindow::Label4() { return *m_label4Control; }
ProgressBar& QtMainWindow::ProgressBar1() { return *m_progressBar1Control; }
StatusBar& QtMainWindow::StatusBar1() { return *m_statusBar1Control; }
Animation& QtMainWindow::Animation1() { return *m_animation1; }
MultimediaControl& QtMainWindow::MMControl1() { return *m_mmControl1; }
Control& QtMainWindow::FileMenu() { return *m_fileMenuControl; }
Control& QtMainWindow::HelpMenu() { return *m_helpMenuControl; }

}  // namespace stowix
