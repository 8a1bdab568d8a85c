// Locale texts, time stamps, clock texts, the wait rule and file length.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

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

TEST(TimeStamp, ReplacesOrDropsSeparatorsAndRunsNoEvents) {
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "10:15:30 AM", true), "12-7-2026_10-15-30 AM");
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "10:15:30 AM", false), "1272026101530 AM");
    EXPECT_EQ(MakeTimeStamp("12/7/2026", "", true), "12-7-2026");
    EXPECT_EQ(MakeTimeStamp("07.12.2026", "", true), "07.12.2026");
    EXPECT_EQ(MakeTimeStamp("1/2/26", "../x", true), "1-2-26_..-x");

    // Stamps are made inside event handlers, which must not be re-entered.
    int ran = 0;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&ran] { ++ran; }, Qt::QueuedConnection);
    MakeTimeStamp("1/2/26", "10:15", true);
    EXPECT_EQ(ran, 0);
    QCoreApplication::processEvents();
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

TEST(WaitTenths, TheDeadlineRoundsToTheNearestTenth) {
    EXPECT_EQ(WaitDeadlineTenths(1249, 10), 22);
    EXPECT_EQ(WaitDeadlineTenths(1250, 10), 23);
    EXPECT_EQ(WaitTenthsDelayMs(1234, 10), 2201 - 1234);  // first tick with ticks / 100 > 22
    for (qint64 start = 5000; start < 5100; ++start) {
        const qint64 delay = WaitTenthsDelayMs(start, 10);
        EXPECT_TRUE(delay >= 950 && delay <= 1051) << start;
    }
    EXPECT_EQ(WaitTenthsDelayMs(5000, -3), 0);
}

TEST(WaitTenths, ReturnsAtOnceAndGoesOnFromTheEventLoopWhileItsContextLives) {
    int ran = 0;
    auto context = std::make_unique<QObject>();
    WaitTenths(-3, context.get(), [&ran] { ++ran; });
    EXPECT_EQ(ran, 0);
    const QDeadlineTimer deadline(5000);
    while (ran == 0 && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(ran, 1);

    WaitTenths(-3, context.get(), [&ran] { ++ran; });
    context.reset();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
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
