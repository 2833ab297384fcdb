#include "shell/run_mode.h"

namespace stowix {

RunMode RunModeOf(const QStringList& arguments) {
    const QString line = arguments.join(QLatin1Char(' ')).toUpper();
    if (line.contains(QLatin1String("/U"))) return RunMode::Unattended;
    if (line.contains(QLatin1String("/I"))) return RunMode::Hidden;
    return RunMode::Window;
}

}  // namespace stowix
