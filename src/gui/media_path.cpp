#include "gui/media_path.h"

namespace stowix {

QString HostMediaPath(const QString& programPath) {
    QString path = programPath;
    const qsizetype separator = path.lastIndexOf(QLatin1Char('\\'));
    if (separator >= 0) path[separator] = QLatin1Char('/');
    return path;
}

}  // namespace stowix
