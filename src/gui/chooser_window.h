#pragma once
// The folder chooser, Form2, as Qt widgets: a fixed-size frame with the folder list Dir1, the
// Done button, a progress bar (hidden until a run shows it) and a status bar. Every widget's
// object name is its control's name. Show raises Form_Activate once the window is visible; Done
// and Escape raise Command1_Click; closing through the frame only reports Form_Close.

#include "fs/file_system.h"
#include "view/form2_controls.h"

#include <QString>
#include <QWidget>

#include <memory>

class QProgressBar;
class QPushButton;

namespace stowix {

class FolderListWidget;
class ProgressBarControl;
class StatusBarControl;
class StatusBarWidget;
class WidgetControl;
class WindowControl;

class QtChooserWindow : public QWidget, public Form2Controls {
    Q_OBJECT
public:
    // Non-owning: the file system whose folders Dir1 lists outlives the window.
    explicit QtChooserWindow(FileSystem& files, QWidget* parent = nullptr);
    ~QtChooserWindow() override;

    // What Done, the frame and each showing start. Until set, they do nothing.
    void SetEvents(Form2Events events);

    Window& Form() override;
    Control& Command1() override;
    FolderList& Dir1() override;
    ProgressBar& ProgressBar1() override;
    StatusBar& StatusBar1() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls(FileSystem& files);
    void CreateShortcuts();
    void SetFocusOrder();
    void CreateAdapters();
    void Raise(std::function<void()> Form2Events::*event);

    Form2Events m_events;

    FolderListWidget* m_dir1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QProgressBar* m_progressBar1 = nullptr;
    StatusBarWidget* m_statusBar1 = nullptr;

    std::unique_ptr<WindowControl> m_form;
    std::unique_ptr<WidgetControl> m_command1Control;
    std::unique_ptr<ProgressBarControl> m_progressBar1Control;
    std::unique_ptr<StatusBarControl> m_statusBar1Control;
};

}  // namespace stowix
