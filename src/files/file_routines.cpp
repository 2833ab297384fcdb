#include "files/file_routines.h"

#include "files/text_routines.h"

#include <limits>

namespace stowix {

namespace {

// The whole decimal number that an attribute text begins with, leading blanks skipped; 0 when
// it begins with none. Only plain digits count here: the program passes nothing else.
int LeadingAttributeNumber(const QString& text) {
    qsizetype at = 0;
    while (at < text.size() && (text.at(at) == u' ' || text.at(at) == u'\t')) ++at;
    qint64 value = 0;
    while (at < text.size() && text.at(at) >= u'0' && text.at(at) <= u'9') {
        value = value * 10 + (text.at(at).unicode() - u'0');
        // Saturates: a value this large is refused by the attribute write, not wrapped into
        // some other bit pattern.
        if (value > std::numeric_limits<int>::max()) value = std::numeric_limits<int>::max();
        ++at;
    }
    return int(value);
}

// The value that an upper-cased attribute text gives: its leading number when that is not 0,
// otherwise the sum of the letters R, H, S and A that it holds (each counts once).
int GivenAttributes(const QString& upperText) {
    if (upperText.isEmpty()) return 0;
    if (int number = LeadingAttributeNumber(upperText); number != 0) return number;
    int value = 0;
    if (upperText.contains(u'R')) value |= Attribute::ReadOnly;
    if (upperText.contains(u'H')) value |= Attribute::Hidden;
    if (upperText.contains(u'S')) value |= Attribute::System;
    if (upperText.contains(u'A')) value |= Attribute::Archive;
    return value;
}

}  // namespace

bool FileExists(FileSystem& files, const QString& path) {
    if (path.isEmpty()) return false;
    return files.ReadAttributes(path).ok();
}

Status ApplyAttributes(FileSystem& files, const QString& path, QString& attributes, bool relative,
                       bool remove, bool onlyIfPresent) {
    if (onlyIfPresent && !FileExists(files, path)) return Status::Ok();
    const int current = TRY(files.ReadAttributes(path));
    attributes = attributes.toUpper();
    const int given = GivenAttributes(attributes);
    int value = given;
    if (relative) value = remove ? (current & ~given) : (current | given);
    return files.WriteAttributes(path, value);
}

Status DeleteFileForced(FileSystem& files, const QString& path) {
    // A link goes as a link: its target's attributes are never cleared on the way.
    if (const Result<bool> link = files.IsLink(path); link && link.value())
        return files.DeleteFile(path);
    if (!FileExists(files, path)) return Status::Ok();
    QString none;
    TRY(ApplyAttributes(files, path, none, false, false, false));
    return files.DeleteFile(path);
}

Status CopyKeepingAttributes(FileSystem& files, const QString& source, const QString& destination) {
    // The file system does it whole: the existence test, the copy that replaces the old file in
    // one step and leaves it as it was when it fails, and the attributes.
    return files.CopyFileKeepingAttributes(source, destination).status();
}

void MakeFolder(FileSystem& files, const QString& path) { (void)files.CreateFolder(path); }

}  // namespace stowix
