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
    // The old script goes first, whatever follows: until the run writes the new one once every
    // file is staged, no script can put a half-staged pair in place.
    if (Status disarmed = DeleteFileForced(files, BootScriptPath(windowsFolder)); !disarmed)
        return Status::Fail(QStringLiteral("the boot script of an earlier restore could not be "
                                           "taken out first: ") +
                            disarmed.reason());
    // A set that holds neither (made by hand) has no registry to stage; one of the two alone
    // is the half that must not be staged.
    if (missing.size() == 1)
        return Status::Fail(QStringLiteral("the set holds no ") + missing.first() +
                            QStringLiteral(", and one registry file without the other would not "
                                           "start Windows"));
    return Status::Ok();
}

}  // namespace stowix
