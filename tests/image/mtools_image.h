#pragma once
// A disk image made and read back by mtools (and checked by fsck.fat), never by the engine under
// test: the independent side of every image test. It makes an image in a fresh temporary folder
// (a bare FAT volume, an MBR disk with one partition, or a fixed VHD of such a disk), fills it
// with mmd, mcopy and mattrib, and reads names, bytes and attributes back the same way.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace stowix::tools {
struct DriveContents;
}

namespace stowix::test {

// A digest of a whole file, to show that a refused run left an image's bytes as they were.
QByteArray FileDigest(const QString& path);

struct ImageSpec {
    enum class Layout { Bare, Mbr, FixedVhd };
    int fatBits = 32;    // 12, 16 or 32
    int megabytes = 64;  // the FAT volume's size
    Layout layout = Layout::Mbr;
};

class MtoolsImage {
public:
    explicit MtoolsImage(const ImageSpec& spec = {});
    // An image made elsewhere, its FAT volume at offset, volumeBytes long.
    MtoolsImage(const QString& existing, qint64 offset, qint64 volumeBytes);
    MtoolsImage(const MtoolsImage&) = delete;
    MtoolsImage& operator=(const MtoolsImage&) = delete;

    QString Path() const { return m_image; }
    QString Folder() const { return m_folder.path(); }
    qint64 VolumeOffset() const { return m_offset; }
    qint64 VolumeBytes() const { return m_volumeBytes; }

    // Made by mtools. DOS paths are drive-relative ("WINDOWS\WIN.INI"); parents must exist.
    void AddFolder(const QString& path);
    void AddFile(const QString& path, const QByteArray& bytes, int attributes = 0x20,
                 std::optional<QDateTime> modified = std::nullopt);
    // The whole generated drive: its folders, files, attribute values and times.
    void AddDrive(const tools::DriveContents& contents);

    // Read by mtools: nothing for a missing file.
    std::optional<QByteArray> Bytes(const QString& path) const;
    // The last-write time mcopy gives a copy it takes out (-m); nothing for a missing file.
    std::optional<QDateTime> Modified(const QString& path) const;
    // The DOS attribute value mattrib shows (read-only, hidden, system, archive); -1 if missing.
    int Attributes(const QString& path) const;
    // The long names (or short ones where there are none) in a folder, sorted; hidden included.
    QStringList Names(const QString& folder) const;
    // The short name of an entry, as mdir shows it ("LONGNA~1.TXT").
    QString ShortName(const QString& path) const;
    // The bytes mdir says are free on the volume; -1 when it does not say.
    qint64 FreeBytes() const;
    // fsck.fat -n on the volume: empty when it finds nothing to mend, else its report.
    QString FsckProblems() const;
    // The same, but lost clusters and table copies that differ while the first is intact (what
    // a kill between two writes may leave), and the dirty bit such a kill leaves set, are no
    // problem: empty when that is all.
    QString FsckDamage() const;
    // fsck.fat -a on the volume, written back into the image: the repair a user would make.
    void FsckRepair();

    // A byte of the volume, for tests that damage it on purpose.
    void PokeVolume(qint64 offset, const QByteArray& bytes);
    QByteArray PeekVolume(qint64 offset, qint64 size) const;

    // Runs an mtools command on the image ("mdir", {"-a", ...}); the target "::" arguments are
    // written as "::/PATH". Gives the exit status and the standard output.
    std::pair<int, QByteArray> Mtools(const QString& command, QStringList arguments) const;
    QString Target(const QString& path) const;

private:
    QTemporaryDir m_folder;
    QString m_image;
    qint64 m_offset = 0;
    qint64 m_volumeBytes = 0;
};

// Runs a program; exit status (-1 when it did not run) and standard output and error.
std::pair<int, QByteArray> RunProgram(const QString& program, const QStringList& arguments);

}  // namespace stowix::test
