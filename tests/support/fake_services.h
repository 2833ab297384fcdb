#pragma once
// Fakes of the system, the dialogs, the settings store and the Windows calls. Dialog fakes
// answer from a script and record what was asked; running out of script fails the test.

#include "services/settings_store.h"
#include "services/system.h"
#include "services/windows_api.h"
#include "support/event_log.h"
#include "view/dialogs.h"

#include <gtest/gtest.h>

#include <QMap>

#include <deque>
#include <optional>

namespace stowix::test {

class FakeSystem : public System {
public:
    explicit FakeSystem(EventLog& log) : m_log(log) {}
    bool PreviousInstance() override { return previousInstance; }
    QString ProgramFolder() override { return programFolder; }
    QString DateText() override { return dateText; }
    QString TimeText() override { return timeText; }
    void Beep() override { m_log.Add("Beep"); }
    void EndNow(int exitStatus) override {
        m_log.Add("EndNow=" + QString::number(exitStatus));
        endedWith = exitStatus;
    }

    bool previousInstance = false;
    QString programFolder = "/opt/stowix";
    QString dateText = "11/5/99";
    QString timeText = "3:45:12 PM";
    std::optional<int> endedWith;

private:
    EventLog& m_log;
};

// One question as the program asked it.
struct AskedMessage {
    QString text;
    MessageButtons buttons;
    MessageIcon icon;
    QString title;
    QString details;  // empty when the box has none
};

class FakeDialogs : public Dialogs {
public:
    explicit FakeDialogs(EventLog& log) : m_log(log) {}
    MessageAnswer MessageBox(const QString& text, MessageButtons buttons, MessageIcon icon,
                             const QString& title, const QString& details = QString()) override {
        m_log.Add("MessageBox=" + title);
        messages.push_back({text, buttons, icon, title, details});
        if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        if (answers.empty()) {
            ADD_FAILURE() << "unscripted question: " << title.toStdString();
            return MessageAnswer::No;
        }
        MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString InputBox(const QString& prompt, const QString& title) override {
        m_log.Add("InputBox=" + title);
        prompts.push_back(prompt);
        if (inputs.empty()) {
            ADD_FAILURE() << "unscripted input box: " << title.toStdString();
            return QString();
        }
        QString input = inputs.front();
        inputs.pop_front();
        return input;
    }

    std::deque<MessageAnswer> answers;  // Yes/No answers, in order
    std::deque<QString> inputs;         // input box answers, in order ("" = cancel)
    std::vector<AskedMessage> messages;
    std::vector<QString> prompts;

private:
    EventLog& m_log;
};

class FakeSettingsStore : public SettingsStore {
public:
    QString Read(const QString& application, const QString& section, const QString& key,
                 const QString& fallback) override {
        return values.value(Key(application, section, key), fallback);
    }
    Status Write(const QString& application, const QString& section, const QString& key,
                 const QString& value) override {
        if (log) log->Add("Settings.Write=" + section + "/" + key + "=" + value);
        if (failWrites) return Status::Fail("the settings file cannot be written");
        values.insert(Key(application, section, key), value);
        return Status::Ok();
    }
    static QString Key(const QString& application, const QString& section, const QString& key) {
        return application + "/" + section + "/" + key;
    }
    QMap<QString, QString> values;  // "Stowix/Info/LastBackup" -> value
    bool failWrites = false;
    // When set, every write attempt is recorded as "Settings.Write=<section>/<key>=<value>".
    EventLog* log = nullptr;
};

class FakeWindowsApi : public WindowsApi {
public:
    explicit FakeWindowsApi(EventLog& log) : m_log(log) {}
    Result<int> GetWindowsDirectoryA(QString& buffer, int size) override {
        if (windowsFolder.isEmpty() || windowsFolder.size() > size)
            return Result<int>::Fail(QString());
        buffer = windowsFolder;
        return int(windowsFolder.size());
    }
    bool ExitWindowsEx(int flags, int reserved) override {
        m_log.Add("ExitWindowsEx=" + QString::number(flags) + "," + QString::number(reserved));
        return restartAccepted;
    }
    QString windowsFolder = "C:\\WINDOWS";
    bool restartAccepted = false;

private:
    EventLog& m_log;
};

}  // namespace stowix::test
