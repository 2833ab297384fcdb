#include "compare/ini_diff.h"

#include "compare/merged_order.h"

#include <QHash>

#include <algorithm>

namespace stowix {

namespace {

// Longer lists than this are matched value by value instead of by the longest common run, which
// would need a table of their sizes multiplied.
constexpr std::size_t MaxTableCells = 1u << 20;

// A name without "=" among the values: no value can hold a line break, so none is taken for it.
const QString NoValue = QStringLiteral("\n");

// One value of a key: as written, and as a program reads it.
struct Value {
    QString written;  // NoValue for a name without "="
    QString read;     // without the one pair of quotes that the profile functions drop
    bool operator==(const Value& other) const { return read == other.read; }
};

Value ValueOf(const IniEntry& entry) {
    if (!entry.hasValue) return {NoValue, NoValue};
    const QString& text = entry.value;
    const bool quoted = text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
                        text.back() == text.front();
    return {text, quoted ? text.mid(1, text.size() - 2) : text};
}

QString Shown(const Value& value) {
    return value.written == NoValue ? NoValueMarker : value.written;
}

// One key of a section: its name as written first, and every value it is given, in order.
struct KeyValues {
    QString name;
    std::vector<Value> values;
};

struct SectionKeys {
    std::vector<QString> order;      // folded key names, in order of first appearance
    QHash<QString, KeyValues> keys;  // by folded name
};

SectionKeys KeysOf(const IniSection& section) {
    SectionKeys result;
    for (const IniEntry& entry : section.entries) {
        const QString folded = IniNameKey(entry.key);
        auto found = result.keys.find(folded);
        if (found == result.keys.end()) {
            result.order.push_back(folded);
            found = result.keys.insert(folded, KeyValues{entry.key, {}});
        }
        found->values.push_back(ValueOf(entry));
    }
    return result;
}

QString SectionId(const IniSection& section) {
    // "]" cannot end up in a section's name, so the outside part has an identity of its own.
    return section.outside ? QStringLiteral("]") : IniNameKey(section.name);
}

// The values taken from and added to a key with several values, in list order: the longest run
// of values common to both stays, as a line-by-line comparison of the two lists would show it.
void CompareValueLists(const std::vector<Value>& older, const std::vector<Value>& newer,
                       const IniChange& base, std::vector<IniChange>& changes) {
    auto removed = [&](const Value& value) {
        IniChange change = base;
        change.kind = IniChangeKind::Removed;
        change.oldValue = Shown(value);
        changes.push_back(std::move(change));
    };
    auto added = [&](const Value& value) {
        IniChange change = base;
        change.kind = IniChangeKind::Added;
        change.newValue = Shown(value);
        changes.push_back(std::move(change));
    };

    // Values that both lists begin or end with stay, whatever the lists' lengths.
    std::size_t front = 0;
    while (front < older.size() && front < newer.size() && older[front] == newer[front]) ++front;
    std::size_t back = 0;
    while (back < older.size() - front && back < newer.size() - front &&
           older[older.size() - 1 - back] == newer[newer.size() - 1 - back])
        ++back;
    const std::vector<Value> oldMiddle(older.begin() + qsizetype(front),
                                       older.end() - qsizetype(back));
    const std::vector<Value> newMiddle(newer.begin() + qsizetype(front),
                                       newer.end() - qsizetype(back));
    const std::size_t n = oldMiddle.size();
    const std::size_t m = newMiddle.size();
    if ((n + 1) * (m + 1) > MaxTableCells) {
        // Each old value is matched with the first equal new one that is still free, if any:
        // the new values wait by value, in list order, so each is looked up once.
        QHash<QString, std::vector<std::size_t>> waiting;
        for (std::size_t j = m; j-- > 0;) waiting[newMiddle[j].read].push_back(j);
        std::vector<bool> used(m, false);
        for (const Value& value : oldMiddle) {
            const auto found = waiting.find(value.read);
            if (found == waiting.end() || found->empty()) {
                removed(value);
                continue;
            }
            used[found->back()] = true;
            found->pop_back();
        }
        for (std::size_t j = 0; j < m; ++j)
            if (!used[j]) added(newMiddle[j]);
        return;
    }
    // common[i][j]: the longest common run of oldMiddle[i..] and newMiddle[j..].
    std::vector<std::vector<std::size_t>> common(n + 1, std::vector<std::size_t>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            common[i][j] = oldMiddle[i] == newMiddle[j]
                               ? common[i + 1][j + 1] + 1
                               : std::max(common[i + 1][j], common[i][j + 1]);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && oldMiddle[i] == newMiddle[j]) {
            ++i;
            ++j;
        } else if (j == m || (i < n && common[i + 1][j] >= common[i][j + 1])) {
            removed(oldMiddle[i++]);
        } else {
            added(newMiddle[j++]);
        }
    }
}

void CompareSections(const IniSection* older, const IniSection* newer,
                     std::vector<IniChange>& changes) {
    const IniSection& shown = newer ? *newer : *older;
    IniChange base;
    base.section = shown.name;
    base.outside = shown.outside;

    const SectionKeys oldKeys = older ? KeysOf(*older) : SectionKeys{};
    const SectionKeys newKeys = newer ? KeysOf(*newer) : SectionKeys{};
    // A section that one side lacks and that holds no keys is told by itself: no key tells of it.
    if ((!older || !newer) && oldKeys.order.empty() && newKeys.order.empty()) {
        IniChange change = base;
        change.sectionOnly = true;
        change.kind = older ? IniChangeKind::Removed : IniChangeKind::Added;
        changes.push_back(std::move(change));
        return;
    }

    for (const MergedRow& row : MergedOrder(oldKeys.order, newKeys.order)) {
        const KeyValues* before =
            row.oldIndex ? &*oldKeys.keys.constFind(oldKeys.order[*row.oldIndex]) : nullptr;
        const KeyValues* after =
            row.newIndex ? &*newKeys.keys.constFind(newKeys.order[*row.newIndex]) : nullptr;
        IniChange keyBase = base;
        keyBase.key = after ? after->name : before->name;
        const std::vector<Value> none;
        const std::vector<Value>& oldValues = before ? before->values : none;
        const std::vector<Value>& newValues = after ? after->values : none;
        if (oldValues == newValues) continue;
        if (oldValues.size() == 1 && newValues.size() == 1) {
            IniChange change = keyBase;
            change.kind = IniChangeKind::Changed;
            change.oldValue = Shown(oldValues.front());
            change.newValue = Shown(newValues.front());
            changes.push_back(std::move(change));
        } else {
            CompareValueLists(oldValues, newValues, keyBase, changes);
        }
    }
}

QString SectionText(const IniChange& change) {
    return change.outside ? QStringLiteral("(before any section)") : u'[' + change.section + u']';
}

}  // namespace

