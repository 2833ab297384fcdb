#pragma once
// A comparison (file_comparison.h) written out: for a person, for scripts as JSON, and as the
// details of the restore question. It does not deal with making the comparison.

#include "compare/file_comparison.h"

#include <QByteArray>
#include <QString>

namespace stowix {

// Lines for a terminal, each ended by "\n"; nothing when nothing differs and no file is listed.
// Two header lines name the sides ("--- older", "+++ newer"); then one line per file ("gone",
// "new", "changed" with what differs, "same", "trouble"), a changed INI file's keys below it
// ("[386Enh] device: + *vshare"), and a changed registry file's keys and values.
QString ComparisonText(const Comparison& comparison);

// The same as one JSON document (UTF-8, ended by a line feed), for scripts.
QByteArray ComparisonJson(const Comparison& comparison);

// What a restore would change on the drive (PreviewRestore), for the details of the restore
// question: file by file with the INI keys; a registry file as the number of keys and values
// that differ. Lines are broken by single carriage returns, as the program's texts are.
QString RestorePreviewText(const Comparison& preview);

}  // namespace stowix
