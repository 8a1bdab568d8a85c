#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "calls/store/call_record.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

QByteArray FieldBytes(const CallRecord& record, CallField field) {
    const CallFieldLayout layout = LayoutOf(field);
    return QByteArray(record.Bytes().data() + layout.offset, layout.width);
}

QByteArray Padded(const QByteArray& bytes, int width) {
    return bytes + QByteArray(width - bytes.size(), ' ');
}

TEST(CallRecordTest, TheFieldsTileTheRecordWithNoGapAtTheirFixedPlaces) {
    int next = 0;
    for (int i = 0; i <= static_cast<int>(CallField::Notes); ++i) {
        const CallFieldLayout layout = LayoutOf(static_cast<CallField>(i));
        EXPECT_EQ(layout.offset, next) << "field " << i;
        next = layout.offset + layout.width;
    }
    EXPECT_EQ(next, kCallRecordSize);
    // The places other code and other files depend on.
    EXPECT_EQ(LayoutOf(CallField::CallerName).offset, 4);
    EXPECT_EQ(LayoutOf(CallField::CallerName).width, 32);
    EXPECT_EQ(LayoutOf(CallField::CallDate).width, 50);
    EXPECT_EQ(LayoutOf(CallField::ReadFlag).offset, 146);
    EXPECT_EQ(LayoutOf(CallField::Notes).offset, 211);
    EXPECT_EQ(LayoutOf(CallField::Notes).width, 256);
}

TEST(CallRecordTest, AValueIsPaddedAndCutOnACharacterBoundary) {
    const QString euro = QString::fromUtf8("\u20ac");            // 3 bytes
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");  // 4 bytes, a surrogate pair
    struct Case {
        CallField field;
        QString value;
        QByteArray stored;  // before padding
    };
    const Case cases[] = {
        {CallField::CallKind, QStringLiteral("3"), "3"},
        {CallField::ExtraText, QString(), ""},
        {CallField::CallerName, QString(40, QLatin1Char('n')), QByteArray(32, 'n')},
        {CallField::CallerName, QString(31, QLatin1Char('a')) + QString::fromUtf8("\u00e9"),
         QByteArray(31, 'a')},
        {CallField::CallerName, euro.repeated(11), euro.repeated(10).toUtf8()},
        {CallField::CallerNumber, QString(30, QLatin1Char('1')) + face, QByteArray(30, '1')},
        {CallField::CallerNumber, QString(28, QLatin1Char('1')) + face,
         QByteArray(28, '1') + face.toUtf8()},
        {CallField::ReadFlag, euro, ""},  // one byte holds no part of it
        {CallField::Notes, QStringLiteral("  line 1\r\nline 2  "), "  line 1\r\nline 2  "},
    };
    for (const Case& c : cases) {
        // A record of 0xAA bytes shows that nothing beside the field changes.
        std::array<char, kCallRecordSize> filled;
        filled.fill('\xAA');
        CallRecord record(filled);
        record.Set(c.field, c.value);
        const CallFieldLayout layout = LayoutOf(c.field);
        EXPECT_EQ(FieldBytes(record, c.field), Padded(c.stored, layout.width))
            << c.value.toStdString();
        for (int i = 0; i < kCallRecordSize; ++i) {
            if (i < layout.offset || i >= layout.offset + layout.width) {
                ASSERT_EQ(record.Bytes()[static_cast<size_t>(i)], '\xAA') << "byte " << i;
            }
        }
        EXPECT_EQ(record.Get(c.field), QString::fromUtf8(c.stored).trimmed())
            << c.value.toStdString();
        EXPECT_FALSE(record.IsUnset(c.field));
    }
}

TEST(CallRecordTest, ANeverSetFieldIsNulsWhichTrimmingKeeps) {
    CallRecord record;
    EXPECT_TRUE(record.IsUnset(CallField::Notes));
    EXPECT_EQ(FieldBytes(record, CallField::Notes), QByteArray(256, '\0'));
    EXPECT_EQ(record.Get(CallField::Notes), QString(256, QChar(0)));
    EXPECT_EQ(record.Get(CallField::UserMark), QString(1, QChar(0)));

    record.Set(CallField::Notes, QString());
    EXPECT_FALSE(record.IsUnset(CallField::Notes));
    EXPECT_EQ(record.Get(CallField::Notes), QString());
}

