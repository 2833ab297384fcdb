#include "platform/dos/batch_interpreter.h"

#include <vector>

namespace stowix {

namespace {

// A batch file that jumps back on itself would run for ever under DOS; a stand-in that runs
// unattended at a machine's start ends it instead.
constexpr int MostLinesRun = 100'000;

constexpr int SeenByAttrib = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
// Copy and Del search as DOS does with no attribute given: plain and read-only files, never
// hidden or system ones.
constexpr int SeenByCopyAndDel = Attribute::ReadOnly;

// The characters that separate a command's words under COMMAND.COM.
bool IsDelimiter(QChar c) {
    return c == u' ' || c == u'\t' || c == u',' || c == u';' || c == u'=';
}

QStringView SkipDelimiters(QStringView text) {
    qsizetype at = 0;
    while (at < text.size() && IsDelimiter(text.at(at))) ++at;
    return text.mid(at);
}

QStringView SkipBlanks(QStringView text) {
    qsizetype at = 0;
    while (at < text.size() && (text.at(at) == u' ' || text.at(at) == u'\t')) ++at;
    return text.mid(at);
}

// Takes the next word off rest: delimiters skipped, then everything up to the next delimiter
// outside double quotes (which long names need, as Windows 9x's COMMAND.COM allows); the quotes
// themselves are dropped.
QString NextWord(QStringView& rest) {
    rest = SkipDelimiters(rest);
    QString word;
    bool quoted = false;
    qsizetype at = 0;
    for (; at < rest.size(); ++at) {
        const QChar c = rest.at(at);
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && IsDelimiter(c)) break;
        word.append(c);
    }
    rest = rest.mid(at);
    return word;
}

QStringList Words(QStringView rest) {
    QStringList words;
    for (QString word = NextWord(rest); !word.isEmpty() || !rest.isEmpty(); word = NextWord(rest))
        if (!word.isEmpty()) words.append(word);
    return words;
}

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

// The folder part of a path or pattern, ready for a listed name to be appended: "C:\STOWIX\" of
// "C:\STOWIX\*.DA?", "C:" of "C:*.*", empty for a bare name in the current folder.
QString FolderPart(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'\\');
    if (slash >= 0) return path.left(slash + 1);
    if (path.size() >= 2 && path.at(1) == u':') return path.left(2);
    return QString();
}

bool IsDriveOnly(const QString& path) { return path.size() == 2 && path.at(1) == u':'; }

// DOS's own display of a file's attributes: A, then S, H and R, then the path.
QString AttributeLine(int attributes, const QString& path) {
    QString line(11, u' ');
    if (attributes & Attribute::Archive) line[0] = u'A';
    if (attributes & Attribute::System) line[3] = u'S';
    if (attributes & Attribute::Hidden) line[4] = u'H';
    if (attributes & Attribute::ReadOnly) line[5] = u'R';
    return line + path;
}

QString CopiedCount(int count) {
    return QStringLiteral("        ") + QString::number(count) + QStringLiteral(" file(s) copied");
}

}  // namespace

BatchInterpreter::BatchInterpreter(FileSystem& files, ConsoleOutput console)
    : m_files(files), m_console(std::move(console)) {}

BatchReport BatchInterpreter::Run(const QStringList& lines) {
    m_lines = lines;
    m_echo = true;
    m_silenced = false;
    m_report = BatchReport();

    int next = 0;
    for (int run = 0; next < m_lines.size(); ++run) {
        if (run == MostLinesRun) {
            Fail(QStringLiteral("Batch file stopped after ") + QString::number(MostLinesRun) +
                 QStringLiteral(" lines: it does not end"));
            break;
        }
        QStringView line = SkipBlanks(m_lines.at(next));
        ++next;
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.isEmpty() || line.startsWith(u':')) continue;  // labels are not run
        bool hidden = false;
        if (line.startsWith(u'@')) {
            hidden = true;
            line = SkipBlanks(line.mid(1));
        }
        if (m_echo && !hidden) Print(Prompt() + line.toString());
        const Flow flow = Execute(line);
        if (flow.kind == Flow::Kind::End) break;
        if (flow.kind == Flow::Kind::Jump) next = flow.line;
    }
    return m_report;
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
    switch (Identify(word)) {
    case Command::If: return If(rest);
    case Command::GoTo: return GoTo(rest);
    case Command::Rem: return {};
    case Command::Ctty: Ctty(Words(rest)); return {};
    case Command::Attrib: Attrib(Words(rest)); return {};
    case Command::Copy: Copy(Words(rest)); return {};
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
    const QString pattern = word.compare(u"EXIST", Qt::CaseInsensitive) == 0 ? NextWord(rest)
                                                                             : QString();
    const QStringView command = SkipDelimiters(rest);
    if (pattern.isEmpty() || command.isEmpty()) {
        Fail(QStringLiteral("Syntax error"));
        return {};
    }
    // Every kind of file counts, hidden and system ones too: the staged registry files keep the
    // attributes they had in the Windows folder, and the test must find them. Folders never
    // count, as under DOS.
    bool exists = false;
    if (const Result<std::vector<FolderEntry>> entries = m_files.ListFolder(pattern, SeenByAttrib))
        for (const FolderEntry& entry : entries.value())
            if (!(entry.attributes & Attribute::Folder)) exists = true;
    if (exists != negate) return Execute(command);
    return {};
}

