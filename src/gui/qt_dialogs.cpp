#include "gui/qt_dialogs.h"

#include "app/terminal_dialogs.h"

#include <QApplication>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace stowix {

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QtDialogs::QtDialogs(DialogMode mode) : m_mode(mode) {}

bool QtDialogs::DisplayIsAbsent() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

QString QtDialogs::DisplayText(const QString& text) { return TerminalDialogs::DisplayText(text); }

MessageAnswer QtDialogs::MessageBox(const QString& text, MessageButtons buttons, MessageIcon icon,
                                    const QString& title, const QString& details) {
    const bool question = buttons == MessageButtons::YesNo;
    if (m_mode == DialogMode::Unattended)
        return TerminalDialogs().MessageBox(text, buttons, icon, title, details);

    QMessageBox box(BoxIcon(icon), title, DisplayText(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    if (!details.isEmpty()) box.setDetailedText(DisplayText(details));
    if (!question) {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        return MessageAnswer::Ok;
    }
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Yes) ? MessageAnswer::Yes
                                                               : MessageAnswer::No;
}

QString QtDialogs::InputBox(const QString& prompt, const QString& title) {
    if (m_mode == DialogMode::Unattended) return QString();
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(DisplayText(prompt));
    dialog.setTextValue(QString());
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.textValue();
}

}  // namespace stowix
