#pragma once
// The moment of a stored call, read the same under every locale. A record
// keeps its date and time as the texts of the locale it was written under
// ("12/9/26", "09.12.26", "9 Dec 2026", ...); new records also carry the
// moment as ISO text. The list sorts and shows by what this reads, so a
// change of LANG does not reorder or reformat the calls.

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QTime>
#include <QtGlobal>

namespace orvane {

// "2026-12-09T18:05:07": the moment without zone or fraction, as kept in a
// record beside the locale's texts.
QString IsoMomentText(const QDateTime& moment);

class StoredMomentReader {
  public:
    // `locale` decides what the texts cannot: the order of day and month in
    // "09/12/2026", and two-digit years placed first ("26. 12. 9.").
    explicit StoredMomentReader(const QLocale& locale = QLocale());

    // Seconds on one scale without zones (Julian day * 86400 + second of
    // the day). The ISO text wins when it is one; else date and time.
    bool Read(QStringView iso, QStringView date, QStringView time, qint64& seconds);

    // Any known short-date form: ISO, "12/9/2026", "09/12/2026",
    // "09.12.26", "9.12.2026", "9 Dec 2026", "2026/12/09", in any digits,
    // with direction marks. Invalid when it names no day.
    QDate ReadDate(QStringView text);
    // "h:mm:ss", "HH.mm.ss", "6:05:07 PM" with the day-half words of the
    // common locales. Invalid when it names no time.
    QTime ReadTime(QStringView text) const;

  private:
    QDate ParseDate(const QString& text) const;
    int MonthOfWord(const QString& word) const;

    bool dayFirst_ = false;
    bool yearFirst_ = false;
    QHash<QString, int> months_;
    QStringList amTexts_;
    QStringList pmTexts_;
    QHash<QString, QDate> dates_;
    QString lastDateText_;
    QDate lastDate_;
};

}  // namespace orvane
