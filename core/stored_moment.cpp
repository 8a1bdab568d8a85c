#include "core/stored_moment.h"

#include <algorithm>
#include <array>

namespace orvane {
namespace {

constexpr qint64 kSecondsPerDay = 86400;
// Two-digit years: 00..29 are 20yy, 30..99 are 19yy, as the regional
// settings' two-digit-year window reads them.
constexpr int kTwoDigitYearWindow = 30;

// Locales whose month names and day-half words stored texts may carry,
// besides the ones the program runs in.
const char* const kKnownLocales[] = {"C",     "en_US", "en_GB", "de_DE", "he_IL", "fr_FR",
                                     "nl_NL", "sv_SE", "ar_EG", "ko_KR", "ja_JP", "zh_CN"};

// Direction marks and other format characters a locale may put into its
// texts carry no meaning for the moment.
QString WithoutFormatCharacters(QStringView text) {
    QString plain;
    plain.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() != QChar::Other_Format) {
            plain += c;
        }
    }
    return plain;
}

// Letters only, case-folded: "Dez." and "דצמ׳" compare by their letters.
QString WordKey(QStringView word) {
    QString key;
    for (const QChar c : word) {
        if (c.isLetter()) {
            key += c;
        }
    }
    return key.toCaseFolded();
}

int FullYear(int value, int digits) {
    if (digits > 2) {
        return value;
    }
    return value < kTwoDigitYearWindow ? 2000 + value : 1900 + value;
}

struct Number {
    int value = 0;
    int digits = 0;
};

// "yyyy-MM-ddTHH:mm:ss" by hand: a folder of new calls has one per call,
// and Qt's format parser would cost more than the rest of the row.
bool ReadIsoParts(QStringView text, int& julianDay, int& second) {
    if (text.size() != 19) {
        return false;
    }
    const auto digits = [&text](qsizetype from, qsizetype count, int& value) {
        value = 0;
        for (qsizetype i = from; i < from + count; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9') {
                return false;
            }
            value = value * 10 + (c - u'0');
        }
        return true;
    };
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int sec = 0;
    if (text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':' || !digits(0, 4, year) || !digits(5, 2, month) || !digits(8, 2, day) ||
        !digits(11, 2, hour) || !digits(14, 2, minute) || !digits(17, 2, sec)) {
        return false;
    }
    const QDate date(year, month, day);
    if (!date.isValid() || !QTime::isValid(hour, minute, sec)) {
        return false;
    }
    julianDay = static_cast<int>(date.toJulianDay());
    second = hour * 3600 + minute * 60 + sec;
    return true;
}

}  // namespace

QString IsoMomentText(const QDateTime& moment) {
    // Built by hand: ASCII digits whatever the locale.
    const QDate day = moment.date();
    const QTime time = moment.time();
    return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d", day.year(), day.month(), day.day(),
                             time.hour(), time.minute(), time.second());
}

StoredMomentReader::StoredMomentReader(const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const qsizetype day = format.indexOf(QLatin1Char('d'));
    const qsizetype month = format.indexOf(QLatin1Char('M'));
    dayFirst_ = day >= 0 && month >= 0 && day < month;
    yearFirst_ = format.trimmed().startsWith(QLatin1Char('y'));

    std::vector<QLocale> locales{locale, QLocale()};
    for (const char* name : kKnownLocales) {
        locales.emplace_back(QString::fromLatin1(name));
    }
    for (const QLocale& known : locales) {
        for (int m = 1; m <= 12; ++m) {
            for (const QString& name :
                 {known.monthName(m, QLocale::LongFormat), known.monthName(m, QLocale::ShortFormat),
                  known.standaloneMonthName(m, QLocale::LongFormat),
                  known.standaloneMonthName(m, QLocale::ShortFormat)}) {
                const QString key = WordKey(name);
                if (!key.isEmpty() && !months_.contains(key)) {
                    months_.insert(key, m);
                }
            }
        }
        for (const auto& [text, list] :
             {std::pair{known.amText(), &amTexts_}, std::pair{known.pmText(), &pmTexts_}}) {
            const QString plain = WithoutFormatCharacters(text);
            if (!plain.isEmpty() && !list->contains(plain, Qt::CaseInsensitive)) {
                list->append(plain);
            }
        }
    }
    // The longer word first, so "a.m." is not read as a word starting "a".
    for (QStringList* list : {&amTexts_, &pmTexts_}) {
        std::stable_sort(list->begin(), list->end(),
                         [](const QString& a, const QString& b) { return a.size() > b.size(); });
    }
}

bool StoredMomentReader::Read(QStringView iso, QStringView date, QStringView time,
                              qint64& seconds) {
    int isoDay = 0;
    int isoSecond = 0;
    if (ReadIsoParts(iso, isoDay, isoSecond)) {
        seconds = isoDay * kSecondsPerDay + isoSecond;
        return true;
    }
    const QDate day = ReadDate(date);
    if (!day.isValid()) {
        return false;
    }
    const QTime clock = ReadTime(time);
    if (!clock.isValid()) {
        return false;
    }
    seconds = day.toJulianDay() * kSecondsPerDay + clock.msecsSinceStartOfDay() / 1000;
    return true;
}

