#pragma once
// The time source of the program and the locale's texts for dates and times.
// Everything that stamps a file or a journal line reads the time through a
// Clock, so tests can pin the moment.

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>
#include <utility>

namespace orvane {

class Clock {
  public:
    virtual ~Clock() = default;
    // Local date and time.
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
  public:
    QDateTime now() const override;
};

// A clock that stands still until told otherwise; for tests of any folder.
class FixedClock final : public Clock {
  public:
    explicit FixedClock(QDateTime moment) : moment_(std::move(moment)) {}
    QDateTime now() const override { return moment_; }
    void set(const QDateTime& moment) { moment_ = moment; }
    void advanceSecs(qint64 seconds) { moment_ = moment_.addSecs(seconds); }

  private:
    QDateTime moment_;
};

// The program-wide system clock.
const Clock& SystemTime();

// The locale's short date, e.g. "12/7/26" (en_US) or "07.12.26" (de_DE).
QString ShortDateText(const QDate& date, const QLocale& locale = QLocale());

// The locale's long time without any time zone: en_US gives "4:34:54 PM".
QString LongTimeText(const QTime& time, const QLocale& locale = QLocale());

// The locale's long time format with the zone token, its brackets and the
// separator next to it removed.
QString LongTimeFormatWithoutZone(const QLocale& locale);

}  // namespace orvane
