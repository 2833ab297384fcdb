#include "app/command_services.h"

#include "app/minimum_free.h"
#include "app/qt_settings_store.h"
#include "drives/open_drives.h"
#include "files/escaped_text.h"
#include "hostfs/posix_windows_api.h"
#include "prune/set_time.h"
#include "services/exit_status.h"
#include "shell/drive_records.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace stowix {

namespace {

void Say(const QString& command, const QString& reason) {
    const QByteArray line =
        EscapedText(QString(command + QStringLiteral(": ") + reason)).toLocal8Bit();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
}

}  // namespace

std::unique_ptr<FileSystem> OpenDrivesOrSay(const QString& command, int& status) {
    bool anotherCopy = false;
    Result<std::unique_ptr<FileSystem>> opened = OpenConfiguredDrives(&anotherCopy);
    if (opened) return std::move(opened).value();
    Say(command, opened.reason());
    status = anotherCopy ? ExitStatus::AnotherCopy : ExitStatus::NothingDone;
    return nullptr;
}

bool ReadMinimumFree(const QString& command, ProgramValues& values) {
    const Result<qint64> minimumFree = MinimumFreeFromEnvironment(values.MinimumFreeBytes);
    if (!minimumFree) {
        Say(command, minimumFree.reason());
        return false;
    }
    values.MinimumFreeBytes = minimumFree.value();
    return true;
}

SetTimeReader LocaleSetTimes() {
    const QLocale locale;
    const SetNameReader names(locale, locale.dateFormat(QLocale::ShortFormat),
                              QtSystem::TimeFormatWithSeconds(locale), QDate::currentDate());
    return [names](const QString& folderName) -> std::optional<QDateTime> {
        const SetName read = names.Read(folderName);
        if (read.kind == SetNameKind::Unreadable) return std::nullopt;
        return read.made;
    };
}

void DescribeDriveC(ProgramValues& values) {
    const DriveMap drives = DriveMap::FromEnvironment();
    const std::optional<DriveSource> driveC = drives.Source(u'C');
    values.WinePrefix = WinePrefixOfDriveC(drives);
    if (!driveC) return;
    values.DrivePath =
        values.WinePrefix.isEmpty() ? QString::fromLocal8Bit(driveC->hostPath) : values.WinePrefix;
    const QString name = QFileInfo(QDir::cleanPath(values.DrivePath)).fileName();
    values.DriveName = name.isEmpty() ? values.DrivePath : name;
}

QString DriveLockFilePath() {
    return QtSystem::DefaultLockFilePath(DriveRecordsName(DriveMap::FromEnvironment()));
}

void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Stowix"));
    QCoreApplication::setOrganizationName(QStringLiteral("Stowix"));
}

struct CommandServices::Settings {
    explicit Settings(FileSystem& files)
        : store(file, DriveRecordsName(DriveMap::FromEnvironment()), SetFolderExists(files)) {}
    QtSettingsStore file;
    DriveRecordsStore store;
};

CommandServices::CommandServices(std::unique_ptr<FileSystem> files)
    : m_files(std::move(files)),
      m_system(DriveLockFilePath()),
      m_windows(MakePosixWindowsApi(*m_files)),
      m_settings(std::make_unique<Settings>(*m_files)) {}

// The drives close last, after everything that uses them, so that an image is left clean.
CommandServices::~CommandServices() {
    m_settings.reset();
    m_windows.reset();
}

SettingsStore& CommandServices::settings() { return m_settings->store; }

}  // namespace stowix
