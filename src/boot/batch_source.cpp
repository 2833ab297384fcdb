#include "boot/batch_source.h"

namespace stowix {

Status BatchLines::Seek(qint64 position) {
    if (position < 0 || position > m_lines.size())
        return Status::Fail(QStringLiteral("no line ") + QString::number(position));
    m_next = position;
    return Status::Ok();
}

Result<std::optional<BatchLine>> BatchLines::NextLine() {
    if (m_next >= m_lines.size()) return std::optional<BatchLine>();
    return std::optional<BatchLine>(BatchLine{m_lines.at(qsizetype(m_next++)), false});
}

}  // namespace stowix