TEST(CallRecordTest, SafeFileNamePartReplacesWhatCouldLeaveTheFolder) {
    const struct {
        QString part;
        QString safe;
    } cases[] = {
        {QStringLiteral("UNKNOWN"), QStringLiteral("UNKNOWN")},
        {QStringLiteral("../../etc/passwd"), QStringLiteral("_._.._etc_passwd")},
        {QStringLiteral("."), QStringLiteral("_")},
        {QStringLiteral(".."), QStringLiteral("_")},
        // A leading dot would hide the file.
        {QStringLiteral("..."), QStringLiteral("_..")},
        {QStringLiteral(".hidden"), QStringLiteral("_hidden")},
        {QStringLiteral("a.b."), QStringLiteral("a.b.")},
        // Direction marks, isolates and other format characters go.
        {QString::fromUtf8("\u200fDana\u200e"), QStringLiteral("Dana")},
        {QString::fromUtf8("\u05d3\u05e0\u05d4\u061c 5"),
         QString::fromUtf8("\u05d3\u05e0\u05d4 5")},
        {QString::fromUtf8("evil\u202egnp.exe\u202c"), QStringLiteral("evilgnp.exe")},
        {QString::fromUtf8("\u2066a\u2067b\u2068c\u2069\u202a\u202b\u202d"), QStringLiteral("abc")},
        {QString::fromUtf8("\ufeffx\u00ad\u200by"), QStringLiteral("xy")},
        {QString::fromUtf8("\u200f.\u200f."), QStringLiteral("_")},
        {QString::fromUtf8("a\0b\nc\rd\x7f", 8), QStringLiteral("a_b_c_d_")},
        {QString::fromUtf8("M\u00fcller \u20ac"), QString::fromUtf8("M\u00fcller \u20ac")},
        {QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeFileNamePart(c.part), c.safe) << c.part.toStdString();
    }
}

CallRecord RecordOf(const QString& name, const QString& number, const QString& date,
                    const QString& time) {
    CallRecord record;
    record.Set(CallField::CallDate, date);
    record.Set(CallField::CallerName, name);
    record.Set(CallField::CallerNumber, number);
    record.Set(CallField::CallTime, time);
    return record;
}

TEST(CallRecordTest, TheFileNameIsRebuiltFromTheStoredValuesAndStaysInTheFolder) {
    const QString date = QStringLiteral("12/7/2026");
    const QString time = QStringLiteral("10:15:30 AM");
    const struct {
        QString name;
        QString number;
        QString fileName;
    } cases[] = {
        {QStringLiteral("UNKNOWN"), QStringLiteral("UNKNOWN"),
         QStringLiteral("UNKNOWN_UNKNOWN_12-7-2026_10-15-30 AM.wav")},
        // Stored cut to 32 bytes, so named cut too.
        {QString(40, QLatin1Char('n')), QStringLiteral("555"),
         QString(32, QLatin1Char('n')) + QStringLiteral("_555_12-7-2026_10-15-30 AM.wav")},
        {QStringLiteral("  padded  "), QStringLiteral("555"),
         QStringLiteral("padded_555_12-7-2026_10-15-30 AM.wav")},
        {QStringLiteral("../../etc/passwd"), QString::fromUtf8("1\0/2\n", 5),
         QStringLiteral("_._.._etc_passwd_1__2__12-7-2026_10-15-30 AM.wav")},
        {QStringLiteral(".."), QStringLiteral("."),
         QStringLiteral("____12-7-2026_10-15-30 AM.wav")},
        {QStringLiteral("..."), QStringLiteral("5551234"),
         QStringLiteral("_.._5551234_12-7-2026_10-15-30 AM.wav")},
    };
    const QString folder = QStringLiteral("/recordings/");
    for (const auto& c : cases) {
        const QString fileName = CallFileName(RecordOf(c.name, c.number, date, time));
        EXPECT_EQ(fileName, c.fileName) << c.name.toStdString();
        EXPECT_EQ(QFileInfo(QDir::cleanPath(folder + fileName)).path(),
                  QStringLiteral("/recordings"))
            << c.name.toStdString();
        EXPECT_FALSE(fileName.startsWith(QLatin1Char('.'))) << c.name.toStdString();
    }
}

