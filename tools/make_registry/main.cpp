// stowix-make-registry: writes a Windows 98 registry file (SYSTEM.DAT or USER.DAT), sound or
// with one kind of damage, for tests, benchmarks and trying the registry check by hand. The
// output depends only on the options.

#include "registry_damage.h"
#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <cstring>

using namespace stowix::tools;

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "Usage: stowix-make-registry [--user] [--grow-mb N] [--size-mb N] [--damage KIND] <file>\n"
        "Writes a Windows 98 registry file: SYSTEM.DAT's tree, or USER.DAT's with --user.\n"
        "  --grow-mb N    add registered classes until the keys fill about N MiB\n"
        "  --size-mb N    fill the file up to N MiB with free data blocks\n"
        "  --damage KIND  write it damaged; KIND is one of:\n",
        to);
    for (const RegistryDamageName& damage : RegistryDamages())
        std::fprintf(to, "                   %s\n", damage.name);
}

int ParseMegabytes(const char* text) {
    if (!text || !*text || std::strlen(text) > 4) return -1;
    int value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return -1;
        value = value * 10 + (*c - '0');
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    bool user = false;
    int growMegabytes = 0;
    int sizeMegabytes = 0;
    const RegistryDamageName* damage = nullptr;
    QString file;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            PrintUsage(stdout);
            return 0;
        }
        if (std::strcmp(argument, "--user") == 0) {
            user = true;
        } else if (std::strcmp(argument, "--grow-mb") == 0 ||
                   std::strcmp(argument, "--size-mb") == 0) {
            const int value = ParseMegabytes(i + 1 < argc ? argv[++i] : nullptr);
            if (value < 0) {
                std::fprintf(stderr, "stowix-make-registry: %s needs a whole number up to 9999\n",
                             argument);
                return 2;
            }
            (std::strcmp(argument, "--grow-mb") == 0 ? growMegabytes : sizeMegabytes) = value;
        } else if (std::strcmp(argument, "--damage") == 0) {
            const char* name = i + 1 < argc ? argv[++i] : "";
            for (const RegistryDamageName& known : RegistryDamages())
                if (std::strcmp(known.name, name) == 0) damage = &known;
            if (!damage) {
                std::fprintf(stderr, "stowix-make-registry: unknown damage \"%s\"\n", name);
                PrintUsage(stderr);
                return 2;
            }
        } else if (argument[0] == '-' || !file.isEmpty()) {
            std::fprintf(stderr, "stowix-make-registry: unexpected argument %s\n", argument);
            PrintUsage(stderr);
            return 2;
        } else {
            file = QString::fromLocal8Bit(argument);
        }
    }
    if (file.isEmpty()) {
        PrintUsage(stderr);
        return 2;
    }

    constexpr qsizetype MiB = 1024 * 1024;
    const RegistryKeySpec tree =
        user ? Windows98UserTree() : Windows98SystemTree(growMegabytes * MiB);
    const RegistryFileLayout layout = WriteRegistryFile(tree, sizeMegabytes * MiB);
    const QByteArray bytes = damage ? DamageRegistryFile(layout, damage->damage) : layout.bytes;

    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size() ||
        !out.flush()) {
        std::fprintf(stderr, "stowix-make-registry: %s: %s\n", qPrintable(file),
                     qPrintable(out.errorString()));
        return 1;
    }
    std::printf("Wrote %s: %d keys, %lld bytes%s%s\n", qPrintable(file), tree.CountKeys(),
                static_cast<long long>(bytes.size()), damage ? ", damaged: " : "",
                damage ? damage->name : "");
    return 0;
}
