#include "compare/ini_diff.h"

#include "compare/merged_order.h"

#include <QHash>

#include <algorithm>
#include <span>

namespace stowix {

namespace {

// Longer lists than this are matched value by value instead of by the longest common run, which
// would need a table of their sizes multiplied.
constexpr std::size_t MaxTableCells = 1u << 20;

// One value of a key as a program reads it, a view into the file's text: without the one pair
// of quotes that the profile functions drop, which are told apart so that it is shown as
// written. Kept small: a key may have a million values.
struct Value {
    QStringView read;
    bool quoted = false;
    bool hasValue = true;  // false for a name without "=", which equals no value
    bool operator==(const Value& other) const {
        return hasValue == other.hasValue && read == other.read;
    }
};

Value ValueOf(const IniEntry& entry) {
    if (!entry.hasValue) return {{}, false, false};
    const QStringView text = entry.value;
    const bool quoted = text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
                        text.back() == text.front();
    return {quoted ? text.mid(1, text.size() - 2) : text, quoted, true};
}

QString Shown(const Value& value) {
    if (!value.hasValue) return NoValueMarker;
    if (!value.quoted) return value.read.toString();
    return QStringView(value.read.data() - 1, value.read.size() + 2).toString();
}

// One key of a section: its name as written first, and every value it is given, in order.
struct KeyValues {
    QStringView name;
    std::vector<Value> values;
};

struct SectionKeys {
    std::vector<QString> order;      // folded key names, in order of first appearance
    QHash<QString, KeyValues> keys;  // by folded name
};

SectionKeys KeysOf(const IniSection& section) {
    SectionKeys result;
    // A key written many times in a row (a list) is folded and looked up once for the run.
    QStringView lastKey;
    KeyValues* last = nullptr;
    for (const IniEntry& entry : section.entries) {
        if (last == nullptr || entry.key != lastKey) {
            const QString folded = IniNameKey(entry.key);
            auto found = result.keys.find(folded);
            if (found == result.keys.end()) {
                result.order.push_back(folded);
                found = result.keys.insert(folded, KeyValues{entry.key, {}});
            }
            last = &*found;
            lastKey = entry.key;
        }
        last->values.push_back(ValueOf(entry));
    }
    return result;
}

QString SectionId(const IniSection& section) {
    // "]" cannot end up in a section's name, so the outside part has an identity of its own.
    return section.outside ? QStringLiteral("]") : IniNameKey(section.name);
}

// Lists too long for the table: each old value is matched with the first equal new one that is
// still free, if any. The new values wait by value in list order, chained through `next`, so
// that each is looked at once and a million values cost a few arrays, not a million lists.
template <typename Removed, typename Added>
void MatchByValue(std::span<const Value> oldMiddle, std::span<const Value> newMiddle,
                  Removed removed, Added added) {
    constexpr std::size_t None = std::size_t(-1);
    const std::size_t m = newMiddle.size();
    // A name without "=" waits apart: no value equals it.
    std::size_t firstWithout = None;
    QHash<QStringView, std::size_t> first;
    std::vector<std::size_t> next(m, None);
    for (std::size_t j = m; j-- > 0;) {
        const Value& value = newMiddle[j];
        std::size_t* head = &firstWithout;
        if (value.hasValue) {
            auto found = first.find(value.read);
            if (found == first.end()) found = first.insert(value.read, None);
            head = &*found;
        }
        next[j] = *head;
        *head = j;
    }
    std::vector<bool> used(m, false);
    for (const Value& value : oldMiddle) {
        std::size_t* head = &firstWithout;
        if (value.hasValue) {
            const auto found = first.find(value.read);
            head = found == first.end() ? nullptr : &*found;
        }
        if (head == nullptr || *head == None) {
            removed(value);
            continue;
        }
        used[*head] = true;
        *head = next[*head];
    }
    for (std::size_t j = 0; j < m; ++j)
        if (!used[j]) added(newMiddle[j]);
}

// Lists short enough for a table of every pair of positions: the longest common run decides.
template <typename Removed, typename Added>
void MatchByCommonRuns(std::span<const Value> oldMiddle, std::span<const Value> newMiddle,
                       Removed removed, Added added) {
    const std::size_t n = oldMiddle.size();
    const std::size_t m = newMiddle.size();
    // common[i * (m + 1) + j]: the longest common run of oldMiddle[i..] and newMiddle[j..], in
    // one block however the lists' lengths divide the cells.
    std::vector<std::size_t> common((n + 1) * (m + 1), 0);
    const auto at = [m](std::size_t i, std::size_t j) { return i * (m + 1) + j; };
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            common[at(i, j)] = oldMiddle[i] == newMiddle[j]
                                   ? common[at(i + 1, j + 1)] + 1
                                   : std::max(common[at(i + 1, j)], common[at(i, j + 1)]);
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && oldMiddle[i] == newMiddle[j]) {
            ++i;
            ++j;
        } else if (j == m || (i < n && common[at(i + 1, j)] >= common[at(i, j + 1)])) {
            removed(oldMiddle[i++]);
        } else {
            added(newMiddle[j++]);
        }
    }
}

// The values taken from and added to a key with several values, in list order: the longest run
// of values common to both stays, as a line-by-line comparison of the two lists would show it.
void CompareValueLists(std::span<const Value> older, std::span<const Value> newer,
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
    const std::span<const Value> oldMiddle(older.data() + front, older.size() - front - back);
    const std::span<const Value> newMiddle(newer.data() + front, newer.size() - front - back);
    if ((oldMiddle.size() + 1) * (newMiddle.size() + 1) > MaxTableCells) {
        MatchByValue(oldMiddle, newMiddle, removed, added);
        return;
    }
    MatchByCommonRuns(oldMiddle, newMiddle, removed, added);
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
        keyBase.key = (after ? after->name : before->name).toString();
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
