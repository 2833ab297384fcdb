#include "gui/accessible_widgets.h"

#include "gui/status_bar_widget.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace stowix {

namespace {

class StatusBarAccessible : public QAccessibleWidget {
public:
    explicit StatusBarAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::StatusBar) {}

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name && kind != QAccessible::Value)
            return QAccessibleWidget::text(kind);
        // Line breaks of the program's texts are carriage returns.
        QString text = static_cast<const StatusBarWidget*>(widget())->Text();
        return text.replace(u'\r', u'\n');
    }
};

class AnimationAccessible : public QAccessibleWidget {
public:
    explicit AnimationAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Animation) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) return QStringLiteral("Animation");
        if (kind == QAccessible::Description)
            return QStringLiteral(
                "An animation of files being copied, which plays while Stowix "
                "backs up");
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* MakeInterface(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("stowix::StatusBarWidget"))
        return new StatusBarAccessible(widget);
    if (className == QLatin1String("stowix::AnimationWidget"))
        return new AnimationAccessible(widget);
    return nullptr;
}

}  // namespace

void InstallAccessibleWidgets() {
    static const bool installed = [] {
        QAccessible::installFactory(MakeInterface);
        return true;
    }();
    (void)installed;
}

}  // namespace stowix
