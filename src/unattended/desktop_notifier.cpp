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

// Whether the service reads markup in a body (its "body-markup" capability). A service that
// does not answer is taken to read it: an escaped body shows its entities at worst, where markup
// from the drive (a link, say) would be shown as the service's own.
bool ReadsBodyMarkup(QDBusConnection& bus) {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetCapabilities"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, AnswerTimeoutMs);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) return true;
    return answer.arguments().first().toStringList().contains(QStringLiteral("body-markup"));
}

}  // namespace

Status NotifyDesktop(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Status::Fail(QStringLiteral("no session bus"));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // The body is text from the drive: a service that reads the body as markup gets it escaped
    // (&amp; &lt; &gt;), so that a name from the drive can never become a link; a service
    // without markup shows it as it is.
    const QString shownBody = ReadsBodyMarkup(bus) ? body.toHtmlEscaped() : body;
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(CriticalUrgency));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("stowix"));
    call << QStringLiteral("Stowix") << uint(0) << QStringLiteral("stowix") << summary << shownBody
         << QStringList() << hints << int(0);
    const QDBusMessage answer = bus.call(call, QDBus::Block, AnswerTimeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage)
        return Status::Fail(answer.errorName() + QStringLiteral(": ") + answer.errorMessage());
    return Status::Ok();
}

}  // namespace stowix
