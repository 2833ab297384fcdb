#include "files/copy_failure_list.h"

#include <QStringList>

namespace stowix {

QString ListCopyFailures(const std::vector<CopyFailure>& failures) {
    QStringList lines;
    const int total = int(failures.size());
    for (int i = 0; i < total && i < ListedCopyFailures; ++i) {
        const CopyFailure& failure = failures[std::size_t(i)];
        lines.append(failure.reason.startsWith(failure.path)
                         ? failure.reason
                         : failure.path + QStringLiteral(": ") + failure.reason);
    }
    if (total > ListedCopyFailures)
        lines.append(QStringLiteral("... and ") + QString::number(total - ListedCopyFailures) +
                     QStringLiteral(" more"));
    return lines.join(u'\r');
}

}  // namespace stowix
