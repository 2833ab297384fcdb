#include "prune/keep_rules.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <optional>

namespace stowix {

namespace {

struct Rule {
    const char* name;
    int count;
    // The period a set falls in; sets of one period share the value.
    std::function<qint64(const DatedSet&, qsizetype index)> period;
};

qint64 Week(const QDate& day) {
    int year = 0;
    const int week = day.weekNumber(&year);
    return qint64(year) * 100 + week;
}

std::vector<Rule> RulesOf(const KeepRules& rules) {
    return {
        {"last", rules.last, [](const DatedSet&, qsizetype index) { return qint64(index); }},
        {"daily", rules.daily,
         [](const DatedSet& set, qsizetype) { return set.made.date().toJulianDay(); }},
        {"weekly", rules.weekly,
         [](const DatedSet& set, qsizetype) { return Week(set.made.date()); }},
        {"monthly", rules.monthly,
         [](const DatedSet& set, qsizetype) {
             return qint64(set.made.date().year()) * 12 + set.made.date().month();
         }},
    };
}

}  // namespace

std::vector<QStringList> RulesKeeping(const std::vector<DatedSet>& sets, const KeepRules& rules) {
    std::vector<qsizetype> newestFirst(sets.size());
    std::iota(newestFirst.begin(), newestFirst.end(), 0);
    std::stable_sort(newestFirst.begin(), newestFirst.end(), [&](qsizetype a, qsizetype b) {
        if (sets[a].made != sets[b].made) return sets[a].made > sets[b].made;
        return sets[a].sameSecond > sets[b].sameSecond;
    });

    std::vector<QStringList> keptBy(sets.size());
    for (const Rule& rule : RulesOf(rules)) {
        int left = rule.count;
        std::optional<qint64> lastKeptPeriod;
        for (qsizetype rank = 0; rank < qsizetype(newestFirst.size()) && left > 0; ++rank) {
            const qsizetype index = newestFirst[rank];
            const qint64 period = rule.period(sets[index], rank);
            if (lastKeptPeriod == period) continue;
            keptBy[index].append(QString::fromLatin1(rule.name));
            lastKeptPeriod = period;
            --left;
        }
    }
    return keptBy;
}

}  // namespace stowix
