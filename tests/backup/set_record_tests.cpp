// The set's record as text: what a backup writes reads back the same, a later version's keys and
// sections are skipped, and what is not a record is refused. No group of the layout takes the
// record or a twin name, so a restore never copies them as the drive's files.

#include "dos/wildcard.h"
#include "sets/backup_set_layout.h"
#include "sets/set_record.h"

#include <gtest/gtest.h>

#include <QTimeZone>

namespace stowix {
namespace {

QString Text(const SetRecord& record) {
    QString text;
    for (const QString& line : SetRecordLines(record)) text += line + QStringLiteral("\r\n");
    return text;
}

TEST(SetRecord, reads_back_what_was_written_and_skips_what_it_does_not_know) {
    SetRecord written;
    written.complete = true;
    written.made = QDateTime(QDate(2026, 3, 2), QTime(3, 0, 12), Qt::UTC);
    written.locale = QStringLiteral("en_US");
    written.dateForm = QStringLiteral("M/d/yy");
    written.timeForm = QStringLiteral("h:mm:ss AP");
    written.files = {
        {QStringLiteral("AUTOEXEC.BAT"), SetPlace::DriveRoot, QStringLiteral("AUTOEXEC.BAT")},
        {QStringLiteral("AUTOEXEC.BAT.WIN"), SetPlace::WindowsFolder,
         QStringLiteral("AUTOEXEC.BAT")}};
    const QString later = Text(written).replace(QStringLiteral("[Files]"),
                                                QStringLiteral("Owner=someone\r\n[Later]\r\nX=1\r\n"
                                                               "[Files]\r\nODD.INI=Elsewhere"));
    for (const QString& text : {Text(written), later}) {
        SCOPED_TRACE(text.toStdString());
        const std::optional<SetRecord> read = ParseSetRecord(text);
        ASSERT_TRUE(read);
        EXPECT_TRUE(read->complete);
        EXPECT_EQ(read->made, written.made);
        EXPECT_EQ(read->locale, written.locale);
        EXPECT_EQ(read->dateForm, written.dateForm);
        EXPECT_EQ(read->timeForm, written.timeForm);
        ASSERT_EQ(read->files.size(), 2u);  // a place it does not know is left out
        const FileOrigin* twin = read->Origin(QStringLiteral("autoexec.bat.win"));
        ASSERT_NE(twin, nullptr);
        EXPECT_EQ(twin->place, SetPlace::WindowsFolder);
        EXPECT_EQ(twin->nameOnDrive, QStringLiteral("AUTOEXEC.BAT"));
        EXPECT_EQ(read->Origin(QStringLiteral("AUTOEXEC.BAT"))->place, SetPlace::DriveRoot);
    }
    EXPECT_FALSE(ParseSetRecord(QStringLiteral("[windows]\r\nload=\r\n")));
    EXPECT_FALSE(ParseSetRecord(QStringLiteral("[Set]\r\nComplete=Yes\r\n")));  // no format
    EXPECT_FALSE(ParseSetRecord(QStringLiteral("[Set]\r\nFormat=1\r\n"))->complete);
}

TEST(SetRecord, no_group_takes_the_record_or_a_twin) {
    for (const QString& name : {SetRecordName, TwinName(QStringLiteral("AUTOEXEC.BAT")),
                                TwinName(QStringLiteral("COMMAND.COM"))}) {
        for (const SetGroup& group : RestoreGroups) {
            EXPECT_FALSE(WildcardPattern(QStringView(group.pattern)).Matches(name))
                << name.toStdString() << " " << QString::fromUtf16(group.pattern).toStdString();
        }
        for (const SetGroup& group : BackupGroups)
            EXPECT_FALSE(WildcardPattern(QStringView(group.pattern)).Matches(name));
    }
}

}  // namespace
}  // namespace stowix
