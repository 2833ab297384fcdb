#pragma once
// The main window, Form1, as Qt widgets: a fixed-size frame titled "Stowix" with the program's
// title labels, the animation strip, the progress bar, the Backup, Restore and Exit buttons, the
// automatic-exit check box, the status bar, a hidden sound control and the File and Help menus.
// Every widget's object name is its control's name. The window shows the controls and reports
// the user's clicks, menu items and shortcuts as Form1Events; it runs no command itself, and
// closing it through its frame only reports Form_Close (the logic decides to end the program).

#include "gui/sound_output.h"
#include "view/form1_controls.h"

#include <QMainWindow>
#include <QString>

#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

namespace stowix {

class AnimationWidget;
class CheckBoxControl;
class LabelControl;
class LineWidget;
class MenuControl;
class ProgressBarControl;
class StatusBarControl;
class StatusBarWidget;
class WaveSound;
class WidgetControl;
class WindowControl;

class QtMainWindow : public QMainWindow, public Form1Controls {
    Q_OBJECT
public:
    // programFolder: the host folder of the running program, where the icon images lie; an empty
    // folder or missing images leave the desktop's default icon. soundOutput: where MMControl1
    // plays; none means the desktop's default audio device.
    explicit QtMainWindow(const QString& programFolder = QString(),
                          std::unique_ptr<SoundOutput> soundOutput = nullptr,
                          QWidget* parent = nullptr);
    ~QtMainWindow() override;

    // What the buttons, menu items, shortcuts and the frame start. Until set, they do nothing.
    void SetEvents(Form1Events events);
    // The File menu's last item, "Open Windows Drive ..." (Ctrl+O): switches to another drive.
    void AddOpenDriveItem(std::function<void()> handler);
    // Names the drive the window works on in its title: "Stowix - win98.qcow2".
    void NameDrive(const QString& driveName);
    // A folder or disk file dropped on the window: handler gets its local path.
    void AcceptDroppedDrive(std::function<void(const QString& path)> handler);

    Window& Form() override;
    Control& Command1() override;
    Control& Command2() override;
    Control& Command3() override;
    CheckBox& Check1() override;
    Label& Label1() override;
    Label& Label2() override;
    Label& Label3() override;
    Label& Label4() override;
    ProgressBar& ProgressBar1() override;
    StatusBar& StatusBar1() override;
    Animation& Animation1() override;
    MultimediaControl& MMControl1() override;
    Control& FileMenu() override;
    Control& HelpMenu() override;

    // The client area below the menu bar, 441 by 386 pixels; the controls lie in it.
    QWidget* ClientArea() const { return m_client; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The client area and its controls, through the five steps below.
    void CreateControls();
    void CreateRules();
    void CreateLabels();
    void CreateProgressBar();
    void CreateButtons();
    void CreateCheckAndStatus();
    void CreateMediaControls(std::unique_ptr<SoundOutput> soundOutput);
    void CreateMenus();
    void CreateShortcuts();
    void SetFocusOrder();
    void CreateAdapters();
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& key,
                     std::function<void()> Form1Events::*event);
    void Raise(std::function<void()> Form1Events::*event);

    Form1Events m_events;

    QWidget* m_client = nullptr;
    LineWidget* m_line1 = nullptr;
    LineWidget* m_line2 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label3 = nullptr;
    QLabel* m_label4 = nullptr;
    AnimationWidget* m_animation1 = nullptr;
    WaveSound* m_mmControl1 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QCheckBox* m_check1 = nullptr;
    StatusBarWidget* m_statusBar1 = nullptr;
    QMenu* m_fileMenu = nullptr;
    std::function<void(const QString& path)> m_dropped;
    QMenu* m_helpMenu = nullptr;

    std::unique_ptr<WindowControl> m_form;
    std::unique_ptr<WidgetControl> m_command1Control, m_command2Control, m_command3Control;
    std::unique_ptr<CheckBoxControl> m_check1Control;
    std::unique_ptr<LabelControl> m_label1Control, m_label2Control, m_label3Control,
        m_label4Control;
    std::unique_ptr<ProgressBarControl> m_progressBar1Control;
    std::unique_ptr<StatusBarControl> m_statusBar1Control;
    std::unique_ptr<MenuControl> m_fileMenuControl, m_helpMenuControl;
};

}  // namespace stowix
