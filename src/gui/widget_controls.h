#pragma once
// The control interfaces that the logic sees, implemented over Qt widgets. Each adapter is a
// thin, non-owning view: the window owns the widget, and the adapter lives as long as the window.
// Texts keep the program's carriage returns; they are shown as line breaks.

#include "view/controls.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QWidget;

namespace stowix {

class StatusBarWidget;

// The program's line breaks (CR, or CR LF) as Qt shows them (LF).
QString DisplayText(const QString& text);

// A button or any other widget that can be greyed.
class WidgetControl : public Control {
public:
    explicit WidgetControl(QWidget* widget);
    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override;

private:
    QPointer<QWidget> m_widget;
};

// A top-level menu. Greying it greys its title and every item, so that no item's shortcut works
// while the menu is disabled.
class MenuControl : public Control {
public:
    explicit MenuControl(QMenu* menu);
    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override;

private:
    QPointer<QMenu> m_menu;
};

// A check box whose click handler runs on every change of its value, whether the user clicks it
// or the program sets it. Values: 0 unchecked, 1 checked; any other value reads as checked.
class CheckBoxControl : public CheckBox {
public:
    explicit CheckBoxControl(QCheckBox* box);
    void SetEnabled(bool enabled) override;
    bool IsEnabled() const override;
    int Value() const override;
    void SetValue(int value) override;
    void SetClickHandler(std::function<void()> handler) override;

private:
    QPointer<QCheckBox> m_box;
    std::function<void()> m_click;
};

enum class AutoSize { No, KeepLeftEdge };

// A label. With AutoSize::KeepLeftEdge the label fits its width to its caption and keeps its
// left edge where it was laid out, as a label that sizes itself does whatever its alignment.
class LabelControl : public Label {
public:
    LabelControl(QLabel* label, AutoSize autoSize = AutoSize::No);
    QString Caption() const override { return m_caption; }
    void SetCaption(const QString& caption) override;

private:
    QPointer<QLabel> m_label;
    AutoSize m_autoSize;
    QString m_caption;  // as set, carriage returns included
};

class ProgressBarControl : public ProgressBar {
public:
    explicit ProgressBarControl(QProgressBar* bar);
    int Value() const override;
    void SetValue(int value) override;  // clamped to 0 to 100
    bool IsVisible() const override;
    void SetVisible(bool visible) override;

private:
    QPointer<QProgressBar> m_bar;
};

class StatusBarControl : public StatusBar {
public:
    explicit StatusBarControl(StatusBarWidget* bar);
    QString Text() const override;
    void SetText(const QString& text) override;

private:
    QPointer<StatusBarWidget> m_bar;
};

// A top-level window. Twips convert to pixels at 15 to one; sizes and positions are the outer
// frame's. afterShow runs each time Show has made the window visible (the window's activation).
class WindowControl : public Window {
public:
    explicit WindowControl(QWidget* window, std::function<void()> afterShow = {});
    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    void Repaint() override;
    void SetCaption(const QString& caption) override;
    void SetNormalState() override;
    void SetMousePointer(int pointer) override;
    int Width() const override;
    int Height() const override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    void Move(int left, int top) override;

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_afterShow;
};

}  // namespace stowix