// Recordings named by the earlier rule (a leading dot, a direction mark
// kept) stay the calls' files: listed, played and deleted as before.
TEST(CallRecordTest, ARecordingNamedByTheEarlierRuleIsStillFound) {
    QTemporaryDir folder;
    const QString date = QStringLiteral("12/7/2026");
    const QString time = QStringLiteral("10:15:30 AM");
    const QString marked = QString::fromUtf8("\u200fDana");
    const CallRecord record = RecordOf(marked, QStringLiteral("555"), date, time);
    const QString legacy = QString::fromUtf8("\u200fDana_555_12-7-2026_10-15-30 AM.wav");
    const QString current = QStringLiteral("Dana_555_12-7-2026_10-15-30 AM.wav");
    ASSERT_EQ(LegacyCallFileName(record), legacy);
    ASSERT_EQ(CallFileName(record), current);
    EXPECT_TRUE(NamesCall(record, legacy));
    EXPECT_TRUE(NamesCall(record, current));
    EXPECT_FALSE(NamesCall(record, QStringLiteral("other.wav")));

    const auto nameIn = [&] {
        return CallFileNameIn(folder.path(), marked, QStringLiteral("555"), date, time);
    };
    const auto make = [&folder](const QString& name) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    EXPECT_EQ(nameIn(), current);  // neither: a new recording's name
    make(legacy);
    EXPECT_EQ(nameIn(), legacy);
    make(current);
    EXPECT_EQ(nameIn(), current);
}

// What the list takes for a call and what for damage.
TEST(CallRecordTest, ARecordIsReadableOnlyWhenItHoldsWhatTheProgramWrites) {
    CallRecord written = RecordOf(QStringLiteral("Ann"), QStringLiteral("555"),
                                  QStringLiteral("12/7/2026"), QStringLiteral("10:15:30 AM"));
    written.Set(CallField::CallKind, QStringLiteral("3"));
    written.Set(CallField::ReadFlag, QStringLiteral("0"));
    written.Set(CallField::ExtraText, QStringLiteral("2026-12-07T10:15:30"));
    written.Set(CallField::Notes, QStringLiteral("one\r\n\ttwo"));
    const auto with = [](const CallRecord& record, CallField field, std::string_view bytes) {
        std::array<char, kCallRecordSize> raw = record.Bytes();
        std::copy(bytes.begin(), bytes.end(), raw.begin() + LayoutOf(field).offset);
        return CallRecord(raw);
    };
    std::array<char, kCallRecordSize> noise{};
    unsigned state = 20;
    for (char& c : noise) {
        state = state * 1103515245u + 12345u;  // fixed: the same bytes every run
        c = static_cast<char>(state >> 16);
    }
    const struct {
        const char* what;
        CallRecord record;
        bool readable;
    } cases[] = {
        {"as the recorder writes it", written, true},
        {"never written (all NUL)", CallRecord(), true},
        {"a name in another character set", with(written, CallField::CallerName, "M\xfcller"),
         true},
        {"marks set", with(with(written, CallField::UserMark, "1"), CallField::SpareMark, "1"),
         true},
        {"a mark that is no mark", with(written, CallField::UserMark, "x"), false},
        {"a read flag that is no flag", with(written, CallField::ReadFlag, "\xff"), false},
        {"a kind that is no number", with(written, CallField::CallKind, "3a"), false},
        {"a control character in the name", with(written, CallField::CallerName, "A\x01"), false},
        {"a line break in the date", with(written, CallField::CallDate, "12/7\n"), false},
        {"DEL in the time", with(written, CallField::CallTime, "\x7f"), false},
        {"random bytes", CallRecord(noise), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsReadableCallRecord(c.record), c.readable) << c.what;
    }
}

}  // namespace
}  // namespace orvane
