#pragma once
// A libbfio handle that reads through a FileReader (fs/file_system.h), so that libcreg
// reads a registry file wherever the file system keeps it (a host folder, a disk image) without
// the whole file in memory. Reads go through a window of the file held here, since libcreg asks
// for many small pieces (28 bytes a key). It does not deal with libcreg itself.

#include "fs/file_system.h"

#include <libbfio.h>

#include <memory>

namespace stowix {

// Owns the handle and what it reads through; the reader must outlive it.
class FileReaderBfio {
public:
    explicit FileReaderBfio(FileReader& reader);
    ~FileReaderBfio();
    FileReaderBfio(const FileReaderBfio&) = delete;
    FileReaderBfio& operator=(const FileReaderBfio&) = delete;

    // Null when the handle could not be made.
    libbfio_handle_t* Handle() const { return m_handle; }

    struct State;  // the io handle that libbfio hands back to the callbacks

private:
    std::unique_ptr<State> m_state;
    libbfio_handle_t* m_handle = nullptr;
};

// A FileReader over bytes in memory, for files that are already read whole.
class BytesReader : public FileReader {
public:
    explicit BytesReader(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    qint64 Size() const override { return m_bytes.size(); }
    Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 size) override;

private:
    QByteArray m_bytes;
};

}  // namespace stowix
