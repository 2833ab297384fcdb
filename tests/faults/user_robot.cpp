// A stand-in for the user, preloaded (LD_PRELOAD) into the real stowix on a real X display, so
// that the fault suite can run the commands that only the windows reach: a restore chosen in the
// folder list, a comment typed into the input box, the answers to the questions. It acts through
// the widgets the program made, found by their object names, as a user's clicks would.
//
// STOWIX_ROBOT_SCRIPT holds one step a line, taken in order:
//   click <Window>.<Button>  a push button of a top-level window ("click Form1.Command2")
//   trigger <Action>         a menu item of the main window ("trigger AddCommentMenu")
//   open <DOS path>          a double-click on that entry of the folder list Dir1
//   answer Yes|No|Ok         the button to press in the next message box
//   type <text>              the text for the next input box, then OK (the rest of the line as
//                            it is, blanks included)
//   cancel                   Cancel in the next input box
//   report <Window>.<Button> writes the button's state to standard error:
//                            robot: Form1.Check1 checked=1 enabled=1
//   geometry <Window>[.<Widget>] writes where it lies to standard error, a window with its
//                            frame and the screen, a widget in its parent:
//                            robot: geometry Form1 frame=200,150,447,378 screen=1024,768
//                            robot: geometry Form1.Label4 360,48,21,14
// Every message box and input box is written to standard error as it appears, a message box
// with its frame's size beside the screen's on a line of its own:
//   robot: box [<title>] <text, line breaks as " | ">
//   robot: box size=447,200 screen=1024,768
// A box that no step expects is dismissed with No (or its only button), and reported as
//   robot: box dismissed
// so a run never waits for a person; a step that cannot be taken for 20 seconds ends the program
// with status 98.
//
// It does not deal with checking anything: the tests read the files, the settings and the lines
// the program and the robot wrote.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int TickMs = 10;
constexpr int StuckMs = 20000;
constexpr int StuckStatus = 98;

void Say(const QString& text) {
    std::fprintf(stderr, "robot: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

QString OneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" | "));
    text.replace(QLatin1Char('\n'), QLatin1String(" | "));
    text.replace(QLatin1Char('\r'), QLatin1String(" | "));
    return text;
}

QWidget* TopLevel(const QString& name) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name && widget->isVisible()) return widget;
    return nullptr;
}

template <typename T>
T* Child(QWidget* window, const QString& name) {
    if (!window) return nullptr;
    for (T* child : window->findChildren<T*>(name))
        if (child->isVisible() && child->isEnabled()) return child;
    return nullptr;
}

