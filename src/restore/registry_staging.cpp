#include "restore/registry_staging.h"

#include "files/file_routines.h"
#include "restore/boot_script.h"

#include <QStringList>

namespace stowix {

Status PrepareRegistryStaging(FileSystem& files, const QString& setFolder,
                              const QString& windowsFolder) {
    QStringList missing;
    for (const QString& name : {QStringLiteral("SYSTEM.DAT"), QStringLiteral("USER.DAT")}) {
        const Result<int> attributes = files.ReadAttributes(setFolder + u'\\' + name);
        if (!attributes || (attributes.value() & Attribute::Folder) != 0) missing.append(name);
    }
    // The old script goes whether or not this set's files are staged: its staged files are
    // taken back by the run, and a script armed again over a half-staged pair is what must
    // never be left.
    if (Status disarmed = DeleteFileForced(files, BootScriptPath(windowsFolder)); !disarmed)
        return Status::Fail(QStringLiteral("the boot script of an earlier restore could not be "
                                           "taken out first: ") +
                            disarmed.reason());
    if (!missing.isEmpty())
        return Status::Fail(QStringLiteral("the set holds no ") +
                            missing.join(QStringLiteral(" and no ")) +
                            QStringLiteral(", and one registry file without the other would not "
                                           "start Windows"));
    return Status::Ok();
}

}  // namespace stowix