QString IniChangeText(const IniChange& change) {
    const QString where = SectionText(change);
    if (change.sectionOnly)
        return where + (change.kind == IniChangeKind::Added ? QStringLiteral(" (section added)")
                                                            : QStringLiteral(" (section removed)"));
    const QString head = where + u' ' + change.key + QStringLiteral(": ");
    switch (change.kind) {
    case IniChangeKind::Added: return head + QStringLiteral("+ ") + *change.newValue;
    case IniChangeKind::Removed: return head + QStringLiteral("- ") + *change.oldValue;
    case IniChangeKind::Changed:
        return head + *change.oldValue + QStringLiteral(" -> ") + *change.newValue;
    }
    return head;
}

std::vector<IniChange> CompareIni(const IniFile& older, const IniFile& newer) {
    std::vector<QString> oldIds;
    std::vector<QString> newIds;
    for (const IniSection& section : older.sections) oldIds.push_back(SectionId(section));
    for (const IniSection& section : newer.sections) newIds.push_back(SectionId(section));

    std::vector<IniChange> changes;
    for (const MergedRow& row : MergedOrder(oldIds, newIds))
        CompareSections(row.oldIndex ? &older.sections[*row.oldIndex] : nullptr,
                        row.newIndex ? &newer.sections[*row.newIndex] : nullptr, changes);
    return changes;
}

}  // namespace stowix
