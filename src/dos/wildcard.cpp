#include "dos/wildcard.h"

#include "dos/name_case.h"

#include <algorithm>
#include <utility>

namespace stowix {

namespace {

// The two kinds of name the matcher reads, seen as UTF-16 units.
struct Utf16Name {
    QStringView text;
    qsizetype size() const { return text.size(); }
    char16_t unit(qsizetype at) const { return text[at].unicode(); }
};

struct AsciiName {
    std::string_view text;
    qsizetype size() const { return qsizetype(text.size()); }
    char16_t unit(qsizetype at) const {
        return char16_t(static_cast<unsigned char>(text[size_t(at)]));
    }
};

template <typename Name>
qsizetype LastDot(const Name& name) {
    for (qsizetype at = name.size() - 1; at >= 0; --at) {
        if (name.unit(at) == u'.') return at;
    }
    return -1;
}

}  // namespace

WildcardPattern::WildcardPattern(QStringView pattern) {
    m_hasWildcards = pattern.contains(u'*') || pattern.contains(u'?');
    if (pattern == u"*" || pattern == u"*.*") {
        m_everything = true;
        m_tokens.push_back({Kind::Star, 0});
        return;
    }
    const QStringView extension = pattern.mid(2);
    if (pattern.startsWith(u"*.") && !extension.isEmpty() && !extension.contains(u'*') &&
        !extension.contains(u'?') && !extension.contains(u'.')) {
        m_suffix.push_back(u'.');
        for (QChar c : extension) m_suffix.push_back(FoldCase(c.unicode()));
    }
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const char16_t unit = pattern[i].unicode();
        const char16_t next = i + 1 < pattern.size() ? pattern[i + 1].unicode() : u'\0';
        if (unit == u'*')
            m_tokens.push_back({next == u'.' ? Kind::StarBeforeDot : Kind::Star, 0});
        else if (unit == u'?')
            m_tokens.push_back({Kind::QuestionMark, 0});
        else if (unit == u'.' && (next == u'\0' || next == u'*' || next == u'?'))
            m_tokens.push_back({Kind::Dot, 0});
        else
            m_tokens.push_back({Kind::Literal, FoldCase(unit)});
    }
    if (m_tokens.size() >= 64) return;
    for (size_t i = 0; i < m_tokens.size(); ++i) {
        const quint64 bit = quint64(1) << i;
        switch (m_tokens[i].kind) {
        case Kind::Star:
            m_plainStars |= bit;
            m_anyStars |= bit;
            break;
        case Kind::StarBeforeDot: m_anyStars |= bit; break;
        case Kind::QuestionMark: m_questionMarks |= bit; break;
        case Kind::Dot: m_dots |= bit; break;
        case Kind::Literal: m_literals.push_back({m_tokens[i].folded, bit}); break;
        }
    }
}

bool WildcardPattern::Matches(QStringView name) const {
    if (m_everything) return true;
    const Utf16Name units{name};
    if (!m_suffix.empty()) return EndsWithSuffix(units);
    return m_tokens.size() < 64 ? MatchesShort(units) : MatchesLong(units);
}

bool WildcardPattern::MatchesAscii(std::string_view name) const {
    if (m_everything) return true;
    const AsciiName units{name};
    if (!m_suffix.empty()) return EndsWithSuffix(units);
    return m_tokens.size() < 64 ? MatchesShort(units) : MatchesLong(units);
}

template <typename Name>
bool WildcardPattern::EndsWithSuffix(const Name& name) const {
    const qsizetype length = qsizetype(m_suffix.size());
    if (name.size() < length) return false;
    const qsizetype start = name.size() - length;
    for (qsizetype i = 0; i < length; ++i) {
        if (FoldCase(name.unit(start + i)) != m_suffix[size_t(i)]) return false;
    }
    return true;
}