// Labels are compared whole, without regard to case. A missing label ends the batch file.
BatchInterpreter::Flow BatchInterpreter::GoTo(QStringView rest) {
    QString label = NextWord(rest);
    if (label.startsWith(u':')) label.remove(0, 1);
    for (int at = 0; !label.isEmpty() && at < m_lines.size(); ++at) {
        QStringView line = SkipBlanks(m_lines.at(at));
        if (!line.startsWith(u':')) continue;
        line = line.mid(1);
        if (line.endsWith(u'\r')) line.chop(1);
        if (NextWord(line).compare(label, Qt::CaseInsensitive) == 0)
            return {Flow::Kind::Jump, at + 1};
    }
    Fail(QStringLiteral("Label not found"));
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

// Attrib [+|-][R A S H]... [pattern]: sees hidden and system files too. Without a change it
// shows each file's attributes; with one it shows each file's new attributes.
void BatchInterpreter::Attrib(const QStringList& arguments) {
    int set = 0;
    int clear = 0;
    QStringList paths;
    for (const QString& argument : arguments) {
        if (argument.startsWith(u'+') || argument.startsWith(u'-')) {
            int bit = 0;
            if (argument.size() == 2) {
                switch (argument.at(1).toUpper().unicode()) {
                case u'R': bit = Attribute::ReadOnly; break;
                case u'H': bit = Attribute::Hidden; break;
                case u'S': bit = Attribute::System; break;
                case u'A': bit = Attribute::Archive; break;
                default: break;
                }
            }
            if (bit == 0) {
                Fail(QStringLiteral("Invalid switch - ") + argument);
                return;
            }
            (argument.startsWith(u'+') ? set : clear) |= bit;
        } else if (argument.startsWith(u'/')) {
            Fail(QStringLiteral("Invalid switch - ") + argument);
            return;
        } else {
            paths.append(argument);
        }
    }
    if (paths.size() > 1) {
        Fail(QStringLiteral("Too many parameters - ") + paths.at(1));
        return;
    }
    const QString pattern = paths.isEmpty() ? QStringLiteral("*.*") : paths.first();
    const Result<std::vector<FolderEntry>> entries = m_files.ListFolder(pattern, SeenByAttrib);
    if (!entries) {
        Fail(QStringLiteral("File not found - ") + pattern + QStringLiteral(" (") +
             entries.reason() + u')');
        return;
    }
    const QString folder = FolderPart(pattern);
    bool found = false;
    for (const FolderEntry& entry : entries.value()) {
        if (entry.attributes & Attribute::Folder) continue;
        found = true;
        const QString path = folder + entry.name;
        // Read afresh: a listing need not carry the values of the kinds its mask takes whole.
        const Result<int> current = m_files.ReadAttributes(path);
        if (!current) {
            Fail(QStringLiteral("Access denied - ") + path + QStringLiteral(" (") +
                 current.reason() + u')');
            continue;
        }
        const int value = (current.value() & ~clear) | set;
        if (value != current.value()) {
            if (Status written = m_files.WriteAttributes(path, value); !written) {
                Fail(QStringLiteral("Access denied - ") + path + QStringLiteral(" (") +
                     written.reason() + u')');
                continue;
            }
        }
        Print(AttributeLine(value, path));
    }
    if (!found) Fail(QStringLiteral("File not found - ") + pattern);
}

// Copy <pattern> [destination]: every plain or read-only file that matches, into a folder or onto
// one file. As DOS copies, hidden and system files are not seen, an existing read-only, hidden
// or system target is refused, and a copy carries the archive attribute alone. Combining files
// ("a+b", or several files onto one) and wildcard destinations are not done here.
void BatchInterpreter::Copy(const QStringList& arguments) {
    QStringList operands;
    for (const QString& argument : arguments) {
        if (!argument.startsWith(u'/')) {
            operands.append(argument);
            continue;
        }
        const QString option = argument.toUpper();
        if (option != u"/A" && option != u"/B" && option != u"/V" && option != u"/Y" &&
            option != u"/-Y") {
            Fail(QStringLiteral("Invalid switch - ") + argument);
            return;
        }
    }
    if (operands.isEmpty()) {
        Fail(QStringLiteral("Required parameter missing"));
        return;
    }
    // A folder with blanks, unquoted, reads as more operands here as it does under DOS.
    if (operands.size() > 2) {
        Fail(QStringLiteral("Too many parameters - ") + operands.at(2));
        return;
    }
    const QString source = operands.at(0);
    const QString destination = operands.size() == 2 ? operands.at(1) : QString();
    if (source.contains(u'+')) {
        Fail(QStringLiteral("Combining files is not supported - ") + source);
        Print(CopiedCount(0));
        return;
    }
    if (destination.contains(u'*') || destination.contains(u'?')) {
        Fail(QStringLiteral("Wildcard destinations are not supported - ") + destination);
        Print(CopiedCount(0));
        return;
    }

    std::vector<QString> names;
    if (const Result<std::vector<FolderEntry>> entries =
            m_files.ListFolder(source, SeenByCopyAndDel))
        for (const FolderEntry& entry : entries.value())
            if (!(entry.attributes & Attribute::Folder)) names.push_back(entry.name);
    if (names.empty()) {
        Fail(QStringLiteral("File not found - ") + source);
        Print(CopiedCount(0));
        return;
    }

    bool intoFolder = destination.isEmpty() || destination.endsWith(u'\\') ||
                      IsDriveOnly(destination);
    if (!intoFolder) {
        const Result<int> attributes = m_files.ReadAttributes(destination);
        intoFolder = attributes && (attributes.value() & Attribute::Folder);
    }
    if (!intoFolder && names.size() > 1) {
        Fail(QStringLiteral("Cannot copy several files onto one file - ") + destination);
        Print(CopiedCount(0));
        return;
    }
    QString targetFolder = destination;
    if (intoFolder && !targetFolder.isEmpty() && !targetFolder.endsWith(u'\\') &&
        !IsDriveOnly(targetFolder))
        targetFolder += u'\\';

    const QString sourceFolder = FolderPart(source);
    int copied = 0;
    for (const QString& name : names) {
        const QString from = sourceFolder + name;
        const QString to = intoFolder ? targetFolder + name : destination;
        if (Absolute(from).compare(Absolute(to), Qt::CaseInsensitive) == 0) {
            Fail(QStringLiteral("File cannot be copied onto itself - ") + from);
            continue;
        }
        if (const Result<int> existing = m_files.ReadAttributes(to);
            existing && (existing.value() & (Attribute::Folder | Attribute::ReadOnly |
                                             Attribute::Hidden | Attribute::System))) {
            Fail(QStringLiteral("Access denied - ") + to);
            continue;
        }
        Print(from);
        if (Status done = m_files.CopyFile(from, to); !done) {
            Fail(QStringLiteral("File creation error - ") + to + QStringLiteral(" (") +
                 done.reason() + u')');
            continue;
        }
        if (Status marked = m_files.WriteAttributes(to, Attribute::Archive); !marked)
            Fail(QStringLiteral("Copied, but its attributes could not be set - ") + to +
                 QStringLiteral(" (") + marked.reason() + u')');
        ++copied;
    }
    Print(CopiedCount(copied));
}

// Del <pattern>: deletes the plain files that match; hidden and system files are not seen and a
// read-only one is refused, as under DOS.
void BatchInterpreter::Delete(const QStringList& arguments) {
    QStringList operands;
    for (const QString& argument : arguments) {
        if (argument.startsWith(u'/')) {
            Fail(QStringLiteral("Invalid switch - ") + argument);
            return;
        }
        operands.append(argument);
    }
    if (operands.isEmpty()) {
        Fail(QStringLiteral("Required parameter missing"));
        return;
    }
    if (operands.size() > 1) {
        Fail(QStringLiteral("Too many parameters - ") + operands.at(1));
        return;
    }
    const QString pattern = operands.first();
    const QString folder = FolderPart(pattern);
    bool found = false;
    if (const Result<std::vector<FolderEntry>> entries =
            m_files.ListFolder(pattern, SeenByCopyAndDel)) {
        for (const FolderEntry& entry : entries.value()) {
            if (entry.attributes & Attribute::Folder) continue;
            found = true;
            const QString path = folder + entry.name;
            const Result<int> current = m_files.ReadAttributes(path);
            if (current && (current.value() & Attribute::ReadOnly)) {
                Fail(QStringLiteral("Access denied - ") + path);
                continue;
            }
            if (Status deleted = m_files.DeleteFile(path); !deleted) {
                Fail(QStringLiteral("Access denied - ") + path + QStringLiteral(" (") +
                     deleted.reason() + u')');
                continue;
            }
            Print(path + QStringLiteral(" deleted"));
        }
    }
    if (!found) Fail(QStringLiteral("File not found - ") + pattern);
}

void BatchInterpreter::Print(const QString& line) {
    if (!m_silenced && m_console) m_console(line);
}

void BatchInterpreter::Fail(const QString& line) {
    Print(line);
    m_report.errors.append(line);
}

QString BatchInterpreter::Prompt() { return m_files.CurrentFolder() + u'>'; }

// The full form of a path, so that a file and itself are seen as one: "X" in the current folder
// C:\WINDOWS gives C:\WINDOWS\X.
QString BatchInterpreter::Absolute(const QString& path) {
    if (path.size() >= 3 && path.at(1) == u':' && path.at(2) == u'\\') return path;
    if (path.startsWith(u'\\')) return m_files.CurrentDrive() + path;
    QString folder = m_files.CurrentFolder();
    if (!folder.endsWith(u'\\')) folder += u'\\';
    if (path.size() >= 2 && path.at(1) == u':') return path;  // another drive's current folder
    return folder + path;
}

}  // namespace stowix
