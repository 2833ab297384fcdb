#include "sets/set_facts.h"

namespace stowix {

SetFacts ReadSetFacts(FileSystem& files, const QString& setPath) {
    SetFacts facts;
    Result<std::optional<SetRecord>> read = ReadSetRecord(files, setPath);
    if (!read) {
        facts.completeness = SetCompleteness::Incomplete;
        facts.problem = read.reason();
        return facts;
    }
    facts.record = std::move(read).value();
    if (!facts.record) return facts;
    facts.completeness =
        facts.record->complete ? SetCompleteness::Complete : SetCompleteness::Incomplete;
    facts.made = facts.record->made;
    return facts;
}

QString IncompleteText(const SetFacts& facts) {
    if (!facts.Incomplete()) return QString();
    if (!facts.problem.isEmpty()) return QStringLiteral("incomplete: ") + facts.problem;
    return QStringLiteral("incomplete: the run that made it did not finish");
}

}  // namespace stowix
