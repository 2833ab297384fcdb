// notification_listener COMMAND [ARGUMENT ...]: owns org.freedesktop.Notifications on the session
// bus, runs the command, and prints each notice sent to it as one line
// "notice: <summary> | <body with its line breaks as ' / '>" on standard output, while the
// command runs. Ends with the command's status. For the tests of a failed run's notice, under
// dbus-run-session.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QProcess>
#include <QTextStream>
#include <QVariantMap>

class Notifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public Q_SLOTS:
    // As a desktop that shows markup in a body.
    QStringList GetCapabilities() {
        return {QStringLiteral("body"), QStringLiteral("body-markup")};
    }
    uint Notify(const QString& application, uint, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        QString shown = body;
        shown.replace(u'\n', QStringLiteral(" / "));
        QTextStream(stdout) << "notice: " << application << ": " << summary << " | " << shown
                            << Qt::endl;
        return ++m_count;
    }

private:
    uint m_count = 0;
};

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QStringList command = application.arguments().mid(1);
    if (command.isEmpty()) return 2;
    Notifications notifications;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
        QTextStream(stderr) << "cannot serve notifications: " << bus.lastError().message()
                            << Qt::endl;
        return 2;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QObject::connect(&process, &QProcess::finished, &application,
                     [&](int status, QProcess::ExitStatus) { application.exit(status); });
    process.start(command.takeFirst(), command);
    if (!process.waitForStarted()) return 2;
    return application.exec();
}

#include "notification_listener.moc"
