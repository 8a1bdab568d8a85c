#include "settings/pages/phone_book_settings.h"

#include <QLocale>

#include "settings/names/phone_book.h"

namespace orvane {

PhoneBookSettings::PhoneBookSettings(QObject* parent)
    : SettingsPage(kPhoneBookKey,
                   {{setting::kPhoneCountry, Kind::kRaw}, {setting::kPhoneAreaCode, Kind::kText}},
                   parent) {}

QString PhoneBookSettings::Country() const {
    const QVariant stored = RawOf(setting::kPhoneCountry);
    return stored.isValid() ? stored.toString().trimmed().toUpper() : SystemCountry();
}

QString PhoneBookSettings::AreaCode() const {
    return TextOf(setting::kPhoneAreaCode).trimmed();
}

bool PhoneBookSettings::SetCountry(const QString& iso) {
    return SetText(setting::kPhoneCountry, iso.trimmed().toUpper());
}

bool PhoneBookSettings::SetAreaCode(const QString& areaCode) {
    return SetText(setting::kPhoneAreaCode, areaCode.trimmed());
}

QString PhoneBookSettings::SystemCountry() {
    const QLocale::Territory territory = QLocale::system().territory();
    return territory == QLocale::AnyTerritory ? QString() : QLocale::territoryToCode(territory);
}

}  // namespace orvane
