#include "boot/batch_interpreter.h"

#include "boot/batch_commands.h"
#include "boot/batch_words.h"

#include <QHash>

#include <algorithm>

namespace stowix {

namespace {

constexpr int SeenByIfExist = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

enum class Command { Unknown, Ctty, If, GoTo, Rem, Attrib, Copy, Delete };

bool NamesAttrib(const QString& name) {
    return name.compare(u"ATTRIB", Qt::CaseInsensitive) == 0 ||
           name.compare(u"ATTRIB.EXE", Qt::CaseInsensitive) == 0;
}

Command Identify(const QString& word) {
    // A word with a folder or drive names a program file; of the commands the script uses only
    // Attrib is one, and it is accepted wherever the script says it lies (a Wine prefix has no
    // Command folder).
    const qsizetype cut = std::max(word.lastIndexOf(u'\\'), word.lastIndexOf(u':'));
    if (cut >= 0) return NamesAttrib(word.mid(cut + 1)) ? Command::Attrib : Command::Unknown;
    if (NamesAttrib(word)) return Command::Attrib;
    const QString upper = word.toUpper();
    if (upper == u"CTTY") return Command::Ctty;
    if (upper == u"IF") return Command::If;
    if (upper == u"GOTO") return Command::GoTo;
    if (upper == u"REM") return Command::Rem;
    if (upper == u"COPY") return Command::Copy;
    if (upper == u"DEL" || upper == u"ERASE") return Command::Delete;
    return Command::Unknown;
}

// The name of the label a line sets, case folded for comparing; empty for a line that sets none.
QString LabelOf(const QString& text) {
    QStringView line = SkipBlanks(text);
    if (!line.startsWith(u':')) return QString();
    line = line.mid(1);
    if (line.endsWith(u'\r')) line.chop(1);
    return NextWord(line).toCaseFolded();
}

QChar DriveOf(const QString& path, FileSystem& files) {
    if (path.size() >= 2 && path.at(1) == u':') return path.at(0).toUpper();
    return files.CurrentDrive().at(0).toUpper();
}

}  // namespace

// The commands' lines, into the run's console and report.
class BatchInterpreter::Console final : public BatchConsole {
public:
    explicit Console(BatchInterpreter& interpreter) : m_interpreter(interpreter) {}
    void Print(const QString& line) override { m_interpreter.Print(line); }
    void Fail(const QString& line) override { m_interpreter.Fail(line); }

private:
    BatchInterpreter& m_interpreter;
};

BatchInterpreter::BatchInterpreter(FileSystem& files, ConsoleOutput console)
    : m_files(files), m_console(std::move(console)) {}

BatchReport BatchInterpreter::Run(const QStringList& lines) {
    BatchLines source(lines);
    return Run(source);
}

BatchReport BatchInterpreter::Run(BatchSource& source) {
    m_source = &source;
    m_echo = true;
    m_silenced = false;
    m_readFailed = false;
    m_report = BatchReport();
    m_labels.clear();
    m_hashSeed = QHashSeed::globalSeed();
    m_labelsComplete = true;
    m_readUpTo = 0;
    m_unflushedDrives.clear();

    int jumpsBack = 0;
    qint64 linesInLoops = 0;  // lines run since the first jump back
    Status placed = m_source->Seek(0);
    while (placed) {
        m_lineStart = m_source->Position();
        const std::optional<BatchLine> read = ReadLine();
        if (!read) break;
        if (read->tooLong) {
            // Cut short, it could name another file than the one meant: it is not run.
            Fail(QStringLiteral("Line too long, not run - ") + read->text.left(40) +
                 QStringLiteral("..."));
            continue;
        }
        QStringView line = SkipBlanks(read->text);
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.isEmpty() || line.startsWith(u':')) continue;  // labels are not run
        bool hidden = false;
        if (line.startsWith(u'@')) {
            hidden = true;
            line = SkipBlanks(line.mid(1));
        }
        // A loop's cost is its jumps times its body: the lines run again are what is bounded.
        if (jumpsBack > 0 && ++linesInLoops > MostLinesInLoops) {
            Fail(QStringLiteral("Batch file stopped after its loops ran ") +
                 QString::number(MostLinesInLoops) +
                 QStringLiteral(" lines: it is taken not to end"));
            break;
        }
        if (m_echo && !hidden) Print(Prompt() + line.toString());
        const Flow flow = Execute(line);
        if (flow.kind == Flow::Kind::End) break;
        if (flow.kind != Flow::Kind::Jump) continue;
        // Only a jump back can make a batch file run for ever; a stand-in that runs unattended
        // at a machine's start ends such a file instead.
        if (flow.position <= m_lineStart && ++jumpsBack > MostJumpsBack) {
            Fail(QStringLiteral("Batch file stopped after ") + QString::number(MostJumpsBack) +
                 QStringLiteral(" jumps back: it does not end"));
            break;
        }
        placed = m_source->Seek(flow.position);
    }
    if (!placed) Fail(QStringLiteral("Cannot read the batch file - ") + placed.reason());
    m_source = nullptr;
    return m_report;
}

