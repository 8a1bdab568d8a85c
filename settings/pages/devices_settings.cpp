#include "settings/pages/devices_settings.h"

#include <algorithm>

#include "settings/names/devices.h"

namespace orvane {
namespace {

// A limit of the page: a whole number within 0..most, else off.
int Limit(const QString& text, int most) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::clamp(value, 0, most) : 0;
}

}  // namespace

DevicesSettings::DevicesSettings(QObject* parent)
    : SettingsPage(kTabDevices,
                   {{setting::kCmbModemDev, Kind::kText},
                    {setting::kChkDisplayRecomendedDevices, Kind::kCheck},
                    {setting::kCmbSoundDev, Kind::kText},
                    {setting::kTxtSilenceLimit, Kind::kText},
                    {setting::kTxtLongestCall, Kind::kText},
                    {setting::kCmbCallerIdStandard, Kind::kText}},
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

int DevicesSettings::SilenceLimitSeconds() const {
    return Limit(TextOf(setting::kTxtSilenceLimit), kMostSilenceSeconds);
}

int DevicesSettings::LongestCallMinutes() const {
    return Limit(TextOf(setting::kTxtLongestCall), kMostCallMinutes);
}

QString DevicesSettings::CallerIdStandard() const {
    return TextOf(setting::kCmbCallerIdStandard).trimmed();
}

bool DevicesSettings::SetSilenceLimitSeconds(int seconds) {
    return SetNumber(setting::kTxtSilenceLimit, std::clamp(seconds, 0, kMostSilenceSeconds));
}

bool DevicesSettings::SetLongestCallMinutes(int minutes) {
    return SetNumber(setting::kTxtLongestCall, std::clamp(minutes, 0, kMostCallMinutes));
}

bool DevicesSettings::SetCallerIdStandard(const QString& code) {
    return SetText(setting::kCmbCallerIdStandard, code.trimmed());
}

}  // namespace orvane
