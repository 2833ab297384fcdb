#pragma once
// One ordered record of everything the fakes were asked to do, so that a test can check the
// order of a command's steps across controls and services.

#include <QString>
#include <QStringList>

#include <ostream>

namespace stowix::test {

struct EventLog {
    QStringList entries;
    void Add(const QString& entry) { entries.append(entry); }
    // The entries that begin with prefix, in order.
    QStringList Matching(const QString& prefix) const {
        QStringList found;
        for (const QString& entry : entries)
            if (entry.startsWith(prefix)) found.append(entry);
        return found;
    }
    int IndexOf(const QString& entry) const { return entries.indexOf(entry); }
    void Clear() { entries.clear(); }
};

}  // namespace stowix::test

// Lets GoogleTest print QStrings and lists in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << "[\n";
    for (const QString& entry : list) *out << "  " << entry.toStdString() << "\n";
    *out << "]";
}
