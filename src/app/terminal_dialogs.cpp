#include "app/terminal_dialogs.h"

#include "files/escaped_text.h"

#include <QStringList>

#include <cstdio>

namespace stowix {

QString TerminalDialogs::DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

MessageAnswer TerminalDialogs::MessageBox(const QString& text, MessageButtons buttons, MessageIcon,
                                          const QString& title, const QString&) {
    QStringList lines = QString(title + QStringLiteral(": ") + DisplayText(text)).split(u'\n');
    for (QString& line : lines) line = EscapedText(line);
    const QByteArray shown = lines.join(u'\n').toLocal8Bit();
    std::fprintf(stderr, "%s\n", shown.constData());
    std::fflush(stderr);
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

QString TerminalDialogs::InputBox(const QString&, const QString&) { return QString(); }

}  // namespace stowix
