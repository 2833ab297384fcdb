#include "dos/name_rules.h"

#include "dos/name_case.h"

namespace stowix {

namespace {

bool IsReservedCharacter(char16_t unit) {
    if (unit < 0x20) return true;
    switch (unit) {
    case u'<':
    case u'>':
    case u':':
    case u'"':
    case u'/':
    case u'\\':
    case u'|':
    case u'?':
    case u'*': return true;
    default: return false;
    }
}

// Windows takes the part before the first dot, less trailing blanks, as the device's name, so
// "nul.txt" and "CON .log" are devices too.
bool IsDeviceName(QStringView name) {
    QStringView base = name.left(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    while (!base.isEmpty() && base.back() == u' ') base.chop(1);
    static const char16_t* const plain[] = {u"CON", u"PRN", u"AUX", u"NUL"};
    for (const char16_t* device : plain) {
        if (SameNameIgnoringCase(base, QStringView(device))) return true;
    }
    if (base.size() == 4 && base[3] >= u'1' && base[3] <= u'9') {
        const QStringView stem = base.left(3);
        return SameNameIgnoringCase(stem, u"COM") || SameNameIgnoringCase(stem, u"LPT");
    }
    return false;
}

}  // namespace

QString NameRefusal(QStringView name) {
    if (name.isEmpty()) return QStringLiteral("The name is empty");
    for (QChar character : name) {
        if (IsReservedCharacter(character.unicode())) {
            if (character.unicode() < 0x20)
                return QStringLiteral(
                    "The name holds a control character, which Windows does "
                    "not allow in a name");
            return QStringLiteral(
                       "The name holds the character %1, which Windows does not "
                       "allow in a name")
                .arg(character);
        }
    }
    if (IsDeviceName(name))
        return QStringLiteral(
            "The name is that of a Windows device, which Windows does not "
            "allow as a file or folder name");
    return QString();
}

}  // namespace stowix
