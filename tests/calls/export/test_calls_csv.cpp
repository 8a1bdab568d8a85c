// The calls as CSV: RFC 4180 quoting and line ends, the guard against
// formulas from caller IDs and notes, and the file written whole.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "calls/export/calls_csv.h"

namespace orvane {
namespace {

struct Call {
    QString name, number, date, time, duration, kind, read, mark, iso, notes;
};

CallRecord Make(const Call& call) {
    CallRecord record;
    record.Set(CallField::CallerName, call.name);
    record.Set(CallField::CallerNumber, call.number);
    record.Set(CallField::CallDate, call.date);
    record.Set(CallField::CallTime, call.time);
    record.Set(CallField::Duration, call.duration);
    record.Set(CallField::CallKind, call.kind);
    record.Set(CallField::ReadFlag, call.read);
    record.Set(CallField::UserMark, call.mark);
    record.Set(CallField::ExtraText, call.iso);
    if (!call.notes.isNull()) {
        record.Set(CallField::Notes, call.notes);
    }
    return record;
}

TEST(CallsCsvTest, FieldsAreQuotedAndGuardedOnlyWhereNeeded) {
    const struct {
        QString text;
        QString field;
    } cases[] = {
        {"Anna Berg", "Anna Berg"},
        {"", ""},
        {"Berg, Anna", "\"Berg, Anna\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line 1\r\nline 2", "\"line 1\r\nline 2\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"Müller שלום", "Müller שלום"},
        // Phone numbers stay as they are.
        {"+49 30 1234", "+49 30 1234"},
        {"+1 (555) 123-4567", "+1 (555) 123-4567"},
        {"-030/1234.5", "-030/1234.5"},
        // What a spreadsheet would run is marked as text.
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"=1+2", "'=1+2"},
        {"+cmd|' /C calc'!A0", "'+cmd|' /C calc'!A0"},
        {"-2+3*cmd", "'-2+3*cmd"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\t=1", "'\t=1"},
        {"\r=1", "\"'\r=1\""},
        {"+", "'+"},
        {"- buy milk", "'- buy milk"},
        {"a=1", "a=1"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvField(c.text), c.field) << c.text.toStdString();
    }
}

TEST(CallsCsvTest, OneRowPerCallWithEveryColumn) {
    const std::vector<CallRecord> calls = {
        Make({"ANNA B", "0301234", "12/9/26", "6:05:07 PM", "0:01:23", "3", "1", "1",
              "2026-12-09T18:05:07", "Call back\r\nabout \"the offer\", soon"}),
        Make({"=cmd|'/C calc'!A0",
              "+49 30 999",
              "09.12.26",
              "08:00:00",
              "1:00:05",
              "4",
              "0",
              "0",
              "",
              {}}),
        Make({"UNKNOWN", "UNKNOWN", "13/13/26", "x", "garbage", "7", "", "", "", {}}),
    };
    int asked = 0;
    const QByteArray csv = CallsCsv(calls, [&](const QString& number) {
        ++asked;
        return number == "0301234" ? QStringLiteral("Anna Berg") : QString();
    });
    EXPECT_EQ(asked, 3);
    const QString expected = QStringLiteral(
        "Date,Caller,Number,Phone book name,Kind,Length,Read,Marked,Note,File\r\n"
        "2026-12-09T18:05:07,ANNA B,0301234,Anna Berg,incoming,83,1,1,"
        "\"Call back\r\nabout \"\"the offer\"\", soon\",ANNA B_0301234_12-9-26_6-05-07 PM.wav\r\n"
        "2026-12-09T08:00:00,'=cmd|'/C calc'!A0,+49 30 999,,outgoing,3605,0,0,,"
        "'=cmd|'_C calc'!A0_+49 30 999_09.12.26_08-00-00.wav\r\n"
        "13/13/26 x,UNKNOWN,UNKNOWN,,7,,0,0,,UNKNOWN_UNKNOWN_13-13-26_x.wav\r\n");
    // The byte order mark, then the rows.
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(csv.mid(3).toStdString(), expected.toStdString());
}

TEST(CallsCsvTest, TheFileIsReplacedWholeOrNotAtAll) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("calls.csv");
    const std::vector<CallRecord> calls = {Make(
        {"A", "1", "12/9/26", "10:00:00", "0:00:01", "3", "1", "0", "2026-12-09T10:00:00", {}})};
    ASSERT_EQ(WriteCallsCsv(path, calls, {}), 0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), CallsCsv(calls, {}));
    // A folder that cannot be written keeps nothing half-written.
    const QString missing = dir.filePath("none/calls.csv");
    EXPECT_NE(WriteCallsCsv(missing, calls, {}), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"calls.csv"});
}

}  // namespace
}  // namespace orvane