std::optional<BatchLine> BatchInterpreter::ReadLine() {
    const qint64 start = m_source->Position();
    Result<std::optional<BatchLine>> read = m_source->NextLine();
    if (!read) {
        if (!m_readFailed) Fail(read.reason());
        m_readFailed = true;
        return std::nullopt;
    }
    if (!read.value()) return std::nullopt;
    if (start == m_readUpTo) {
        // Read for the first time: every line before it was read before, so a label met here
        // for the first time is the first of its name in the file.
        m_readUpTo = m_source->Position();
        const QString label = LabelOf(read.value()->text);
        if (!label.isEmpty()) RememberLabel(label, start);
    }
    return read.value();
}

void BatchInterpreter::RememberLabel(const QString& label, qint64 start) {
    const size_t key = qHash(label, m_hashSeed);
    if (m_labels.contains(key)) return;
    if (int(m_labels.size()) < MostLabelsRemembered)
        m_labels.emplace(key, start);
    else
        m_labelsComplete = false;
}

std::optional<qint64> BatchInterpreter::FindLabel(const QString& label) {
    const QString wanted = label.toCaseFolded();
    if (const auto found = m_labels.find(qHash(wanted, m_hashSeed)); found != m_labels.end()) {
        // The first label with this hash: this one, or another that shares its hash by chance,
        // in which case the file is read from its start.
        if (Status placed = m_source->Seek(found->second); placed) {
            const std::optional<BatchLine> line = ReadLine();
            if (line && LabelOf(line->text) == wanted) return m_source->Position();
        }
        return ScanForLabel(0, wanted);
    }
    if (!m_labelsComplete) {
        // The label may be one of those past the index's size: searching the file for it at
        // every jump would make the run's time grow with the square of the file's length.
        Fail(QStringLiteral("Batch file stopped: it has more than ") +
             QString::number(MostLabelsRemembered) + QStringLiteral(" labels to find ") + label +
             QStringLiteral(" among"));
        m_readFailed = true;
        return std::nullopt;
    }
    // Not among the lines read so far: read on from the last of them.
    return ScanForLabel(m_readUpTo, wanted);
}

std::optional<qint64> BatchInterpreter::ScanForLabel(qint64 position, const QString& wanted) {
    if (Status placed = m_source->Seek(position); !placed) {
        Fail(QStringLiteral("Cannot read the batch file - ") + placed.reason());
        m_readFailed = true;
        return std::nullopt;
    }
    while (const std::optional<BatchLine> line = ReadLine()) {
        if (LabelOf(line->text) == wanted) return m_source->Position();
    }
    return std::nullopt;
}

BatchInterpreter::Flow BatchInterpreter::Execute(QStringView command) {
    QStringView line = SkipBlanks(command);
    if (line.isEmpty()) return {};
    // Echo's text is taken as written, not split into words; "Echo." prints an empty line.
    if (line.startsWith(u"echo", Qt::CaseInsensitive) &&
        (line.size() == 4 || IsDelimiter(line.at(4)) || line.at(4) == u'.'))
        return Echo(line.mid(std::min<qsizetype>(5, line.size())),
                    line.size() == 4 ? QChar(u' ') : line.at(4));

    QStringView rest = line;
    const QString word = NextWord(rest);
    const Command known = Identify(word);
    if (known == Command::Attrib || known == Command::Copy || known == Command::Delete) {
        if (const QString unnamed = FirstNameDosCannotUse(QStringList(word) + Words(rest));
            !unnamed.isEmpty()) {
            FailUnnamed(unnamed);
            return {};
        }
    }
    Console console(*this);
    switch (known) {
    case Command::If: return If(rest);
    case Command::GoTo: return GoTo(rest);
    case Command::Rem: return {};
    case Command::Ctty: Ctty(Words(rest)); return {};
    case Command::Attrib: NoteWritten(stowix::Attrib(m_files, console, Words(rest))); return {};
    case Command::Copy: NoteWritten(stowix::Copy(m_files, console, Words(rest))); return {};
    case Command::Delete: Delete(Words(rest)); return {};
    case Command::Unknown: break;
    }
    Print(QStringLiteral("Bad command or file name"));
    m_report.errors.append(QStringLiteral("Bad command or file name - ") + word);
    return {};
}

