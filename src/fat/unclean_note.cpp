#include "fat/unclean_note.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace stowix::fat {

namespace {

QString StateFolder() {
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.isEmpty() && QDir::isAbsolutePath(state)) return state + QStringLiteral("/stowix");
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty()) return QString();
    return home + QStringLiteral("/.local/state/stowix");
}

}  // namespace

UncleanNote::UncleanNote(dev_t device, ino_t inode, qint64 volumeOffset, uint32_t serial,
                         const QString& imageName)
    : m_imageName(imageName) {
    const QString folder = StateFolder();
    if (folder.isEmpty()) return;
    m_path = QFile::encodeName(folder + QStringLiteral("/writing-%1-%2-%3-%4")
                                            .arg(qulonglong(device))
                                            .arg(qulonglong(inode))
                                            .arg(volumeOffset)
                                            .arg(serial, 8, 16, QChar(u'0')))
                 .toStdString();
}

bool UncleanNote::Exists() const {
    struct stat info {};
    return !m_path.empty() && ::stat(m_path.c_str(), &info) == 0;
}

bool UncleanNote::Make() const {
    if (m_path.empty()) return false;
    const QString path = QFile::decodeName(m_path.c_str());
    if (!QDir().mkpath(QFileInfo(path).path())) return false;
    QFile note(path);
    if (!note.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray text = "Stowix is writing a volume of " + m_imageName.toLocal8Bit() + '\n';
    return note.write(text) == text.size() && note.flush();
}

void UncleanNote::Remove() const {
    if (!m_path.empty()) ::unlink(m_path.c_str());
}

}  // namespace stowix::fat
