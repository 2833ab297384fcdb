#pragma once
// A status bar that shows one text over its whole width, in a sunken panel, as the classic
// simple-mode status bar does. It takes no focus and has no size grip: the windows are fixed.

#include <QString>
#include <QWidget>

namespace stowix {

class StatusBarWidget : public QWidget {
    Q_OBJECT
public:
    explicit StatusBarWidget(QWidget* parent = nullptr);
    QString Text() const { return m_text; }  // as set, carriage returns included
    void SetText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};

}  // namespace stowix
