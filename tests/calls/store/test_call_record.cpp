#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <cstring>

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
        {QStringLiteral("../../etc/passwd"), QStringLiteral(".._.._etc_passwd")},
        {QStringLiteral("."), QStringLiteral("_")},
        {QStringLiteral(".."), QStringLiteral("_")},
        {QStringLiteral("..."), QStringLiteral("...")},
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
         QStringLiteral(".._.._etc_passwd_1__2__12-7-2026_10-15-30 AM.wav")},
        {QStringLiteral(".."), QStringLiteral("."),
         QStringLiteral("____12-7-2026_10-15-30 AM.wav")},
    };
    const QString folder = QStringLiteral("/recordings/");
    for (const auto& c : cases) {
        const QString fileName = CallFileName(RecordOf(c.name, c.number, date, time));
        EXPECT_EQ(fileName, c.fileName) << c.name.toStdString();
        EXPECT_EQ(QFileInfo(QDir::cleanPath(folder + fileName)).path(),
                  QStringLiteral("/recordings"))
            << c.name.toStdString();
    }
}

}  // namespace
}  // namespace orvane
