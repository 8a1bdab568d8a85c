// Locale texts, time stamps, clock texts, the wait rule and file length.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include "core/clock.h"
#include "core/common_functions.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

QLocale Locale(const char* name) {
    return QLocale(QString::fromLatin1(name));
}

TEST(LocaleTexts, ShortDateAndLongTimeWithoutZone) {
    const QDate day(2026, 12, 7);
    EXPECT_EQ(ShortDateText(day, Locale("en_US")), "12/7/26");
    EXPECT_EQ(ShortDateText(day, Locale("de_DE")), "07.12.26");
    EXPECT_EQ(ShortDateText(day, Locale("en_GB")), "07/12/2026");
    const QTime time(16, 34, 54);
    EXPECT_EQ(LongTimeText(time, Locale("en_US")), "4:34:54 PM");
    EXPECT_EQ(LongTimeText(time, Locale("de_DE")), "16:34:54");
    EXPECT_EQ(LongTimeFormatWithoutZone(Locale("ca_ES")), "H:mm:ss");  // was "H:mm:ss (t)"
}

TEST(LocaleTexts, NoLocaleLeavesTheZoneOrAStrayBlank) {
    const QTime time(16, 34, 54);
    const QString zone = QDateTime(QDate(2026, 12, 7), time).timeZoneAbbreviation();
    ASSERT_FALSE(zone.isEmpty());
    for (const QLocale& locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        const QString text = LongTimeText(time, locale);
        EXPECT_FALSE(text.contains(zone) || text.endsWith(QLatin1Char(' ')) ||
                     text.endsWith(QLatin1Char(',')) || text.startsWith(QLatin1Char(' ')))
            << locale.name().toStdString() << ": " << text.toStdString();
    }
}

TEST(TimeStamp, ReplacesOrDropsSeparatorsAndRunsEvents) {
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "10:15:30 AM", true), "12-7-2026_10-15-30 AM");
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "10:15:30 AM", false), "1272026101530 AM");
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "", true), "12-7-2026");
    EXPECT_EQ(MakeTimeStamp("07.12.2026", "", true), "07.12.2026");
    EXPECT_EQ(MakeTimeStamp("1/2/26", "../x", true), "1-2-26_..-x");

    int ran = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&ran] { ++ran; }, Qt::QueuedConnection);
    EXPECT_EQ(TimeStampText("1/2/26", "", true), "1-2-26");
    EXPECT_EQ(ran, 0);
    MakeTimeStamp("1/2/26", "", true);
    EXPECT_EQ(ran, 1);
}

TEST(ClockTexts, SecondsYesNoAndPathParts) {
    EXPECT_EQ(SecondsToClock(0), "0:00:00");
    EXPECT_EQ(SecondsToClock(5), "0:00:05");
    EXPECT_EQ(SecondsToClock(3725), "1:02:05");
    EXPECT_EQ(SecondsToClock(360000), "100:00:00");
    EXPECT_EQ(SecondsToClock(-5), "0:00:00");
    EXPECT_EQ(YesNoText(true), "Yes");
    EXPECT_EQ(YesNoText(false), "No");
    EXPECT_EQ(LastPathPart("/home/u/Rec/A_1.wav"), "A_1.wav");
    EXPECT_EQ(LastPathPart("plain.wav"), "plain.wav");
    EXPECT_EQ(LastPathPart("/home/u/"), "");
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
    EXPECT_EQ(WaitDeadlineTenths(1249, 10), 22);
    EXPECT_EQ(WaitDeadlineTenths(1250, 10), 23);
    FakeTicks ticks{1234};
    WaitTenths(10, ticks.hooks());
    EXPECT_EQ(ticks.now, 2201);  // first tick with ticks / 100 > 22

    for (qint64 start = 5000; start < 5100; ++start) {
        FakeTicks from{start};
        WaitTenths(10, from.hooks());
        EXPECT_TRUE(from.now - start >= 950 && from.now - start <= 1051) << start;
    }
    FakeTicks over{5000};
    WaitTenths(-3, over.hooks());
    EXPECT_EQ(over.pumps, 1);
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

TEST(SetFileLength, ChangesOnlyExistingRegularFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data"));
    const auto read = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    };
    EXPECT_FALSE(SetFileLength(path, 0));
    EXPECT_FALSE(QFile::exists(path));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("0123456789");
    }
    EXPECT_TRUE(SetFileLength(path, 4));
    EXPECT_EQ(read(), QByteArray("0123"));
    EXPECT_TRUE(SetFileLength(path, 6));
    EXPECT_EQ(read(), QByteArray("0123\0\0", 6));
    EXPECT_FALSE(SetFileLength(path, -1));
    EXPECT_EQ(read().size(), 6);
    EXPECT_FALSE(SetFileLength(dir.path(), 0));
}

}  // namespace
}  // namespace orvane
