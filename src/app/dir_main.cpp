// stowix-dir: lists the files of one folder of drive C: with their DOS attributes, as the
// program sees them, for example the files of a backup set:
//   STOWIX_DRIVE_C=/srv/win98 stowix-dir "C:\Stowix\11-5-99 3;45;12 PM"
// A name is shown so that two names never look alike: a byte that is not UTF-8 as \xE9, and a
// backslash inside a name (which Windows cannot hold) as \x5C; such a name is also reported on
// standard error, and the rest of the folder is still listed.
//
// Exit status, as every command of the program gives it: 0 listed; 1 a wrong command line
// (usage on standard error); 2 no drive C:, or the folder does not exist or is a file: nothing
// listed; 3 incomplete: an entry could not be read or has a name Windows cannot hold.

#include "app/command_usages.h"
#include "drives/open_drives.h"
#include "files/escaped_text.h"
#include "fs/drive_map.h"

#include <QString>

#include <cstdio>

using namespace stowix;

namespace {

// A command line it cannot take ends with DirUsage's status, 1.
enum ExitStatus { Listed = 0, NothingListed = 2, Incomplete = 3, AnotherCopy = 5 };

QString AttributeLetters(int attributes) {
    QString letters;
    letters += attributes & Attribute::Archive ? QLatin1Char('A') : QLatin1Char('-');
    letters += attributes & Attribute::System ? QLatin1Char('S') : QLatin1Char('-');
    letters += attributes & Attribute::Hidden ? QLatin1Char('H') : QLatin1Char('-');
    letters += attributes & Attribute::ReadOnly ? QLatin1Char('R') : QLatin1Char('-');
    return letters;
}

// One name as shown: bytes that are not UTF-8, a backslash and control characters escaped.
QString ShownName(const QString& name) { return EscapedText(name, u"\\"); }

// Reasons may quote a name as the drive holds it: escaped as the listing is.
void PrintError(const QString& text) {
    std::fprintf(stderr, "stowix-dir: %s\n", EscapedText(text).toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = HandleStandardOptions(argc, argv, DirUsage)) return *status;
    if (argc != 2) return RejectCommandLine(DirUsage, "takes one DOS folder");
    const DriveMap drives = DriveMap::FromEnvironment();
    if (!drives.Has(QLatin1Char('C'))) {
        PrintError(DriveMap::HowToConfigure());
        return NothingListed;
    }
    bool anotherCopy = false;
    Result<std::unique_ptr<FileSystem>> opened = OpenDrives(drives, &anotherCopy);
    if (!opened) {
        std::fprintf(stderr, "stowix-dir: %s\n", qPrintable(opened.reason()));
        return anotherCopy ? AnotherCopy : NothingListed;
    }
    const std::unique_ptr<FileSystem> files = std::move(opened).value();
    QString folder = QString::fromLocal8Bit(argv[1]);
    // A folder that does not exist lists nothing in the file system's terms; here it is said.
    const Result<int> folderAttributes = files->ReadAttributes(folder);
    if (!folderAttributes) {
        PrintError(folderAttributes.reason());
        return NothingListed;
    }
    if ((folderAttributes.value() & Attribute::Folder) == 0) {
        PrintError(folder + QStringLiteral(": it is a file, not a folder"));
        return NothingListed;
    }
    if (!folder.endsWith(QLatin1Char('\\'))) folder += QLatin1Char('\\');
    const int everyKind = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
    const Result<std::vector<FolderEntry>> entries = files->ListFolder(folder + "*.*", everyKind);
    if (!entries) {
        PrintError(entries.reason());
        return NothingListed;
    }
    int status = Listed;
    for (const FolderEntry& entry : entries.value()) {
        const QString shown = folder + ShownName(entry.name);
        if (entry.name.contains(u'\\')) {
            PrintError(shown + QStringLiteral(": the name holds the character \\, which Windows "
                                              "does not allow in a name"));
            status = Incomplete;
            continue;
        }
        const Result<int> attributes = files->ReadAttributes(folder + entry.name);
        if (!attributes) {
            PrintError(shown + QStringLiteral(": ") + attributes.reason());
            status = Incomplete;
            continue;
        }
        std::printf("%s  %s\n", AttributeLetters(attributes.value()).toLocal8Bit().constData(),
                    shown.toLocal8Bit().constData());
    }
    return status;
}
