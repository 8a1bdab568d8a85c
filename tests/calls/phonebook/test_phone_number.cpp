#include <gtest/gtest.h>

#include "calls/phonebook/phone_number.h"

namespace orvane {
namespace {

struct Case {
    const char* country;
    const char* area;
    const char* number;
    const char* expected;
};

TEST(PhoneNumber, OneNumberWrittenManyWaysHasOneForm) {
    const Case cases[] = {
        // The ways one Berlin number is written, from inside Germany.
        {"DE", "30", "0049 30 1234", "+49301234"},
        {"DE", "30", "+49 30 1234", "+49301234"},
        {"DE", "030", "030 1234", "+49301234"},
        {"DE", "30", "1234", "+49301234"},
        {"DE", "30", "(030) 12-34", "+49301234"},
        {"DE", "30", "030/1234", "+49301234"},
        // Another country's number dialled from Germany.
        {"DE", "30", "0044 20 7946 0000", "+442079460000"},
        // North America: ten digits with or without the trunk 1; seven
        // digits are local.
        {"US", "212", "(212) 555-1234", "+12125551234"},
        {"US", "212", "1-212-555-1234", "+12125551234"},
        {"US", "212", "555-1234", "+12125551234"},
        {"US", "212", "011 49 30 1234", "+49301234"},
        // Closed plans keep their leading digits: Italy's 0 is part of the number.
        {"IT", "", "06 1234 5678", "+390612345678"},
        {"it", "", "+39 06 1234 5678", "+390612345678"},
        // No country chosen: the digits alone.
        {"", "", "030 1234", "0301234"},
        {"XX", "", "+49 30 1234", "+49301234"},
        // What the line sends without a number has no form.
        {"DE", "30", "P", ""},
        {"DE", "30", "UNKNOWN", ""},
        {"DE", "30", "", ""},
        {"DE", "30", "+", ""},
        // A "+" after the first digit is not a country code.
        {"DE", "30", "030+1234", "+49301234"},
        // Digits of other scripts are not dialled.
        {"DE", "30", "\u0660\u0661\u0662", ""},
    };
    for (const Case& c : cases) {
        const NumberPlan plan =
            PlanFor(QString::fromLatin1(c.country), QString::fromLatin1(c.area));
        EXPECT_EQ(NormalizedNumber(QString::fromUtf8(c.number), plan),
                  QString::fromLatin1(c.expected))
            << c.country << " " << c.area << " " << c.number;
    }
}

TEST(PhoneNumber, EveryCountryOfTheTableIsKnownByItsCode) {
    const QStringList countries = KnownCountries();
    ASSERT_FALSE(countries.isEmpty());
    for (const QString& iso : countries) {
        EXPECT_FALSE(PlanForCountry(iso).countryCode.isEmpty()) << iso.toStdString();
    }
    EXPECT_TRUE(std::is_sorted(countries.begin(), countries.end()));
}

}  // namespace
}  // namespace orvane
