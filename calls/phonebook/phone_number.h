#pragma once
// Telephone numbers in one form, so that the ways one number is written
// (0049 30 1234, +49 30 1234, 030 1234 and, inside area 30, 1234) are found
// to be the same number: by the phone book, the search and the journal.
//
// The form is "+" and the international digits where the user's own
// country places the number, else its digits alone. Nothing from the line
// is trusted to be well formed: any text goes in, and text without a digit
// (a withheld "P", "UNKNOWN") comes out empty.
#include <QString>
#include <QStringList>
#include <QStringView>

namespace orvane {

// How numbers are dialled in the user's country and area.
struct NumberPlan {
    QString countryCode;          // "49"; empty: numbers compare as their digits
    QString areaCode;             // "30", without the trunk prefix; empty: none
    QString trunkPrefix;          // "0" before a national number; "1" in North America
    QString internationalPrefix;  // "00" before another country's code; "011" in North America
    int nationalLength = 0;       // digits of every national number where fixed (10 in
                                  // North America), else 0
    bool operator==(const NumberPlan&) const = default;
};

// The plan of a country by its ISO 3166 code ("DE", "us"); an empty plan
// for a country the table does not hold.
NumberPlan PlanForCountry(QStringView iso);

// The ISO codes the table holds, in alphabetical order.
QStringList KnownCountries();

// The plan of `iso` with the user's area code (its trunk prefix dropped,
// so "030" and "30" are one area).
NumberPlan PlanFor(QStringView iso, QStringView areaCode);

// The number in its one form: "+49301234" for each of the examples above
// (country DE, area 30), "+12125551234" for "(212) 555-1234" in the US.
// Blanks, dashes, dots, slashes and parentheses are ignored; letters too.
// Without a country in the plan: the digits alone ("+" kept).
QString NormalizedNumber(QStringView number, const NumberPlan& plan);

// The digits of `text` only, a leading "+" kept.
QString NumberDigits(QStringView text);

}  // namespace orvane
