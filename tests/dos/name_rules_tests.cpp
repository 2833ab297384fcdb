// The names Windows refuses for a new file or folder.

#include "dos/name_rules.h"

#include <gtest/gtest.h>

namespace stowix::posix {
namespace {

TEST(NameRules, reserved_characters_control_characters_and_devices_are_refused) {
    const struct {
        QString name;
        bool refused;
    } cases[] = {
        {QStringLiteral("SYSTEM.DAT"), false}, {QStringLiteral(" my comment"), false},
        {QStringLiteral("trailing. "), false},  // blanks and dots at the ends are kept
        {QStringLiteral("..."), false},        {QStringLiteral("CONFIG.SYS"), false},
        {QStringLiteral("COM0"), false},       {QStringLiteral("COM10"), false},
        {QStringLiteral("LPT"), false},        {QStringLiteral("NULL"), false},
        {QStringLiteral("a<b"), true},         {QStringLiteral("a>b"), true},
        {QStringLiteral("a:b"), true},         {QStringLiteral("a\"b"), true},
        {QStringLiteral("a/b"), true},         {QStringLiteral("a\\b"), true},
        {QStringLiteral("a|b"), true},         {QStringLiteral("a?b"), true},
        {QStringLiteral("a*b"), true},         {QStringLiteral("tab\there"), true},
        {QString(QChar(0x1F)), true},          {QString(), true},
        {QStringLiteral("CON"), true},         {QStringLiteral("con"), true},
        {QStringLiteral("Prn.txt"), true},     {QStringLiteral("AUX.tar.gz"), true},
        {QStringLiteral("NUL"), true},         {QStringLiteral("nul "), true},
        {QStringLiteral("CON .log"), true},    {QStringLiteral("COM1"), true},
        {QStringLiteral("com9.dat"), true},    {QStringLiteral("LPT1"), true},
        {QStringLiteral("lpt9"), true},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.name.toStdString());
        EXPECT_EQ(!NameRefusal(entry.name).isEmpty(), entry.refused);
    }
}

}  // namespace
}  // namespace stowix::posix
