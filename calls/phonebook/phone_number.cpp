#include "calls/phonebook/phone_number.h"

#include <algorithm>
#include <iterator>

namespace orvane {

namespace {

struct CountryPlan {
    const char* iso;
    const char* countryCode;
    const char* trunkPrefix;
    const char* internationalPrefix;
    int nationalLength;
};

// Where landlines with voice modems are common, and their neighbours.
// Countries with a closed numbering plan have no trunk prefix: their
// numbers are always dialled whole (Italy keeps its leading 0).
constexpr CountryPlan kCountries[] = {
    {"AR", "54", "0", "00", 0},  {"AT", "43", "0", "00", 0},  {"AU", "61", "0", "0011", 0},
    {"BE", "32", "0", "00", 0},  {"BR", "55", "0", "00", 0},  {"CA", "1", "1", "011", 10},
    {"CH", "41", "0", "00", 0},  {"CN", "86", "0", "00", 0},  {"CZ", "420", "", "00", 0},
    {"DE", "49", "0", "00", 0},  {"DK", "45", "", "00", 0},   {"ES", "34", "", "00", 0},
    {"FI", "358", "0", "00", 0}, {"FR", "33", "0", "00", 0},  {"GB", "44", "0", "00", 0},
    {"GR", "30", "", "00", 0},   {"HU", "36", "06", "00", 0}, {"IE", "353", "0", "00", 0},
    {"IL", "972", "0", "00", 0}, {"IN", "91", "0", "00", 0},  {"IT", "39", "", "00", 0},
    {"JP", "81", "0", "010", 0}, {"LU", "352", "", "00", 0},  {"MX", "52", "", "00", 0},
    {"NL", "31", "0", "00", 0},  {"NO", "47", "", "00", 0},   {"NZ", "64", "0", "00", 0},
    {"PL", "48", "", "00", 0},   {"PT", "351", "", "00", 0},  {"RU", "7", "8", "810", 0},
    {"SE", "46", "0", "00", 0},  {"TR", "90", "0", "00", 0},  {"US", "1", "1", "011", 10},
    {"ZA", "27", "0", "00", 0},
};

const CountryPlan* FindCountry(QStringView iso) {
    const QString upper = iso.trimmed().toString().toUpper();
    const auto found =
        std::find_if(std::begin(kCountries), std::end(kCountries),
                     [&](const CountryPlan& c) { return upper == QLatin1String(c.iso); });
    return found == std::end(kCountries) ? nullptr : found;
}

}  // namespace

NumberPlan PlanForCountry(QStringView iso) {
    NumberPlan plan;
    if (const CountryPlan* country = FindCountry(iso)) {
        plan.countryCode = QLatin1String(country->countryCode);
        plan.trunkPrefix = QLatin1String(country->trunkPrefix);
        plan.internationalPrefix = QLatin1String(country->internationalPrefix);
        plan.nationalLength = country->nationalLength;
    }
    return plan;
}

QStringList KnownCountries() {
    QStringList codes;
    for (const CountryPlan& country : kCountries) {
        codes << QLatin1String(country.iso);
    }
    return codes;
}

NumberPlan PlanFor(QStringView iso, QStringView areaCode) {
    NumberPlan plan = PlanForCountry(iso);
    QString area = NumberDigits(areaCode);
    area.remove(QLatin1Char('+'));
    if (!plan.trunkPrefix.isEmpty() && area.startsWith(plan.trunkPrefix)) {
        area = area.mid(plan.trunkPrefix.size());
    }
    plan.areaCode = area;
    return plan;
}

QString NumberDigits(QStringView text) {
    QString digits;
    digits.reserve(text.size());
    bool leading = true;
    for (const QChar c : text) {
        // Only ASCII digits: other scripts' digits are not dialled.
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits += c;
            leading = false;
        } else if (c == QLatin1Char('+') && leading) {
            digits = QStringLiteral("+");
            leading = false;
        } else if (!c.isSpace() && c != QLatin1Char('-') && c != QLatin1Char('.') &&
                   c != QLatin1Char('/') && c != QLatin1Char('(') && c != QLatin1Char(')')) {
            // A letter or sign before the number leaves a later "+" a sign.
            leading = leading && !c.isLetterOrNumber();
        }
    }
    return digits == QLatin1String("+") ? QString() : digits;
}

QString NormalizedNumber(QStringView number, const NumberPlan& plan) {
    const QString digits = NumberDigits(number);
    if (digits.isEmpty() || digits.startsWith(QLatin1Char('+')) || plan.countryCode.isEmpty()) {
        return digits;
    }
    const QString plus = QStringLiteral("+");
    if (!plan.internationalPrefix.isEmpty() && digits.startsWith(plan.internationalPrefix) &&
        digits.size() > plan.internationalPrefix.size()) {
        return plus + digits.mid(plan.internationalPrefix.size());
    }
    if (plan.nationalLength > 0) {
        // North America: ten digits, with or without the trunk "1"; fewer
        // are a local number in the user's area.
        if (digits.size() == plan.nationalLength + plan.trunkPrefix.size() &&
            digits.startsWith(plan.trunkPrefix)) {
            return plus + plan.countryCode + digits.mid(plan.trunkPrefix.size());
        }
        if (digits.size() >= plan.nationalLength) {
            return plus + plan.countryCode + digits;
        }
        return plus + plan.countryCode + plan.areaCode + digits;
    }
    if (plan.trunkPrefix.isEmpty()) {
        // A closed numbering plan: every number is dialled whole.
        return plus + plan.countryCode + digits;
    }
    if (digits.startsWith(plan.trunkPrefix)) {
        return plus + plan.countryCode + digits.mid(plan.trunkPrefix.size());
    }
    // No trunk prefix: a local number in the user's own area.
    return plus + plan.countryCode + plan.areaCode + digits;
}

}  // namespace orvane
