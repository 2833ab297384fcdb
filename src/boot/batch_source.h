#pragma once
// Where a batch file's lines come from. COMMAND.COM does not hold a batch file in memory: it
// reads one line at a time from a remembered position, and GoTo reads again from the start. A
// source gives lines in order and goes back to any position it gave out, so that a script of any
// length runs in bounded memory. It does not deal with what the lines mean.

#include "services/result.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace stowix {

struct BatchLine {
    QString text;          // without its line end
    bool tooLong = false;  // longer than the source keeps: text holds its start only
};

class BatchSource {
public:
    virtual ~BatchSource() = default;
    // Where the next line starts; Seek(Position()) comes back to it.
    virtual qint64 Position() const = 0;
    virtual Status Seek(qint64 position) = 0;
    // The next line; nothing at the end of the file.
    virtual Result<std::optional<BatchLine>> NextLine() = 0;
};

// Lines held in memory; a position is a line's index.
class BatchLines final : public BatchSource {
public:
    explicit BatchLines(QStringList lines) : m_lines(std::move(lines)) {}

    qint64 Position() const override { return m_next; }
    Status Seek(qint64 position) override;
    Result<std::optional<BatchLine>> NextLine() override;

private:
    QStringList m_lines;
    qint64 m_next = 0;
};

}  // namespace stowix
