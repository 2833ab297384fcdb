// How text from a drive is shown: what a terminal or a box would act on is escaped, every other
// character (a pair of surrogates too) stays as it is.

#include "files/escaped_text.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

TEST(EscapedText, controls_marks_and_undecodable_bytes_are_escaped) {
    const struct {
        QString text;
        QString shown;
    } cases[] = {
        {"C:\\WINDOWS\\WIN.INI", "C:\\WINDOWS\\WIN.INI"},
        {QString::fromUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80"),
         QString::fromUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80")},
        {"\x1B]0;title\x07", "\\x1B]0;title\\x07"},
        {"a\tb\r\nc\x7F", "a\\x09b\\x0D\\x0Ac\\x7F"},
        {QString(QChar(0x9B)) + "2J", "\\x9B2J"},
        {QString::fromUtf16(u"abc\u202Etxt.exe\u2066\u200F"), "abc\\u202Etxt.exe\\u2066\\u200F"},
        // A host byte that is not UTF-8 (0xDC00 + byte), and half a pair.
        {QString::fromUtf16(u"CAF\xDCC9"), "CAF\\xC9"},
        {QString::fromUtf16(u"x\xD83Dy"), "x\\uD83Dy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(EscapedText(c.text), c.shown);
    }
    EXPECT_EQ(EscapedText(u"A\\B", u"\\"), "A\\x5CB");
}

}  // namespace
}  // namespace stowix::test
