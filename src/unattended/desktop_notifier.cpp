#include "unattended/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace stowix {

namespace {

// The urgency hint's "critical": the notice stays until the user closes it, as a failed backup
// should.
constexpr uchar CriticalUrgency = 2;
// A desktop that does not answer within this long shows nothing, rather than hold the run.
constexpr int AnswerTimeoutMs = 10000;

}  // namespace

Status NotifyDesktop(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Status::Fail(QStringLiteral("no session bus"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(CriticalUrgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("stowix"));
    call << QStringLiteral("Stowix") << uint(0) << QStringLiteral("stowix") << summary << body
         << QStringList() << hints << int(0);
    const QDBusMessage answer = bus.call(call, QDBus::Block, AnswerTimeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage)
        return Status::Fail(answer.errorName() + QStringLiteral(": ") + answer.errorMessage());
    return Status::Ok();
}

}  // namespace stowix