QDate StoredMomentReader::ReadDate(QStringView text) {
    // Calls come in date order, so most ask for the date just read; a
    // folder has few distinct dates, each parsed once.
    if (text == lastDateText_) {
        return lastDate_;
    }
    lastDateText_ = text.toString();
    const auto found = dates_.constFind(lastDateText_);
    lastDate_ = found != dates_.constEnd() ? *found : ParseDate(lastDateText_);
    if (found == dates_.constEnd()) {
        dates_.insert(lastDateText_, lastDate_);
    }
    return lastDate_;
}

int StoredMomentReader::MonthOfWord(const QString& word) const {
    return months_.value(WordKey(word), 0);
}

QDate StoredMomentReader::ParseDate(const QString& raw) const {
    const QString text = WithoutFormatCharacters(raw);
    std::vector<Number> numbers;
    int month = 0;
    QChar separator;  // the first one after the first number
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c.isDigit()) {
            Number number;
            while (i < text.size() && text.at(i).isDigit() && number.digits < 5) {
                number.value = number.value * 10 + text.at(i).digitValue();
                ++number.digits;
                ++i;
            }
            if (i < text.size() && text.at(i).isDigit()) {
                return {};  // no part of a date has six digits
            }
            numbers.push_back(number);
            continue;
        }
        if (c.isLetter()) {
            const qsizetype start = i;
            while (i < text.size() && !text.at(i).isDigit() && !text.at(i).isSpace()) {
                ++i;
            }
            const int named = MonthOfWord(text.mid(start, i - start));
            if (named != 0) {
                if (month != 0) {
                    return {};
                }
                month = named;
            }
            continue;
        }
        if (numbers.size() == 1 && separator.isNull() && !c.isSpace()) {
            separator = c;
        }
        ++i;
    }
    if (month != 0) {
        // "9 Dec 2026", "Dec 9, 2026", "2026 Dec 9": the long number or the
        // one past 31 is the year, else the last.
        if (numbers.size() != 2) {
            return {};
        }
        const bool firstIsYear = numbers[0].digits > 2 || numbers[0].value > 31;
        const Number& year = firstIsYear ? numbers[0] : numbers[1];
        const Number& day = firstIsYear ? numbers[1] : numbers[0];
        return QDate(FullYear(year.value, year.digits), month, day.value);
    }
    if (numbers.size() != 3) {
        return {};
    }
    const auto long_ = [](const Number& n) { return n.digits > 2 || n.value > 31; };
    bool yearFirst = yearFirst_;
    if (long_(numbers[0])) {
        yearFirst = true;
    } else if (long_(numbers[2])) {
        yearFirst = false;
    }
    if (yearFirst) {
        // ISO, "2026/12/09", "2026. 12. 09.": year, month, day everywhere.
        return QDate(FullYear(numbers[0].value, numbers[0].digits), numbers[1].value,
                     numbers[2].value);
    }
    const int a = numbers[0].value;
    const int b = numbers[1].value;
    bool dayFirst = dayFirst_;
    if (separator == QLatin1Char('.')) {
        dayFirst = true;  // every dotted form with the year last is day first
    } else if (a > 12 && b <= 12) {
        dayFirst = true;
    } else if (b > 12 && a <= 12) {
        dayFirst = false;
    }
    const int year = FullYear(numbers[2].value, numbers[2].digits);
    return dayFirst ? QDate(year, b, a) : QDate(year, a, b);
}

QTime StoredMomentReader::ReadTime(QStringView raw) const {
    // Every call has its own time: plain ASCII, the common case, is read
    // in place without a copy.
    const bool ascii =
        std::all_of(raw.begin(), raw.end(), [](QChar c) { return c.unicode() < 0x80; });
    QString cleaned;
    if (!ascii) {
        cleaned = WithoutFormatCharacters(raw);
    }
    const QStringView text = ascii ? raw : QStringView(cleaned);
    std::array<int, 3> parts{-1, -1, 0};
    int count = 0;
    bool pm = false;
    bool am = false;
    const auto matches = [text](qsizetype at, const QStringList& words) {
        const QChar first = text[at].toCaseFolded();
        for (const QString& word : words) {
            if (word.front().toCaseFolded() == first &&
                text.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0) {
                return word.size();
            }
        }
        return qsizetype{0};
    };
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        if (c.isDigit()) {
            if (count == 3) {
                return {};
            }
            int value = 0;
            int digits = 0;
            while (i < text.size() && text.at(i).isDigit()) {
                if (++digits > 2) {
                    return {};
                }
                value = value * 10 + text.at(i).digitValue();
                ++i;
            }
            parts[static_cast<size_t>(count++)] = value;
            continue;
        }
        if (c.isLetter()) {
            if (const qsizetype n = matches(i, pmTexts_); n > 0) {
                pm = true;
                i += n;
            } else if (const qsizetype m = matches(i, amTexts_); m > 0) {
                am = true;
                i += m;
            } else {
                return {};  // an unknown word may turn the hour: no guess
            }
            continue;
        }
        ++i;
    }
    if (count < 2 || (am && pm)) {
        return {};
    }
    int hour = parts[0];
    if (am || pm) {
        if (hour < 1 || hour > 12) {
            return {};
        }
        hour = (hour % 12) + (pm ? 12 : 0);
    }
    return QTime(hour, parts[1], parts[2]);
}

}  // namespace orvane
