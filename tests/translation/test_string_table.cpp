#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tests/translation/language_fixture.h"
#include "translation/language_file.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

using testing::LanguageLines;
using testing::WriteBytes;

class StringTableTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetStringTableForTesting(); }
    void TearDown() override { ResetStringTableForTesting(); }

    QString Write(const QByteArray& bytes) { return WriteBytes(dir_.path(), "lang", bytes); }

    QTemporaryDir dir_;
};

TEST_F(StringTableTest, CompleteFileFillsIdsAndSetsDirection) {
    EXPECT_EQ(Text(11), QString());  // nothing loaded yet

    ASSERT_EQ(LoadTranslation(Write(LanguageLines(1000, "RTL"))), 0);
    EXPECT_TRUE(IsRightToLeft());
    EXPECT_EQ(Text(1), "text 1");
    EXPECT_EQ(Text(1000), "text 1000");
    for (int id : {-1, 0, 1001, 5000, 5001}) {
        EXPECT_EQ(Text(id), QString()) << id;
    }
}

TEST_F(StringTableTest, DirectionNeedsExactRtlInACompleteFile) {
    EXPECT_EQ(LoadTranslation(Write(LanguageLines(999, "RTL"))), file_error::kInputPastEndOfFile);
    EXPECT_EQ(Text(999), "text 999");
    EXPECT_EQ(Text(10), "RTL");
    EXPECT_FALSE(IsRightToLeft());

    for (const QByteArray& almost : {QByteArray("rtl"), QByteArray("RTL "), QByteArray(" RTL")}) {
        EXPECT_EQ(LoadTranslation(Write(LanguageLines(1000, almost))), 0);
        EXPECT_FALSE(IsRightToLeft()) << almost.constData();
    }

    ASSERT_EQ(LoadTranslation(Write(LanguageLines(1000, "RTL"))), 0);
    ASSERT_EQ(LoadTranslation(Write(LanguageLines(1000, "LTR"))), 0);
    EXPECT_TRUE(IsRightToLeft());  // a later load never clears it
}

TEST_F(StringTableTest, LinesAfterTheThousandthAreIgnored) {
    EXPECT_EQ(LoadTranslation(Write(LanguageLines(1200))), 0);
    EXPECT_EQ(Text(1000), "text 1000");
    EXPECT_EQ(Text(1001), QString());
}

TEST_F(StringTableTest, FailedLoadKeepsEverythingNotRead) {
    ASSERT_EQ(LoadTranslation(Write(LanguageLines(1000, "LTR", "old "))), 0);

    EXPECT_EQ(LoadTranslation(Write(LanguageLines(500, "LTR", "new "))),
              file_error::kInputPastEndOfFile);
    EXPECT_EQ(Text(500), "new 500");
    EXPECT_EQ(Text(501), "old 501");

    EXPECT_EQ(LoadTranslation(Write(QByteArray())), file_error::kInputPastEndOfFile);
    EXPECT_EQ(LoadTranslation(dir_.path() + "/none"), file_error::kFileNotFound);
    EXPECT_EQ(LoadTranslation(dir_.path() + "/no/none"), file_error::kPathNotFound);
    EXPECT_EQ(LoadTranslation(Write("x") + "/none"), file_error::kPathNotFound);
    EXPECT_EQ(LoadTranslation(dir_.path() + "/"), file_error::kPathFileAccess);
    EXPECT_EQ(LoadTranslation(QString()), file_error::kPathFileAccess);
    // A device never ends and a pipe blocks: only regular files are read.
    EXPECT_EQ(LoadTranslation("/dev/null"), file_error::kPathFileAccess);
    EXPECT_EQ(Text(1), "new 1");
    EXPECT_EQ(Text(1000), "old 1000");
}

