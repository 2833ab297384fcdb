#pragma once
// This type runs a DOS batch file over the FileSystem interface the way COMMAND.COM runs
// WinStart.Bat when Windows 95 or 98 starts: echo on at first, "@" hiding one line, Echo, CTTY,
// If [Not] Exist, GoTo and labels, Rem, and the file commands Attrib, Copy and Del (Erase) of
// batch_commands.h. It reports what it does on the console unless CTTY Nul silenced it; an
// unknown command is reported ("Bad command or file name") and skipped.
//
// It reads the file a line at a time from a BatchSource, so a script of any length runs in
// bounded memory; GoTo finds the first label of its name in the file through an index of the
// labels already read, built as the lines are first read, so no GoTo reads the file again from
// its start. A script that jumps back more than MostJumpsBack times, or whose loops run more than
// MostLinesInLoops lines in all (a long body looped fewer times), is taken not to end and is
// stopped; one without loops runs whole. The index holds at most MostLabelsRemembered labels: a
// GoTo whose label is not among them, in a script that has more, stops the script rather than
// search the file again at every jump.
//
// Whatever Copy and Attrib wrote is made durable (FlushToDisk on each drive written) before the
// next Del deletes anything: the boot script deletes the staged registry files once they are
// copied, and a power cut in between must leave the copies on the disk. When the flush fails,
// that Del deletes nothing.

#include "boot/batch_source.h"
#include "fs/file_system.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <set>
#include <unordered_map>

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
    static constexpr int MostJumpsBack = 10'000;
    // Lines run after the first jump back: 20 for each allowed jump.
    static constexpr qint64 MostLinesInLoops = 200'000;
    // Labels remembered for GoTo (some 50 bytes each).
    static constexpr int MostLabelsRemembered = 1'000'000;

    // Non-owning: files outlives the interpreter.
    BatchInterpreter(FileSystem& files, ConsoleOutput console);

    // Runs the lines from the first to the end or to a missing GoTo label, which ends the run as
    // it ends a batch file under DOS. Each run starts with echo on and the console attached.
    BatchReport Run(BatchSource& source);
    BatchReport Run(const QStringList& lines);

private:
    class Console;
    // Where the run goes after a command.
    struct Flow {
        enum class Kind { Next, Jump, End } kind = Kind::Next;
        qint64 position = 0;  // where to go on from, for Jump
    };

    Flow Execute(QStringView command);
    Flow Echo(QStringView rest, QChar separator);
    Flow If(QStringView rest);
    Flow GoTo(QStringView rest);
    void Ctty(const QStringList& arguments);
    void Delete(const QStringList& arguments);
    // Flushes every drive written since the last flush; false when one cannot be flushed.
    bool MakeWritesDurable();
    void NoteWritten(const QStringList& paths);

    // The next line of the source, its labels remembered; nothing at the end or on a failure
    // to read, which is reported.
    std::optional<BatchLine> ReadLine();
    void RememberLabel(const QString& label, qint64 start);
    // Where the line after the first label of this name starts, or nothing.
    std::optional<qint64> FindLabel(const QString& label);
    // Reads on from position to the first line that sets the label; where the line after it
    // starts, or nothing.
    std::optional<qint64> ScanForLabel(qint64 position, const QString& wanted);

    void Print(const QString& line);
    void Fail(const QString& line);
    void FailUnnamed(const QString& word);
    QString Prompt();

    FileSystem& m_files;
    ConsoleOutput m_console;
    BatchSource* m_source = nullptr;  // non-owning, during Run only
    bool m_echo = true;
    bool m_silenced = false;
    bool m_readFailed = false;
    BatchReport m_report;
    // A hash of a case-folded label -> where the first line that sets it starts. The hash is
    // seeded for the process, so that no script can be written to make its labels share one; a
    // label whose hash another took by chance is not remembered, and GoTo checks the line it
    // finds.
    std::unordered_map<size_t, qint64> m_labels;
    size_t m_hashSeed = 0;
    bool m_labelsComplete = true;       // every label before m_readUpTo is remembered
    qint64 m_readUpTo = 0;              // every line before this position has been read
    qint64 m_lineStart = 0;             // where the line being run starts
    std::set<QChar> m_unflushedDrives;  // written by Copy or Attrib since the last flush
};

}  // namespace stowix
