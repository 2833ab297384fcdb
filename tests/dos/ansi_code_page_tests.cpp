// Texts in Windows-1252.

#include "dos/ansi_code_page.h"

#include <gtest/gtest.h>

namespace stowix {
namespace {

TEST(AnsiText, characters_map_to_their_code_page_bytes_or_a_question_mark) {
    const struct {
        QString text;
        QByteArray bytes;
    } cases[] = {
        {QStringLiteral("@ECHO OFF"), QByteArray("@ECHO OFF")},
        {QStringLiteral("caf\u00E9 \u00FF"), QByteArray("caf\xE9 \xFF")},
        {QStringLiteral("\u20AC \u2122 \u0178"), QByteArray("\x80 \x99 \x9F")},
        {QStringLiteral("\u0081\u008D"), QByteArray("\x81\x8D")},
        {QStringLiteral("\u0080"), QByteArray("?")},  // a control with no byte of its own
        {QStringLiteral("\u4E2D"), QByteArray("?")},
        {QStringLiteral("\U0001F600"), QByteArray("?")},  // one character, one "?"
        {QString(QChar(0xDCE9)), QByteArray("?")},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.text.toStdString());
        EXPECT_EQ(ToWindows1252(entry.text), entry.bytes);
    }
}

}  // namespace
}  // namespace stowix
