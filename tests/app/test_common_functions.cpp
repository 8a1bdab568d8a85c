// Locale texts, time stamps, clock texts, the wait rule and file length.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "app/core/clock.h"
#include "app/core/common_functions.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

QLocale Locale(const char* name) {
    return QLocale(QString::fromLatin1(name));
}

TEST(LocaleTexts, ShortDateFollowsTheLocale) {
    const QDate day(2026, 12, 7);
    EXPECT_EQ(ShortDateText(day, Locale("en_US")), "12/7/26");
    EXPECT_EQ(ShortDateText(day, Locale("de_DE")), "07.12.26");
    EXPECT_EQ(ShortDateText(day, Locale("en_GB")), "07/12/2026");
}

TEST(LocaleTexts, LongTimeCarriesNoZone) {
    const QTime time(16, 34, 54);
    EXPECT_EQ(LongTimeText(time, Locale("en_US")), "4:34:54 PM");
    EXPECT_EQ(LongTimeText(time, Locale("de_DE")), "16:34:54");
    // The zone sits in brackets, after a comma or in front in some locales.
    EXPECT_EQ(LongTimeFormatWithoutZone(Locale("ca_ES")), "H:mm:ss");
    EXPECT_EQ(LongTimeFormatWithoutZone(Locale("zh_TW")), "Bh:mm:ss");
    EXPECT_EQ(LongTimeFormatWithoutZone(Locale("sq_AL")), "h:mm:ss AP");
    EXPECT_EQ(LongTimeFormatWithoutZone(Locale("my_MM")), "HH:mm:ss");
    EXPECT_EQ(LongTimeFormatWithoutZone(Locale("nds_DE")), "'Klock' H.mm:ss");
}

TEST(LocaleTexts, NoLocaleLeavesTheZoneOrAStrayBlank) {
    const QTime time(16, 34, 54);
    const QString zone = QDateTime(QDate(2026, 12, 7), time).timeZoneAbbreviation();
    ASSERT_FALSE(zone.isEmpty());
    for (const QLocale& locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        const QString text = LongTimeText(time, locale);
        SCOPED_TRACE(locale.name().toStdString());
        EXPECT_FALSE(text.contains(zone)) << text.toStdString();
        EXPECT_FALSE(text.endsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(',')) ||
                     text.startsWith(QLatin1Char(' ')));
    }
}

TEST(TimeStamp, ReplacesOrDropsSeparators) {
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "10:15:30 AM", true), "12-7-2026_10-15-30 AM");
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "10:15:30 AM", false), "1272026101530 AM");
    EXPECT_EQ(MakeTimeStamp("07.12.2026", "", true), "07.12.2026");
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "", true), "12-7-2026");
    EXPECT_EQ(MakeTimeStamp("", "", true), "");
    EXPECT_EQ(MakeTimeStamp("1/2/26", "../x", true), "1-2-26_..-x");
}

TEST(TimeStamp, OnlyMakeTimeStampRunsPendingEvents) {
    int ran = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&ran] { ++ran; }, Qt::QueuedConnection);
    EXPECT_EQ(TimeStampText("1/2/26", "", true), "1-2-26");
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(MakeTimeStamp("1/2/26", "", true), "1-2-26");
    EXPECT_EQ(ran, 1);
}

TEST(ClockTexts, SecondsYesNoAndPathParts) {
    EXPECT_EQ(SecondsToClock(0), "0:00:00");
    EXPECT_EQ(SecondsToClock(5), "0:00:05");
    EXPECT_EQ(SecondsToClock(3725), "1:02:05");
    EXPECT_EQ(SecondsToClock(360000), "100:00:00");
    EXPECT_EQ(SecondsToClock(2147483647), "596523:14:07");
    EXPECT_EQ(SecondsToClock(-5), "0:00:00");
    EXPECT_EQ(YesNoText(true), "Yes");
    EXPECT_EQ(YesNoText(false), "No");
    EXPECT_EQ(LastPathPart("/home/u/Rec/A_1_12-7-26.wav"), "A_1_12-7-26.wav");
    EXPECT_EQ(LastPathPart("plain.wav"), "plain.wav");
    EXPECT_EQ(LastPathPart("/home/u/"), "");
    EXPECT_EQ(LastPathPart("C:\\x\\y.wav"), "C:\\x\\y.wav");
}

// A steady clock that moves one millisecond per pump.
struct FakeTicks {
    qint64 now;
    int pumps = 0;
    WaitHooks hooks() {
        return {[this] { return now; },
                [this](qint64) {
                    ++pumps;
                    ++now;
                }};
    }
};

TEST(WaitTenths, DeadlineRoundsToTheNearestTenth) {
    EXPECT_EQ(WaitDeadlineTenths(1234, 10), 22);
    EXPECT_EQ(WaitDeadlineTenths(1249, 10), 22);
    EXPECT_EQ(WaitDeadlineTenths(1250, 10), 23);
    EXPECT_EQ(WaitDeadlineTenths(1299, 1), 14);

    FakeTicks ticks{1234};
    WaitTenths(10, ticks.hooks());
    EXPECT_EQ(ticks.now, 2201);  // first tick with ticks / 100 > 22
}

TEST(WaitTenths, TenTenthsLastAboutOneSecondFromAnyStart) {
    for (qint64 start = 5000; start < 5100; ++start) {
        FakeTicks ticks{start};
        WaitTenths(10, ticks.hooks());
        EXPECT_GE(ticks.now - start, 950) << start;
        EXPECT_LE(ticks.now - start, 1050) << start;
    }
}

TEST(WaitTenths, RunsEventsAtLeastOnce) {
    FakeTicks ticks{5000};
    WaitTenths(-3, ticks.hooks());
    EXPECT_EQ(ticks.pumps, 1);
}

TEST(WaitTenths, SystemPumpRunsQueuedEvents) {
    int ran = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&ran] { ++ran; }, Qt::QueuedConnection);
    qint64 now = 0;
    WaitHooks hooks = SystemWaitHooks();
    hooks.ticks = [&now] { return now += 60; };
    WaitTenths(1, hooks);
    EXPECT_EQ(ran, 1);
}

class SetFileLengthTest : public ::testing::Test {
  protected:
    QString write(const QByteArray& bytes) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QByteArray read() {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Data"));
};

TEST_F(SetFileLengthTest, CutsAndExtendsAnExistingFile) {
    write("0123456789");
    EXPECT_TRUE(SetFileLength(path, 4));
    EXPECT_EQ(read(), QByteArray("0123"));
    EXPECT_TRUE(SetFileLength(path, 6));
    EXPECT_EQ(read(), QByteArray("0123\0\0", 6));
    EXPECT_TRUE(SetFileLength(path, 0));
    EXPECT_EQ(read(), QByteArray());
}

TEST_F(SetFileLengthTest, NeverCreatesAndRefusesBadRequests) {
    EXPECT_FALSE(SetFileLength(path, 0));
    EXPECT_FALSE(QFile::exists(path));
    write("abc");
    EXPECT_FALSE(SetFileLength(path, -1));
    EXPECT_EQ(read(), QByteArray("abc"));
    EXPECT_FALSE(SetFileLength(dir.path(), 0));
    EXPECT_FALSE(SetFileLength(QString(), 0));
}

}  // namespace
}  // namespace orvane