template <typename Name>
bool WildcardPattern::MatchesShort(const Name& name) const {
    const qsizetype lastDot = LastDot(name);
    const quint64 accept = quint64(1) << m_tokens.size();
    quint64 alive = 1;
    for (qsizetype at = 0;; ++at) {
        const bool atEnd = at == name.size();
        const char16_t unit = atEnd ? u'\0' : name.unit(at);
        // Moves that take no character, repeated until nothing new is reached ("**", "??").
        quint64 free = m_anyStars;
        if (atEnd || unit == u'.') free |= m_questionMarks;
        if (atEnd) free |= m_dots;
        for (quint64 before = 0; before != alive;) {
            before = alive;
            alive |= (alive & free) << 1;
        }
        if (atEnd) return (alive & accept) != 0;

        quint64 consume = 0;  // positions that take this character and move on
        if (unit == u'.') {
            consume |= m_dots;
        } else {
            consume |= m_questionMarks;
        }
        const char16_t folded = FoldCase(unit);
        for (const LiteralBit& literal : m_literals) {
            if (literal.folded == folded) consume |= literal.bit;
        }
        const quint64 stay = at == lastDot ? m_plainStars : m_anyStars;
        alive = (alive & stay) | ((alive & consume) << 1);
        if (alive == 0) return false;
    }
}

template <typename Name>
bool WildcardPattern::MatchesLong(const Name& name) const {
    const qsizetype lastDot = LastDot(name);
    const size_t count = m_tokens.size();
    // The set of pattern positions still alive, as a simulation of the pattern's automaton;
    // position count is the accepting one. Patterns are short, so the sets live on the stack
    // unless a pattern is unusually long.
    constexpr size_t InlineSize = 128;
    unsigned char inlineSets[2 * InlineSize];
    std::vector<unsigned char> heapSets;
    unsigned char* sets = inlineSets;
    if (count + 1 > InlineSize) {
        heapSets.resize(2 * (count + 1));
        sets = heapSets.data();
    }
    unsigned char* alive = sets;
    unsigned char* next = sets + count + 1;
    std::fill(alive, alive + count + 1, 0);
    alive[0] = 1;

    for (qsizetype at = 0;; ++at) {
        const bool atEnd = at == name.size();
        const char16_t unit = atEnd ? u'\0' : name.unit(at);
        FollowEmptyMoves(alive, atEnd, unit);
        if (atEnd) return alive[count] != 0;
        if (!TakeUnit(alive, next, at == lastDot, unit)) return false;
        std::swap(alive, next);
    }
}

void WildcardPattern::FollowEmptyMoves(unsigned char* alive, bool atEnd, char16_t unit) const {
    // They only go forward, so one pass reaches them all.
    const size_t count = m_tokens.size();
    for (size_t i = 0; i < count; ++i) {
        if (!alive[i]) continue;
        switch (m_tokens[i].kind) {
        case Kind::Star:
        case Kind::StarBeforeDot: alive[i + 1] = 1; break;
        case Kind::QuestionMark:
            if (atEnd || unit == u'.') alive[i + 1] = 1;
            break;
        case Kind::Dot:
            if (atEnd) alive[i + 1] = 1;
            break;
        case Kind::Literal: break;
        }
    }
}

bool WildcardPattern::TakeUnit(const unsigned char* alive, unsigned char* next, bool atLastDot,
                               char16_t unit) const {
    const size_t count = m_tokens.size();
    const char16_t folded = FoldCase(unit);
    bool any = false;
    std::fill(next, next + count + 1, 0);
    for (size_t i = 0; i < count; ++i) {
        if (!alive[i]) continue;
        const Token& token = m_tokens[i];
        switch (token.kind) {
        case Kind::Star: next[i] = 1; break;
        case Kind::StarBeforeDot:
            if (!atLastDot) next[i] = 1;
            break;
        case Kind::QuestionMark:
            if (unit != u'.') next[i + 1] = 1;
            break;
        case Kind::Dot:
            if (unit == u'.') next[i + 1] = 1;
            break;
        case Kind::Literal:
            if (token.folded == folded) next[i + 1] = 1;
            break;
        }
        any = any || next[i] || next[i + 1];
    }
    return any;
}

}  // namespace stowix
