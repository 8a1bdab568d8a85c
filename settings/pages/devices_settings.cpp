#include "settings/pages/devices_settings.h"

#include "settings/names/devices.h"

namespace orvane {

DevicesSettings::DevicesSettings(QObject* parent)
    : SettingsPage(kTabDevices,
                   {{setting::kCmbModemDev, Kind::kText},
                    {setting::kChkDisplayRecomendedDevices, Kind::kCheck},
                    {setting::kCmbSoundDev, Kind::kText}},
                   parent) {}

QString DevicesSettings::Modem() const {
    return TextOf(setting::kCmbModemDev);
}

bool DevicesSettings::RecommendedOnly() const {
    return CheckOf(setting::kChkDisplayRecomendedDevices);
}

QString DevicesSettings::SoundDevice() const {
    return TextOf(setting::kCmbSoundDev);
}

bool DevicesSettings::SetModem(const QString& name) {
    return SetText(setting::kCmbModemDev, name);
}

bool DevicesSettings::SetRecommendedOnly(bool only) {
    return SetCheck(setting::kChkDisplayRecomendedDevices, only);
}

bool DevicesSettings::SetSoundDevice(const QString& name) {
    return SetText(setting::kCmbSoundDev, name);
}

}  // namespace orvane
