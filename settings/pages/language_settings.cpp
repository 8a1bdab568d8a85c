#include "settings/pages/language_settings.h"

#include "settings/names/language.h"

namespace orvane {

LanguageSettings::LanguageSettings(QObject* parent)
    : SettingsPage(kLanguageKey, {{setting::kSelect, Kind::kText}}, parent) {}

QString LanguageSettings::Selected() const {
    return TextOf(setting::kSelect);
}

bool LanguageSettings::SetSelected(const QString& name) {
    return SetText(setting::kSelect, name);
}

}  // namespace orvane
