#include "gui/classic_look.h"

#include "gui/deferred_icon_engine.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPointer>
#include <QProxyStyle>
#include <QSet>
#include <QStringList>
#include <QStyle>
#include <QStyleFactory>
#include <QToolTip>

namespace stowix {

namespace {

QStringList WithStandIns(const QString& family) {
    if (family == QLatin1String("Times New Roman"))
        return {family, QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")};
    if (family == QLatin1String("Arial"))
        return {family, QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    if (family == QLatin1String("MS Sans Serif"))
        return {family, QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                QStringLiteral("DejaVu Sans")};
    return {family};
}

// The installed families, read once. Empty before there is a GUI application to ask.
const QSet<QString>& InstalledFamilies() {
    static QSet<QString> families;
    static bool read = false;
    if (!read && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        for (const QString& name : QFontDatabase::families()) families.insert(name.toCaseFolded());
        read = true;
    }
    return families;
}

// The first installed family of the list, alone; the whole list when none is installed. A font
// that names a family that is not installed, or names further families, makes Qt ask fontconfig
// for its whole sorted list of fallbacks as soon as the font is first measured (a costly query,
// once per face); a font of one installed family asks only when a character is missing from
// it. The face drawn is the same: the first installed family of the list.
QStringList FirstInstalled(const QStringList& families) {
    const QSet<QString>& installed = InstalledFamilies();
    for (const QString& family : families)
        if (installed.contains(family.toCaseFolded())) return {family};
    return families;
}

// The Windows style, except that the menu bar's overflow arrow is made when it is first drawn.
// Qt makes the style's icons from image files whose format it learns by asking every image
// plugin, which loads them all (and the libraries they need); every menu bar makes that arrow
// when it is made, although a menu bar as short as the program's never shows it.
class ClassicStyle final : public QProxyStyle {
public:
    explicit ClassicStyle(QStyle* windows) : QProxyStyle(windows) {}

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option,
                       const QWidget* widget) const override {
        const bool deferred = option == nullptr && (icon == SP_ToolBarHorizontalExtensionButton ||
                                                    icon == SP_ToolBarVerticalExtensionButton);
        if (!deferred) return QProxyStyle::standardIcon(icon, option, widget);
        const QPointer<const QStyle> base(baseStyle());
        const QPointer<const QWidget> owner(widget);
        return QIcon(new DeferredIconEngine([base, owner, icon] {
            return base ? base->standardIcon(icon, nullptr, owner.data()) : QIcon();
        }));
    }
};

}  // namespace

QFont DesignFont(const QString& family, qreal pointSize, FontWeight weight, FontSlant slant) {
    QFont font;
    font.setFamilies(FirstInstalled(WithStandIns(family)));
    font.setPointSizeF(pointSize);
    font.setBold(weight == FontWeight::Bold);
    font.setItalic(slant == FontSlant::Italic);
    // The designed faces were bitmap or hinted fonts; full hinting keeps small captions crisp.
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

QFont DialogFont() { return DesignFont(QStringLiteral("MS Sans Serif"), 8.25); }

QPalette ClassicPalette() {
    const QColor face(0xC0, 0xC0, 0xC0);
    const QColor shadow(0x80, 0x80, 0x80);
    const QColor highlight(0xFF, 0xFF, 0xFF);
    const QColor light3d(0xDF, 0xDF, 0xDF);
    const QColor darkShadow(0x00, 0x00, 0x00);
    const QColor navy(0x00, 0x00, 0x80);

    QPalette palette(Qt::black, face, highlight, shadow, face, Qt::black, Qt::white);
    palette.setColor(QPalette::Light, highlight);
    palette.setColor(QPalette::Midlight, light3d);
    palette.setColor(QPalette::Dark, shadow);
    palette.setColor(QPalette::Mid, shadow);
    palette.setColor(QPalette::Shadow, darkShadow);
    palette.setColor(QPalette::Highlight, navy);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Link, navy);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, shadow);
    palette.setColor(QPalette::Disabled, QPalette::Base, face);
    palette.setColor(QPalette::Disabled, QPalette::Light, highlight);
    palette.setColor(QPalette::Inactive, QPalette::Highlight, navy);
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::white);
    return palette;
}

void ApplyClassicLook(QApplication& application) {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        application.setStyle(new ClassicStyle(style));
    application.setPalette(ClassicPalette());
    application.setFont(DialogFont());
    QToolTip::setPalette(ClassicPalette());
    QToolTip::setFont(DialogFont());
}

}  // namespace stowix
