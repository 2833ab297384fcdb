#pragma once
// Windows' own file-name matching, without regard to case. A pattern is compiled once and then
// tried on many names. The rules, as the system's file search applies them:
//   *    any run of characters, including none;
//   *    right before a dot: any run that does not swallow the name's last dot;
//   ?    any one character but a dot, or none at a dot or at the end of the name, so that
//        "*.Da?" takes X.DA but not X.DATA;
//   .    before a wildcard or at the pattern's end: a dot, or nothing at the end of the name;
//   *.*  every name, with or without a dot.
// It does not deal with paths: the pattern is one name.

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace stowix {

class WildcardPattern {
public:
    explicit WildcardPattern(QStringView pattern);

    bool Matches(QStringView name) const;
    // The same for a host name that is all ASCII, tried without decoding it first.
    bool MatchesAscii(std::string_view name) const;
    // True for "*" and "*.*", which take every name without trying it.
    bool MatchesEverything() const { return m_everything; }
    // True when the pattern holds * or ?; a pattern without them names at most one entry.
    bool HasWildcards() const { return m_hasWildcards; }

private:
    enum class Kind : unsigned char { Literal, Star, StarBeforeDot, QuestionMark, Dot };
    struct Token {
        Kind kind;
        char16_t folded;  // the upper-cased character, for Literal only
    };

    // The general simulation, one byte per pattern position; any pattern length.
    template <typename Name>
    bool MatchesLong(const Name& name) const;
    // MatchesLong's two moves over the alive positions (count + 1 bytes each): those that take
    // no character, and the one that takes unit (atLastDot: unit is the name's last dot) into
    // next; false when no position stays alive.
    void FollowEmptyMoves(unsigned char* alive, bool atEnd, char16_t unit) const;
    bool TakeUnit(const unsigned char* alive, unsigned char* next, bool atLastDot,
                  char16_t unit) const;
    // The same simulation with one bit per position, for patterns of up to 63 tokens.
    template <typename Name>
    bool MatchesShort(const Name& name) const;
    // For "*.EXT" with a plain extension: the name ends in the dot and the extension.
    template <typename Name>
    bool EndsWithSuffix(const Name& name) const;

    std::vector<Token> m_tokens;
    bool m_everything = false;
    bool m_hasWildcards = false;
    // The upper-cased ".EXT" of a pattern "*.EXT" whose extension holds no *, ? or dot: the
    // common group pattern, which matches exactly the names ending so and is tried as that.
    std::u16string m_suffix;
    // For MatchesShort: bit i stands for m_tokens[i]; bit m_tokens.size() for a whole match.
    quint64 m_anyStars = 0;    // Star and StarBeforeDot
    quint64 m_plainStars = 0;  // Star only
    quint64 m_questionMarks = 0;
    quint64 m_dots = 0;
    struct LiteralBit {
        char16_t folded;
        quint64 bit;
    };
    std::vector<LiteralBit> m_literals;
};

}  // namespace stowix
