#pragma once
// The text of a DOS batch file as COMMAND.COM reads it: single bytes in the ANSI code page
// (Windows-1252), lines ended by CR LF or LF, and the end at a Ctrl-Z mark if there is one.
// BatchFile reads it from a FileReader a piece at a time, so that memory stays bounded whatever
// the file's size: one buffer, and one line of at most MostLineBytes (COMMAND.COM itself keeps
// 127 characters of a line; the program's own lines are well within this).

#include "boot/batch_source.h"
#include "fs/file_system.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace stowix {

class BatchFile final : public BatchSource {
public:
    static constexpr qint64 MostLineBytes = 8192;

    // Non-owning: reader outlives the source. fileName names the file in read failures.
    BatchFile(FileReader& reader, QString fileName);

    qint64 Position() const override { return m_next; }
    Status Seek(qint64 position) override;
    Result<std::optional<BatchLine>> NextLine() override;

private:
    // The byte at offset, reading the buffer's piece when needed; nothing at the end.
    Result<std::optional<char>> ByteAt(qint64 offset);

    FileReader& m_reader;
    QString m_fileName;
    qint64 m_next = 0;    // where the next line starts, in bytes
    QByteArray m_buffer;  // the piece of the file at m_bufferStart
    qint64 m_bufferStart = 0;
    bool m_ended = false;  // a Ctrl-Z mark was met at m_endAt
    qint64 m_endAt = 0;
};

// The lines of a batch file's whole content, without their line ends.
QStringList BatchLinesFromAnsi(const QByteArray& content);

}  // namespace stowix
