#include "platform/qt/classic_look.h"

#include <QApplication>
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

}  // namespace

QFont DesignFont(const QString& family, qreal pointSize, FontWeight weight, FontSlant slant) {
    QFont font;
    font.setFamilies(WithStandIns(family));
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
        application.setStyle(style);
    application.setPalette(ClassicPalette());
    application.setFont(DialogFont());
    QToolTip::setPalette(ClassicPalette());
    QToolTip::setFont(DialogFont());
}

}  // namespace stowix
