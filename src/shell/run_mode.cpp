#include "shell/run_mode.h"

#include <algorithm>
#include <cstring>

namespace stowix {

namespace {

bool IsSwitch(const QString& argument, QLatin1String name) {
    return argument.compare(name, Qt::CaseInsensitive) == 0;
}

bool IsAnySwitch(const QString& argument) {
    return IsSwitch(argument, QLatin1String("/U")) || IsSwitch(argument, QLatin1String("/I"));
}

}  // namespace

QStringList ArgumentsAfterName(int argc, char** argv) {
    QStringList arguments;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        if (!optionsEnded && std::strcmp(argv[i], "--") == 0) {
            optionsEnded = true;
            continue;
        }
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

RunMode RunModeOf(const QStringList& arguments) {
    const auto has = [&](QLatin1String name) {
        return std::any_of(arguments.begin(), arguments.end(),
                           [&](const QString& argument) { return IsSwitch(argument, name); });
    };
    if (has(QLatin1String("/U"))) return RunMode::Unattended;
    if (has(QLatin1String("/I"))) return RunMode::Hidden;
    return RunMode::Window;
}

QStringList DriveArgumentsOf(const QStringList& arguments) {
    QStringList drives;
    for (const QString& argument : arguments)
        if (!IsAnySwitch(argument)) drives.append(argument);
    return drives;
}

}  // namespace stowix