BatchInterpreter::Flow BatchInterpreter::Echo(QStringView rest, QChar separator) {
    if (separator == u'.') {
        Print(rest.toString());
        return {};
    }
    const QStringView word = rest.trimmed();
    if (word.isEmpty())
        Print(m_echo ? QStringLiteral("ECHO is on") : QStringLiteral("ECHO is off"));
    else if (word.compare(u"off", Qt::CaseInsensitive) == 0)
        m_echo = false;
    else if (word.compare(u"on", Qt::CaseInsensitive) == 0)
        m_echo = true;
    else
        Print(rest.toString());
    return {};
}

// Only the file test is known here: If [Not] Exist <pattern> <command>. String comparisons and
// ErrorLevel tests are reported as DOS reports a condition it cannot read.
BatchInterpreter::Flow BatchInterpreter::If(QStringView rest) {
    QString word = NextWord(rest);
    bool negate = false;
    if (word.compare(u"NOT", Qt::CaseInsensitive) == 0) {
        negate = true;
        word = NextWord(rest);
    }
    const QString pattern =
        word.compare(u"EXIST", Qt::CaseInsensitive) == 0 ? NextWord(rest) : QString();
    const QStringView command = SkipDelimiters(rest);
    if (pattern.isEmpty() || command.isEmpty()) {
        Fail(QStringLiteral("Syntax error"));
        return {};
    }
    if (!FirstNameDosCannotUse({pattern}).isEmpty()) {
        FailUnnamed(pattern);
        return {};
    }
    // Every kind of file counts, hidden and system ones too: the staged registry files keep the
    // attributes they had in the Windows folder, and the test must find them. Folders never
    // count, as under DOS.
    const Result<QStringList> found = MatchingFiles(m_files, pattern, SeenByIfExist);
    const bool exists = found && !found.value().isEmpty();
    if (exists != negate) return Execute(command);
    return {};
}

// Labels are compared whole, without regard to case. A missing label ends the batch file.
BatchInterpreter::Flow BatchInterpreter::GoTo(QStringView rest) {
    QString label = NextWord(rest);
    if (label.startsWith(u':')) label.remove(0, 1);
    if (!label.isEmpty()) {
        if (const std::optional<qint64> position = FindLabel(label))
            return {Flow::Kind::Jump, *position};
    }
    if (!m_readFailed) Fail(QStringLiteral("Label not found"));
    return {Flow::Kind::End, 0};
}

// CTTY Nul detaches the console: nothing is shown until CTTY Con gives it back.
void BatchInterpreter::Ctty(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        Fail(QStringLiteral("Required parameter missing"));
        return;
    }
    QString device = arguments.first().toUpper();
    if (device.endsWith(u':')) device.chop(1);
    if (device == u"NUL")
        m_silenced = true;
    else if (device == u"CON")
        m_silenced = false;
    else
        Fail(QStringLiteral("Invalid device - ") + arguments.first());
}

void BatchInterpreter::Delete(const QStringList& arguments) {
    if (!MakeWritesDurable()) return;
    Console console(*this);
    stowix::Delete(m_files, console, arguments);
}

bool BatchInterpreter::MakeWritesDurable() {
    while (!m_unflushedDrives.empty()) {
        const QChar drive = *m_unflushedDrives.begin();
        const QString root = QString(drive) + QStringLiteral(":\\");
        if (Status flushed = m_files.FlushToDisk(root); !flushed) {
            Fail(QStringLiteral("Nothing deleted: the files written before could not be made "
                                "durable - ") +
                 flushed.reason());
            return false;
        }
        m_unflushedDrives.erase(m_unflushedDrives.begin());
    }
    return true;
}

void BatchInterpreter::NoteWritten(const QStringList& paths) {
    for (const QString& path : paths) m_unflushedDrives.insert(DriveOf(path, m_files));
}

void BatchInterpreter::Print(const QString& line) {
    if (!m_silenced && m_console) m_console(line);
}

// Windows runs the script in real-mode DOS, where only short names exist: a path with a long
// name fails there, so it fails here, rather than succeed where the real start would not.
void BatchInterpreter::FailUnnamed(const QString& word) {
    Fail(QStringLiteral("Path not found - ") + word +
         QStringLiteral(" (real-mode DOS knows only short 8.3 names)"));
}

void BatchInterpreter::Fail(const QString& line) {
    Print(line);
    m_report.errors.append(line);
}

QString BatchInterpreter::Prompt() { return m_files.CurrentFolder() + u'>'; }

}  // namespace stowix