TEST_F(StringTableTest, EveryKindOfLineEndEndsALine) {
    for (const QByteArray& end : {QByteArray("\r"), QByteArray("\n"), QByteArray("\r\n")}) {
        ASSERT_EQ(LoadTranslation(Write(LanguageLines(1000, "RTL", "t", end))), 0);
        EXPECT_EQ(Text(11), "t11");
        EXPECT_EQ(Text(1000), "t1000");
    }
    // LF CR is two line ends; the last line needs none.
    Write("a\n\rb\r\n\r\nc\rd");
    EXPECT_EQ(LoadTranslation(dir_.path() + "/lang"), file_error::kInputPastEndOfFile);
    const QStringList expected = {"a", "", "b", "", "c", "d", "t7"};
    for (int id = 1; id <= expected.size(); ++id) {
        EXPECT_EQ(Text(id), expected[id - 1]) << id;
    }
}

TEST_F(StringTableTest, CrLfSplitAcrossReadChunks) {
    // The reader works in 64 KiB chunks: put the CR last in the first one.
    const QByteArray first(64 * 1024 - 1, 'x');
    Write(first + "\r\nsecond\r\nthird\r\n");
    LoadTranslation(dir_.path() + "/lang");
    EXPECT_EQ(Text(1).size(), first.size());
    EXPECT_EQ(Text(2), "second");
    EXPECT_EQ(Text(3), "third");
}

TEST_F(StringTableTest, DamagedBytesNeverEndTheReading) {
    Write(QByteArray("\xEF\xBB\xBF"
                     "bom\r\n"
                     "bad \xFF\xC3\r\n"
                     "nul ") +
          QByteArray(1, '\0') + "\r\n" + "a" + QByteArray(40000, 'x').replace("x", "\xC3\xA9") +
          "\r\nafter\r\n");
    EXPECT_EQ(LoadTranslation(dir_.path() + "/lang"), file_error::kInputPastEndOfFile);
    EXPECT_EQ(Text(1), "bom");
    EXPECT_EQ(Text(2), QString("bad \uFFFD\uFFFD"));
    EXPECT_EQ(Text(3), QString("nul ") + QChar(u'\0'));
    // A line past the cap is cut at a character boundary, the rest skipped.
    EXPECT_EQ(Text(4).size(), 1 + (kMaxLineBytes - 1) / 2);
    EXPECT_FALSE(Text(4).contains(QChar(0xFFFD)));
    EXPECT_EQ(Text(5), "after");
}

TEST_F(StringTableTest, EscapedLineBreaks) {
    QByteArray bytes = LanguageLines(1000);
    bytes.replace("text 950\r\n", "one:\\n<%S>\\ntwo\r\n");
    ASSERT_EQ(LoadTranslation(Write(bytes)), 0);
    EXPECT_EQ(Text(950), "one:\n<%S>\ntwo");
}

TEST(ReplaceMarkerTest, ReplacesTheFirstMarkerOnly) {
    EXPECT_EQ(ReplaceMarker("Delete <%S> and <%S>?", "a"), "Delete a and <%S>?");
    EXPECT_EQ(ReplaceMarker("<%S>", "<%S>x"), "<%S>x");
    EXPECT_EQ(ReplaceMarker("end <%S>", ""), "end ");
    EXPECT_EQ(ReplaceMarker("no marker <%s>", "a"), "no marker <%s>");
}

TEST(LanguageFilePathTest, OnlyPlainNamesLeadIntoTheFolder) {
    testing::TestEnvironment environment;
    const QString folder = environment.programFolder() + "/Trans/";
    EXPECT_EQ(LanguageFilePath("Hebrew"), folder + "Hebrew");
    EXPECT_EQ(LanguageFilePath("my ..lang"), folder + "my ..lang");
    for (const QString& hostile :
         {QString(), QString("."), QString(".."), QString("../Notes"), QString("/etc/passwd"),
          QString("a/b"), QString::fromUtf8("a\0b", 3)}) {
        EXPECT_EQ(LanguageFilePath(hostile), folder) << hostile.toStdString();
    }
}

}  // namespace
}  // namespace orvane
