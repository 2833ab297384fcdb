#pragma once
// A main window over faked controls and services, every fake recording into one log.

#include "shell/run_mode.h"
#include "support/fake_window_services.h"
#include "support/recording_file_system.h"

#include <gtest/gtest.h>

#include <memory>

namespace stowix::test {

class ShellFixture : public ::testing::Test, protected FakeWindowServices {
protected:
    ShellFixture() { Rebuild(); }

    // A new window's logic over the same fakes, for tests that change the fakes first.
    void Rebuild() { window = std::make_unique<MainWindow>(form, Over(files), values); }

    // Binds every command to an entry in the log. The backup stands in for the run: it ends
    // the program under "/U", as the real run does.
    void BindRecordingCommands() {
        MainWindow::Commands commands;
        commands.Backup = [this] {
            log.Add("Backup");
            if (values.Mode == RunMode::Unattended) window->EndProgram();
        };
        commands.OpenChooser = [this](const QString& mode) { log.Add("OpenChooser=" + mode); };
        commands.AddComment = [this] { log.Add("AddComment"); };
        commands.ShowInfo = [this] { log.Add("ShowInfo"); };
        commands.ShowAbout = [this] { log.Add("ShowAbout"); };
        commands.ShowTips = [this] { log.Add("ShowTips"); };
        window->BindCommands(commands);
    }

    QString StoredAutoExit(const QString& absent = "<absent>") const {
        return settings.values.value(FakeSettingsStore::Key("Stowix", "Preferences", "AutoExit"),
                                     absent);
    }

    RecordingFileSystem files{log};
    std::unique_ptr<MainWindow> window;
};

}  // namespace stowix::test
