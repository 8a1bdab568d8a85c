// The journal's files and lines in list boxes.
#include <gtest/gtest.h>

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include "core/clock.h"
#include "journal/journal_lists.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

QStringList Texts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i) {
        texts += list.item(i)->text();
    }
    return texts;
}

TEST(JournalLists, FillSelectsTheNewestFileAndLoadShowsItsLines) {
    QTemporaryDir dir;
    FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(9, 0)));
    const JournalWriter journal(dir.path(), clock, QLocale(QStringLiteral("en_US")));
    QListWidget list;
    list.addItem("stale");
    FillLogFileList(&list, JournalKind::All, journal);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.currentRow(), -1);

    for (const char* name : {"12-6-26_Sys.txt", "12-7-26_Sys.txt", "12-7-26_Calls.txt"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("9:00:00 AM : ->Device Details -\r\n   Line Index: 0(0)\r\n");
    }
    FillLogFileList(&list, JournalKind::System, journal);
    EXPECT_EQ(Texts(list), (QStringList{"12-7-26_Sys.txt", "12-6-26_Sys.txt"}));
    EXPECT_EQ(list.currentRow(), 0);

    LoadLogFile(&list, "12-7-26_Sys.txt", journal);
    EXPECT_EQ(Texts(list), (QStringList{"9:00:00 AM : ->Device Details -", "   Line Index: 0(0)"}));
    LoadLogFile(&list, "gone_Sys.txt", journal);
    EXPECT_EQ(list.count(), 0);
}

}  // namespace
}  // namespace orvane
