#pragma once
// The number plan the phone book compares numbers in; kept beside the
// General page's values, on its key.

#include <QString>

#include "settings/names/general.h"

namespace orvane {

inline const QString kPhoneBookKey = kTabGeneral;

namespace setting {
// The ISO 3166 code of the user's country ("DE"); missing means the
// system's territory, empty means none.
inline const QString kPhoneCountry = QStringLiteral("PhoneCountry");
// The user's area code, with or without its trunk prefix.
inline const QString kPhoneAreaCode = QStringLiteral("PhoneAreaCode");
}  // namespace setting

}  // namespace orvane
