#pragma once
// The outcome of deleting many files, each tried whatever the others gave: success, the one
// failure as it is, or the first with the count of the others ("... (and 3 more files could not
// be deleted)"). It serves every drive kind's deletion of the files that match a pattern.

#include "services/result.h"

#include <optional>

namespace stowix {

class DeletionFailures {
public:
    void Note(const Status& deleted) {
        if (deleted) return;
        ++m_count;
        if (!m_first) m_first = deleted;
    }

    Status Outcome() const {
        if (!m_first) return Status::Ok();
        if (m_count == 1) return *m_first;
        return Status::Fail(
            m_first->reason() +
            QStringLiteral(" (and %1 more files could not be deleted)").arg(m_count - 1));
    }

private:
    std::optional<Status> m_first;
    int m_count = 0;
};

}  // namespace stowix