class Robot : public QObject {
public:
    explicit Robot(QStringList steps) : m_steps(std::move(steps)) {
        m_timer.setInterval(TickMs);
        connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
        m_timer.start();
        m_stuck.setRemainingTime(StuckMs);
    }

private:
    void Tick() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (m_seen != modal) {
                m_seen = modal;
                Describe(modal);
            }
            if (!NextIsForBox()) {
                Say(QStringLiteral("box dismissed"));
                Progress();
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    box->done(QMessageBox::No);
                    return;
                }
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
                return;
            }
            TakeBoxStep(modal);
            return;
        }
        if (m_next < m_steps.size() && !NextIsForBox()) TakeWindowStep();
        if (m_next < m_steps.size() && m_stuck.hasExpired()) {
            Say(QStringLiteral("stuck at step: ") + m_steps.at(m_next));
            ::_exit(StuckStatus);
        }
    }

    bool NextIsForBox() const {
        if (m_next >= m_steps.size()) return false;
        const QString verb = m_steps.at(m_next).section(u' ', 0, 0);
        return verb == u"answer" || verb == u"type" || verb == u"cancel";
    }

    void Describe(QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            Say(QStringLiteral("box [") + box->windowTitle() + QStringLiteral("] ") +
                OneLine(box->text()));
            const QSize frame = box->frameGeometry().size();
            const QSize screen = box->screen()->geometry().size();
            Say(QStringLiteral("box size=%1,%2 screen=%3,%4")
                    .arg(frame.width())
                    .arg(frame.height())
                    .arg(screen.width())
                    .arg(screen.height()));
        } else if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            Say(QStringLiteral("input [") + input->windowTitle() + QStringLiteral("] ") +
                OneLine(input->labelText()));
        } else {
            Say(QStringLiteral("dialog [") + modal->windowTitle() + u']');
        }
    }

    // Marks the step taken; the index moves before the step runs, because a click may run a
    // nested event loop (a message box) inside which the following steps are taken.
    QString Take() {
        Progress();
        return m_steps.at(m_next++);
    }

    // Runs an action from the event loop rather than inside the tick: a timer does not fire again
    // while its own handler runs, and an action may not return until a later step is taken.
    template <typename Action>
    void Later(Action action) {
        QMetaObject::invokeMethod(this, std::move(action), Qt::QueuedConnection);
    }

    void Progress() { m_stuck.setRemainingTime(StuckMs); }

    void TakeBoxStep(QWidget* modal) {
        const QString step = m_steps.at(m_next);
        const QString verb = step.section(u' ', 0, 0);
        const QString argument = step.mid(verb.size() + 1);
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (verb != u"answer") return;
            const QMessageBox::StandardButton which = argument == u"Yes"  ? QMessageBox::Yes
                                                      : argument == u"No" ? QMessageBox::No
                                                                          : QMessageBox::Ok;
            QAbstractButton* button = box->button(which);
            if (!button) return;
            Take();
            Later([button = QPointer<QAbstractButton>(button)] {
                if (button) button->click();
            });
            return;
        }
        if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            if (verb == u"type") {
                Take();
                input->setTextValue(argument);
                input->accept();
            } else if (verb == u"cancel") {
                Take();
                input->reject();
            }
        }
    }

    void TakeWindowStep() {
        const QString step = m_steps.at(m_next);
        const QString verb = step.section(u' ', 0, 0);
        const QString argument = step.mid(verb.size() + 1);
        if (verb == u"click") {
            auto* button = Child<QAbstractButton>(TopLevel(argument.section(u'.', 0, 0)),
                                                  argument.section(u'.', 1));
            if (!button) return;
            Take();
            Later([button = QPointer<QAbstractButton>(button)] {
                if (button) button->click();
            });
        } else if (verb == u"trigger") {
            QWidget* form = TopLevel(QStringLiteral("Form1"));
            QAction* action = form ? form->findChild<QAction*>(argument) : nullptr;
            if (!action || !action->isEnabled()) return;
            Take();
            Later([action = QPointer<QAction>(action)] {
                if (action) action->trigger();
            });
        } else if (verb == u"report") {
            QWidget* window = TopLevel(argument.section(u'.', 0, 0));
            auto* button =
                window ? window->findChild<QAbstractButton*>(argument.section(u'.', 1)) : nullptr;
            if (!button) return;
            Take();
            Say(argument + QStringLiteral(" checked=%1 enabled=%2")
                               .arg(int(button->isChecked()))
                               .arg(int(button->isEnabled())));
        } else if (verb == u"geometry") {
            QWidget* window = TopLevel(argument.section(u'.', 0, 0));
            const QString child = argument.section(u'.', 1);
            QWidget* widget =
                !window || child.isEmpty() ? window : window->findChild<QWidget*>(child);
            if (!widget || !window->isVisible()) return;
            Take();
            const auto text = [](const QRect& r) {
                return QStringLiteral("%1,%2,%3,%4")
                    .arg(r.x())
                    .arg(r.y())
                    .arg(r.width())
                    .arg(r.height());
            };
            if (widget == window) {
                const QRect screen = window->screen()->geometry();
                Say(QStringLiteral("geometry ") + argument + QStringLiteral(" frame=") +
                    text(window->frameGeometry()) +
                    QStringLiteral(" screen=%1,%2").arg(screen.width()).arg(screen.height()));
            } else {
                Say(QStringLiteral("geometry ") + argument + u' ' + text(widget->geometry()));
            }
        } else if (verb == u"open") {
            OpenEntry(argument);
        } else {
            Say(QStringLiteral("unknown step: ") + step);
            ::_exit(StuckStatus);
        }
    }

    void OpenEntry(const QString& path) {
        auto* list = Child<QListWidget>(TopLevel(QStringLiteral("Form2")), QStringLiteral("Dir1"));
        if (!list) return;
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem* item = list->item(row);
            if (item->data(Qt::UserRole).toString().compare(path, Qt::CaseInsensitive) != 0)
                continue;
            list->scrollToItem(item);
            const QPointF at = list->visualItemRect(item).center();
            Take();
            Later([viewport = QPointer<QWidget>(list->viewport()), at] {
                if (!viewport) return;
                QMouseEvent click(QEvent::MouseButtonDblClick, at, viewport->mapToGlobal(at),
                                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(viewport, &click);
            });
            return;
        }
    }

    QStringList m_steps;
    qsizetype m_next = 0;
    QTimer m_timer;
    QDeadlineTimer m_stuck;
    QPointer<QWidget> m_seen;
};

void StartRobot() {
    const QString script = qEnvironmentVariable("STOWIX_ROBOT_SCRIPT");
    if (script.isEmpty()) return;
    // Posted, so that the robot starts with the event loop, once the program's start-up is done
    // and its windows exist.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [script] {
            auto* robot = new Robot(script.split(u'\n', Qt::SkipEmptyParts));
            robot->setParent(QCoreApplication::instance());
        },
        Qt::QueuedConnection);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartRobot)
