#pragma once
// The file commands of a batch file: Attrib, Copy and Del, each in three steps: its words parsed
// into a request (with the argument checks the three share), the request resolved into the
// files it names, and those files acted on over the FileSystem interface. They follow DOS where
// the boot script depends on it: Copy and Del do not see hidden or system files, Del refuses
// read-only ones, a copy carries only the archive attribute, Attrib sees every file. They do not
// deal with the batch file's flow (batch_interpreter.h).

#include "fs/file_system.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace stowix {

// Where a command's lines go.
class BatchConsole {
public:
    virtual ~BatchConsole() = default;
    // A line for the console, shown unless it is silenced.
    virtual void Print(const QString& line) = 0;
    // A line that tells of a failure: shown like any other, and kept for the run's report.
    virtual void Fail(const QString& line) = 0;
};

// The words after a command, sorted and checked as Attrib, Copy and Del check them.
struct CommandWords {
    QStringList operands;  // in order
    QStringList switches;  // "/Y", as written
    QStringList changes;   // "+R", "-h": attribute changes, as written
};
struct CommandRules {
    QStringList switches;       // the switches the command takes, upper case
    bool takesChanges = false;  // whether "+R", "-H", "+S", "+A" and their "-" forms are taken
    int leastOperands = 1;
    int mostOperands = 1;
};
// Fails with DOS's sentence for the first thing wrong: "Invalid switch - /X" (a switch or
// change the command does not take, in the order written), then "Required parameter missing" or
// "Too many parameters - X".
Result<CommandWords> SortWords(const QStringList& words, const CommandRules& rules);

// The files (never folders) a pattern names, each as the folder part of the pattern and the
// listed name: "C:\STOWIX\SYSTEM.DAT" for "C:\STOWIX\*.Da?". Fails as the listing fails.
Result<QStringList> MatchingFiles(FileSystem& files, const QString& pattern, int mask);

// Each runs one command on its words; gives the paths whose content or attributes it changed.
QStringList Attrib(FileSystem& files, BatchConsole& console, const QStringList& words);
QStringList Copy(FileSystem& files, BatchConsole& console, const QStringList& words);
void Delete(FileSystem& files, BatchConsole& console, const QStringList& words);

}  // namespace stowix
