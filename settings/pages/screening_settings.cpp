#include "settings/pages/screening_settings.h"

#include "settings/names/screening.h"

namespace orvane {

ScreeningSettings::ScreeningSettings(QObject* parent)
    : SettingsPage(kTabScreening,
                   {{setting::kCmbBlockMessage, Kind::kText},
                    {setting::kChkListUnrecorded, Kind::kCheck, QStringLiteral("1")}},
                   parent) {}

QString ScreeningSettings::BlockMessage() const {
    const QString name = TextOf(setting::kCmbBlockMessage).trimmed();
    return name.isEmpty() ? kDefaultBlockMessage : name;
}

bool ScreeningSettings::ListUnrecorded() const {
    return CheckOf(setting::kChkListUnrecorded);
}

bool ScreeningSettings::SetBlockMessage(const QString& name) {
    return SetText(setting::kCmbBlockMessage, name);
}

bool ScreeningSettings::SetListUnrecorded(bool list) {
    return SetCheck(setting::kChkListUnrecorded, list);
}

}  // namespace orvane
