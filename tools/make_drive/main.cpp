// stowix-make-drive: writes a realistic Windows 98 drive C: into a host folder, for tests,
// benchmarks and demonstrations. The output depends only on the options.

#include "drive_writer.h"
#include "image_writer.h"
#include "windows98_drive.h"

#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "Usage: stowix-make-drive [--ini-files N] [--system-dat-mb N] <folder>\n"
        "       stowix-make-drive [--ini-files N] [--system-dat-mb N] [--image-mb N]\n"
        "                         --image <file>\n"
        "Writes a Windows 98 drive C: into <folder> (created when missing), or into\n"
        "a new disk image <file>: an MBR disk with one FAT32 partition, made with\n"
        "mtools (mformat, mcopy, mattrib).\n"
        "  --ini-files N      add N further INI files to the Windows folder\n"
        "  --system-dat-mb N  make WINDOWS\\SYSTEM.DAT N MiB large (default 2;\n"
        "                     0 gives the bare tree, about 64 KiB); the registry\n"
        "                     stays sound, its rest is free space\n"
        "  --image-mb N       the image's FAT32 volume size in MiB (default: room\n"
        "                     for the drive three times over, at least 128)\n",
        to);
}

// A whole number from 0 to limit, or -1.
int ParseCount(const char* text, int limit) {
    if (!text || !*text) return -1;
    long value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return -1;
        value = value * 10 + (*c - '0');
        if (value > limit) return -1;
    }
    return int(value);
}

}  // namespace

int main(int argc, char** argv) {
    stowix::tools::DriveOptions options;
    QString folder;
    QString imageFile;
    int imageMegabytes = 0;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        }
        if (std::strcmp(argument, "--ini-files") == 0 ||
            std::strcmp(argument, "--system-dat-mb") == 0) {
            const bool iniFiles = std::strcmp(argument, "--ini-files") == 0;
            const int value =
                ParseCount(i + 1 < argc ? argv[++i] : nullptr, iniFiles ? 9999999 : 4096);
            if (value < 0) {
                std::fprintf(stderr, "stowix-make-drive: %s needs a whole number\n", argument);
                PrintUsage(stderr);
                return 2;
            }
            (iniFiles ? options.extraIniFiles : options.systemDatMegabytes) = value;
            continue;
        }
        if (std::strcmp(argument, "--image-mb") == 0) {
            imageMegabytes = ParseCount(i + 1 < argc ? argv[++i] : nullptr, 2097151);
            if (imageMegabytes < 40) {
                std::fprintf(stderr,
                             "stowix-make-drive: --image-mb needs a whole number of "
                             "at least 40\n");
                PrintUsage(stderr);
                return 2;
            }
            continue;
        }
        if (std::strcmp(argument, "--image") == 0) {
            if (i + 1 >= argc || !imageFile.isEmpty()) {
                std::fprintf(stderr, "stowix-make-drive: --image needs one file\n");
                PrintUsage(stderr);
                return 2;
            }
            imageFile = QString::fromLocal8Bit(argv[++i]);
            continue;
        }
        if (argument[0] == '-' || !folder.isEmpty()) {
            std::fprintf(stderr, "stowix-make-drive: unexpected argument %s\n", argument);
            PrintUsage(stderr);
            return 2;
        }
        folder = QString::fromLocal8Bit(argument);
    }
    if (folder.isEmpty() == imageFile.isEmpty()) {
        PrintUsage(stderr);
        return 2;
    }

    const stowix::tools::DriveContents contents = stowix::tools::Windows98Drive(options);
    if (!imageFile.isEmpty()) {
        QTemporaryDir work;
        if (!work.isValid()) {
            std::fprintf(stderr, "stowix-make-drive: cannot make a temporary folder\n");
            return 1;
        }
        if (const QString error =
                stowix::tools::WriteDriveImage(contents, imageFile, work.path(), imageMegabytes);
            !error.isEmpty()) {
            std::fprintf(stderr, "stowix-make-drive: %s\n", qPrintable(error));
            return 1;
        }
        std::printf(
            "Wrote drive C: into the image %s: %zu folders, %zu files (FAT32 partition "
            "at %lld bytes)\n",
            qPrintable(imageFile), contents.folders.size(), contents.files.size(),
            static_cast<long long>(stowix::tools::ImagePartitionOffset));
        return 0;
    }
    if (const QString error = stowix::tools::WriteDrive(contents, folder); !error.isEmpty()) {
        std::fprintf(stderr, "stowix-make-drive: %s\n", qPrintable(error));
        return 1;
    }
    qint64 bytes = 0;
    for (const auto& file : contents.files) bytes += file.contents.size();
    std::printf("Wrote drive C: into %s: %zu folders, %zu files, %lld bytes\n", qPrintable(folder),
                contents.folders.size(), contents.files.size(), static_cast<long long>(bytes));
    return 0;
}
