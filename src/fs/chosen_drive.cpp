#include "fs/chosen_drive.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace stowix {

std::optional<std::string> ChosenDrive() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                         QStringLiteral("/Stowix/Stowix.ini");
    if (!QFile::exists(path)) return std::nullopt;
    const QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) return std::nullopt;
    const QString drive = settings.value(ChosenDriveSection + u'/' + ChosenDriveKey).toString();
    if (drive.isEmpty()) return std::nullopt;
    return QFile::encodeName(drive).toStdString();
}

}  // namespace stowix
