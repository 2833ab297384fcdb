#pragma once
// A folder chooser over fake controls, dialogs and system, on a fresh temporary drive C: whose
// file system can be made to fail chosen calls. Everything the chooser does is recorded in one
// log; Dir1's change event is wrapped so that the log shows where each change begins and ends.

#include "restore/folder_chooser.h"
#include "support/event_log.h"
#include "support/fake_forms.h"
#include "support/fake_services.h"
#include "support/faulty_file_system.h"
#include "support/temp_drive.h"

#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <gtest/gtest.h>

#include <functional>

namespace stowix::test {

// Runs a check at the moment the restart is requested, to prove what was done by then.
class CheckingWindowsApi : public FakeWindowsApi {
public:
    using FakeWindowsApi::FakeWindowsApi;
    bool ExitWindowsEx(int flags, int reserved) override {
        if (atRestart) atRestart();
        return FakeWindowsApi::ExitWindowsEx(flags, reserved);
    }
    std::function<void()> atRestart;
};

class ChooserTest : public ::testing::Test {
protected:
    ChooserTest() {
        form2.form.onShow = chooser.Events().Form_Activate;
        form2.dir1.SetChangeHandler([this] {
            log.Add("Dir1_Change{");
            chooser.Dir1_Change();
            log.Add("}Dir1_Change");
        });
        drive.AddFolder("C:\\WINDOWS");
        settings.log = &log;
    }

    // A backup set under the backup root with these files (name, contents), all plain.
    QString AddSet(const QString& name, const QStringList& files = {}) {
        const QString path = "C:\\Stowix\\" + name;
        drive.AddFolder(path);
        for (const QString& file : files) drive.AddFile(path + "\\" + file, file.toLatin1());
        return path;
    }

    // Gives a set sound registry files (SYSTEM.DAT and USER.DAT), as a backup makes them: the
    // restore reads them whole before it asks for confirmation.
    void AddSoundRegistry(const QString& setPath) {
        drive.AddFile(setPath + "\\SYSTEM.DAT",
                      tools::WriteRegistryFile(tools::Windows98SystemTree()).bytes);
        drive.AddFile(setPath + "\\USER.DAT",
                      tools::WriteRegistryFile(tools::Windows98UserTree()).bytes);
    }

    // Opens the chooser as the main window's command does, then forgets what that logged.
    void Open(const QString& mode) {
        mainForm.Hide();
        chooser.Open(mode);
        log.Clear();
    }

    QString LastSetting(const QString& key) {
        return settings.values.value(FakeSettingsStore::Key("Stowix", "Info", key));
    }

    // The log from the first entry equal to from, for checks on what followed it.
    QStringList LogFrom(const QString& from) const {
        const int at = log.IndexOf(from);
        return at < 0 ? QStringList() : log.entries.mid(at);
    }

    EventLog log;
    TempDrive drive;
    FaultyFileSystem files{drive.Files()};
    FakeSettingsStore settings;
    FakeSystem system{log};
    FakeDialogs dialogs{log};
    CheckingWindowsApi windows{log};
    FakeForm2 form2{log};
    FakeWindow mainForm{log, "Form1"};
    ProgramValues values{"C:\\WINDOWS", "\\WINDOWS"};
    FolderChooser chooser{form2, mainForm, Services{files, settings, system, dialogs, windows},
                          values};
};

}  // namespace stowix::test
