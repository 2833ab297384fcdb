// stowix-bench-minimal-qt: the least a Qt Widgets program does, the baseline for the start-up
// time and memory of an unattended run: a QApplication on the offscreen platform, one window
// shown, then exit through the event loop.

#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QWidget window;
    window.show();
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    return QApplication::exec();
}
