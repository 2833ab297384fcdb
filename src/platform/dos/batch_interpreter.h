#pragma once
// This type runs a DOS batch file over the FileSystem interface the way COMMAND.COM runs
// WinStart.Bat when Windows 95 or 98 starts: echo on at first, "@" hiding one line, Echo, CTTY,
// If [Not] Exist, GoTo and labels, Rem, Attrib, Copy and Del (Erase). It follows DOS where the
// boot script depends on it: Copy and Del do not see hidden or system files, Del refuses
// read-only ones, a copy carries only the archive attribute, Attrib sees every file. It reports
// what it does on the console unless CTTY Nul silenced it; an unknown command is reported ("Bad
// command or file name") and skipped. It does not deal with reading the file: it is handed the
// file's lines.

#include "platform/file_system.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace stowix {

// Where the console's lines go; one call per line, without a line end.
using ConsoleOutput = std::function<void(const QString& line)>;

// What a run met that did not work, kept even while the console was silenced, so that whoever
// started the run can tell the user.
struct BatchReport {
    QStringList errors;  // one line each, as the console would have shown it
    bool ok() const { return errors.isEmpty(); }
};

class BatchInterpreter {
public:
    // Non-owning: files outlives the interpreter.
    BatchInterpreter(FileSystem& files, ConsoleOutput console);

    // Runs the lines from the first to the end or to a missing GoTo label, which ends the run as
    // it ends a batch file under DOS. Each run starts with echo on and the console attached.
    BatchReport Run(const QStringList& lines);

private:
    // Where the run goes after a command.
    struct Flow {
        enum class Kind { Next, Jump, End } kind = Kind::Next;
        int line = 0;  // the index to go on from, for Jump
    };

    Flow Execute(QStringView command);
    Flow Echo(QStringView rest, QChar separator);
    Flow If(QStringView rest);
    Flow GoTo(QStringView rest);
    void Ctty(const QStringList& arguments);
    void Attrib(const QStringList& arguments);
    void Copy(const QStringList& arguments);
    void Delete(const QStringList& arguments);

    void Print(const QString& line);
    void Fail(const QString& line);
    QString Prompt();
    QString Absolute(const QString& path);

    FileSystem& m_files;
    ConsoleOutput m_console;
    QStringList m_lines;
    bool m_echo = true;
    bool m_silenced = false;
    BatchReport m_report;
};

}  // namespace stowix
