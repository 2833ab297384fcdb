#include "dos/dos_path.h"

namespace stowix {

namespace {

bool IsSeparator(QChar character) { return character == u'\\' || character == u'/'; }

bool IsDriveLetter(QChar character) {
    const char16_t unit = character.unicode();
    return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
}

}  // namespace

QString DosPath::Text() const {
    QString text = QChar(drive) + QStringLiteral(":\\");
    text += components.join(u'\\');
    return text;
}

std::optional<DosPath> ParseDosPath(QStringView text, char16_t currentDrive,
                                    const CurrentFolderLookup& currentFolder) {
    const qsizetype end = text.indexOf(QChar(u'\0'));
    if (end >= 0) text = text.left(end);
    if (text.isEmpty()) return std::nullopt;

    DosPath path;
    path.drive = currentDrive;
    if (text.size() >= 2 && text[1] == u':' && IsDriveLetter(text[0])) {
        path.drive = text[0].toUpper().unicode();
        text = text.mid(2);
    } else if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        return std::nullopt;  // a network or device path: no drive folder holds it
    }

    if (text.isEmpty() || !IsSeparator(text[0])) path.components = currentFolder(path.drive);

    for (QStringView component : text.tokenize(u'\\')) {
        for (QStringView part : component.tokenize(u'/')) {
            if (part.isEmpty() || part == u".") continue;
            if (part == u"..") {
                if (!path.components.isEmpty()) path.components.removeLast();
                continue;
            }
            path.components.append(part.toString());
        }
    }
    return path;
}

}  // namespace stowix
