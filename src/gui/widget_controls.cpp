#include "gui/widget_controls.h"

#include "gui/status_bar_widget.h"
#include "gui/twips.h"

#include <QAction>
#include <QCheckBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace stowix {

QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

WidgetControl::WidgetControl(QWidget* widget) : m_widget(widget) {}

void WidgetControl::SetEnabled(bool enabled) {
    if (m_widget) m_widget->setEnabled(enabled);
}

bool WidgetControl::IsEnabled() const { return m_widget && m_widget->isEnabled(); }

MenuControl::MenuControl(QMenu* menu) : m_menu(menu) {}

void MenuControl::SetEnabled(bool enabled) {
    if (!m_menu) return;
    m_menu->menuAction()->setEnabled(enabled);
    m_menu->setEnabled(enabled);
    // An item's shortcut answers to the item alone, so each item is greyed with its menu.
    for (QAction* item : m_menu->actions())
        if (!item->isSeparator()) item->setEnabled(enabled);
}

bool MenuControl::IsEnabled() const { return m_menu && m_menu->menuAction()->isEnabled(); }

CheckBoxControl::CheckBoxControl(QCheckBox* box) : m_box(box) {
    // toggled is emitted for the user's click and for setChecked alike, and only on a change.
    QObject::connect(box, &QCheckBox::toggled, box, [this] {
        if (m_click) m_click();
    });
}

void CheckBoxControl::SetEnabled(bool enabled) {
    if (m_box) m_box->setEnabled(enabled);
}

bool CheckBoxControl::IsEnabled() const { return m_box && m_box->isEnabled(); }

int CheckBoxControl::Value() const { return m_box && m_box->isChecked() ? 1 : 0; }

void CheckBoxControl::SetValue(int value) {
    if (m_box) m_box->setChecked(value != 0);
}

void CheckBoxControl::SetClickHandler(std::function<void()> handler) {
    m_click = std::move(handler);
}

LabelControl::LabelControl(QLabel* label, AutoSize autoSize)
    : m_label(label), m_autoSize(autoSize), m_caption(label->text()) {}

void LabelControl::SetCaption(const QString& caption) {
    m_caption = caption;
    if (!m_label) return;
    m_label->setText(DisplayText(caption));
    if (m_autoSize == AutoSize::KeepLeftEdge) {
        const QSize fitted = m_label->sizeHint();
        m_label->setGeometry(m_label->x(), m_label->y(), fitted.width(), fitted.height());
    }
}

ProgressBarControl::ProgressBarControl(QProgressBar* bar) : m_bar(bar) {}

int ProgressBarControl::Value() const { return m_bar ? m_bar->value() : 0; }

void ProgressBarControl::SetValue(int value) {
    if (m_bar) m_bar->setValue(std::clamp(value, 0, 100));
}

bool ProgressBarControl::IsVisible() const { return m_bar && !m_bar->isHidden(); }

void ProgressBarControl::SetVisible(bool visible) {
    if (m_bar) m_bar->setVisible(visible);
}

StatusBarControl::StatusBarControl(StatusBarWidget* bar) : m_bar(bar) {}

QString StatusBarControl::Text() const { return m_bar ? m_bar->Text() : QString(); }

void StatusBarControl::SetText(const QString& text) {
    if (m_bar) m_bar->SetText(text);
}

WindowControl::WindowControl(QWidget* window, std::function<void()> afterShow)
    : m_window(window), m_afterShow(std::move(afterShow)) {}

void WindowControl::Show() {
    if (!m_window) return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (m_afterShow) m_afterShow();
}

void WindowControl::Hide() {
    if (m_window) m_window->hide();
}

bool WindowControl::IsVisible() const { return m_window && m_window->isVisible(); }

void WindowControl::Repaint() {
    // Paints the window and all its children now, from the backing store, without running the
    // event loop: no input is taken while a command runs.
    if (m_window) m_window->repaint();
}

void WindowControl::SetCaption(const QString& caption) {
    if (m_window) m_window->setWindowTitle(DisplayText(caption));
}

void WindowControl::SetNormalState() {
    if (m_window)
        m_window->setWindowState(m_window->windowState() &
                                 ~(Qt::WindowMinimized | Qt::WindowMaximized));
}

void WindowControl::SetMousePointer(int pointer) {
    if (!m_window) return;
    // The pointer codes of the program's toolkit that it uses: 11 hourglass, 13 arrow with
    // hourglass; 0 and any other code give the default pointer.
    switch (pointer) {
    case 11: m_window->setCursor(Qt::WaitCursor); break;
    case 13: m_window->setCursor(Qt::BusyCursor); break;
    default: m_window->unsetCursor(); break;
    }
}

namespace {
// The window with its frame (title bar and borders). The frame is known only once the window
// has its platform window, so that is made first: a window centred before it is first shown
// must be centred with its frame, not only its client area.
QRect FrameOf(QWidget* window) {
    if (!window->testAttribute(Qt::WA_WState_Created)) (void)window->winId();
    return window->frameGeometry();
}
}  // namespace

int WindowControl::Width() const {
    return m_window ? TwipsFromPixels(FrameOf(m_window).width()) : 0;
}

int WindowControl::Height() const {
    return m_window ? TwipsFromPixels(FrameOf(m_window).height()) : 0;
}

namespace {
QRect ScreenGeometry(const QWidget* window) {
    const QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}
}  // namespace

int WindowControl::ScreenWidth() const { return TwipsFromPixels(ScreenGeometry(m_window).width()); }

int WindowControl::ScreenHeight() const {
    return TwipsFromPixels(ScreenGeometry(m_window).height());
}

void WindowControl::Move(int left, int top) {
    if (m_window) m_window->move(PixelsFromTwips(left), PixelsFromTwips(top));
}

}  // namespace stowix
