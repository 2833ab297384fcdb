// stowix-dir: lists the files of one folder of drive C: with their DOS attributes, as the
// program sees them, for example the files of a backup set:
//   STOWIX_DRIVE_C=/srv/win98 stowix-dir "C:\Stowix\11-5-99 3;45;12 PM"

#include "app/command_usages.h"
#include "platform/drive_map.h"
#include "platform/drives/open_drives.h"

#include <QString>

#include <cstdio>

using namespace stowix;

namespace {

QString AttributeLetters(int attributes) {
    QString letters;
    letters += attributes & Attribute::Archive ? QLatin1Char('A') : QLatin1Char('-');
    letters += attributes & Attribute::System ? QLatin1Char('S') : QLatin1Char('-');
    letters += attributes & Attribute::Hidden ? QLatin1Char('H') : QLatin1Char('-');
    letters += attributes & Attribute::ReadOnly ? QLatin1Char('R') : QLatin1Char('-');
    return letters;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, DirUsage)) return *status;
    if (argc != 2) return RejectCommandLine(DirUsage, "takes one DOS folder");
    const DriveMap drives = DriveMap::FromEnvironment();
    if (!drives.Has(QLatin1Char('C'))) {
        std::fprintf(stderr, "stowix-dir: %s\n", qPrintable(DriveMap::HowToConfigure()));
        return 2;
    }
    Result<std::unique_ptr<FileSystem>> opened = OpenDrives(drives);
    if (!opened) {
        std::fprintf(stderr, "stowix-dir: %s\n", qPrintable(opened.reason()));
        return 2;
    }
    const std::unique_ptr<FileSystem> files = std::move(opened).value();
    QString folder = QString::fromLocal8Bit(argv[1]);
    if (!folder.endsWith(QLatin1Char('\\'))) folder += QLatin1Char('\\');
    const int everyKind = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
    const Result<std::vector<FolderEntry>> entries = files->ListFolder(folder + "*.*", everyKind);
    if (!entries) {
        std::fprintf(stderr, "stowix-dir: %s\n", qPrintable(entries.reason()));
        return 1;
    }
    int status = 0;
    for (const FolderEntry& entry : entries.value()) {
        const QString path = folder + entry.name;
        const Result<int> attributes = files->ReadAttributes(path);
        if (!attributes) {
            std::fprintf(stderr, "stowix-dir: %s\n", qPrintable(attributes.reason()));
            status = 1;
            continue;
        }
        std::printf("%s  %s\n", qPrintable(AttributeLetters(attributes.value())), qPrintable(path));
    }
    return status;
}
