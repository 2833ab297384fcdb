#include "platform/posix/wildcard.h"

#include "platform/posix/name_case.h"

#include <algorithm>
#include <utility>

namespace stowix::posix {

WildcardPattern::WildcardPattern(QStringView pattern)
{
    m_hasWildcards = pattern.contains(u'*') || pattern.contains(u'?');
    if (pattern == u"*" || pattern == u"*.*") {
        m_everything = true;
        m_tokens.push_back({Kind::Star, 0});
        return;
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
}

bool WildcardPattern::Matches(QStringView name) const
{
    if (m_everything)
        return true;

    const qsizetype lastDot = name.lastIndexOf(u'.');
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
        const char16_t unit = atEnd ? u'\0' : name[at].unicode();
        // Moves that take no character; they only go forward, so one pass reaches them all.
        for (size_t i = 0; i < count; ++i) {
            if (!alive[i])
                continue;
            switch (m_tokens[i].kind) {
            case Kind::Star:
            case Kind::StarBeforeDot:
                alive[i + 1] = 1;
                break;
            case Kind::QuestionMark:
                if (atEnd || unit == u'.')
                    alive[i + 1] = 1;
                break;
            case Kind::Dot:
                if (atEnd)
                    alive[i + 1] = 1;
                break;
            case Kind::Literal:
                break;
            }
        }
        if (atEnd)
            return alive[count] != 0;

        const char16_t folded = FoldCase(unit);
        bool any = false;
        std::fill(next, next + count + 1, 0);
        for (size_t i = 0; i < count; ++i) {
            if (!alive[i])
                continue;
            const Token& token = m_tokens[i];
            switch (token.kind) {
            case Kind::Star:
                next[i] = 1;
                break;
            case Kind::StarBeforeDot:
                if (at != lastDot)
                    next[i] = 1;
                break;
            case Kind::QuestionMark:
                if (unit != u'.')
                    next[i + 1] = 1;
                break;
            case Kind::Dot:
                if (unit == u'.')
                    next[i + 1] = 1;
                break;
            case Kind::Literal:
                if (token.folded == folded)
                    next[i + 1] = 1;
                break;
            }
            any = any || next[i] || next[i + 1];
        }
        if (!any)
            return false;
        std::swap(alive, next);
    }
}

}  // namespace stowix::posix
