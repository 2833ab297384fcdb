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

#include <vector>

namespace stowix::posix {

class WildcardPattern {
public:
    explicit WildcardPattern(QStringView pattern);

    bool Matches(QStringView name) const;
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

    std::vector<Token> m_tokens;
    bool m_everything = false;
    bool m_hasWildcards = false;
};

}  // namespace stowix::posix
