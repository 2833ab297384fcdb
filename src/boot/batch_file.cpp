#include "boot/batch_file.h"

#include "dos/ansi_code_page.h"

#include <cstring>

namespace stowix {

namespace {

constexpr char EndOfFileMark = 0x1A;
constexpr qint64 BufferBytes = 64 * 1024;

// A whole content held in memory, read as a file.
class ContentReader final : public FileReader {
public:
    explicit ContentReader(const QByteArray& content) : m_content(content) {}
    qint64 Size() const override { return m_content.size(); }
    Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 size) override {
        const qint64 count = std::max<qint64>(0, std::min(size, Size() - offset));
        if (count > 0) std::memcpy(buffer, m_content.constData() + offset, size_t(count));
        return count;
    }

private:
    const QByteArray& m_content;
};

}  // namespace

BatchFile::BatchFile(FileReader& reader, QString fileName)
    : m_reader(reader), m_fileName(std::move(fileName)) {}

Status BatchFile::Seek(qint64 position) {
    if (position < 0)
        return Status::Fail(m_fileName + QStringLiteral(": no position ") +
                            QString::number(position));
    m_next = position;
    return Status::Ok();
}

Result<std::optional<char>> BatchFile::ByteAt(qint64 offset) {
    if (m_ended && offset >= m_endAt) return std::optional<char>();
    if (offset < m_bufferStart || offset >= m_bufferStart + m_buffer.size()) {
        m_buffer.resize(qsizetype(BufferBytes));
        const Result<qint64> got = m_reader.ReadAt(offset, m_buffer.data(), BufferBytes);
        if (!got) {
            m_buffer.clear();
            return Status::Fail(QStringLiteral("Cannot read the batch file - ") + got.reason());
        }
        m_buffer.resize(qsizetype(got.value()));
        m_bufferStart = offset;
        if (m_buffer.isEmpty()) return std::optional<char>();
    }
    const char byte = m_buffer.at(qsizetype(offset - m_bufferStart));
    if (byte == EndOfFileMark) {
        m_ended = true;
        m_endAt = offset;
        return std::optional<char>();
    }
    return std::optional<char>(byte);
}

Result<std::optional<BatchLine>> BatchFile::NextLine() {
    BatchLine line;
    qint64 at = m_next;
    qint64 kept = 0;
    for (;; ++at) {
        const Result<std::optional<char>> byte = ByteAt(at);
        if (!byte) return byte.status();
        if (!byte.value()) {
            if (at == m_next) return std::optional<BatchLine>();  // the end: no line is left
            break;                                                // a last line without its end
        }
        if (*byte.value() == '\n') {
            ++at;
            break;
        }
        if (kept < MostLineBytes) {
            line.text.append(CharacterFromWindows1252(static_cast<unsigned char>(*byte.value())));
            ++kept;
        } else {
            line.tooLong = true;
        }
    }
    if (line.text.endsWith(u'\r') && !line.tooLong) line.text.chop(1);
    m_next = at;
    return std::optional<BatchLine>(std::move(line));
}

QStringList BatchLinesFromAnsi(const QByteArray& content) {
    ContentReader reader(content);
    BatchFile file(reader, QString());
    QStringList lines;
    for (;;) {
        Result<std::optional<BatchLine>> line = file.NextLine();
        if (!line || !line.value()) break;
        lines.append(std::move(line.value()->text));
    }
    return lines;
}

}  // namespace stowix
