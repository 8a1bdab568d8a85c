#include "settings/pages/incoming_call_settings.h"

#include "settings/names/incoming_call.h"

namespace orvane {

IncomingCallSettings::IncomingCallSettings(QObject* parent)
    : SettingsPage(kTabIncomingCall,
                   {{setting::kChkViewCdIc, Kind::kCheck},
                    {setting::kChkOpenAppOnCall, Kind::kCheck},
                    {setting::kChkPlayInIc, Kind::kCheck},
                    {setting::kCmbPlayWhenIc, Kind::kText}},
                   parent) {}

bool IncomingCallSettings::CallerBalloon() const {
    return CheckOf(setting::kChkViewCdIc);
}

bool IncomingCallSettings::OpenAppOnCall() const {
    return CheckOf(setting::kChkOpenAppOnCall);
}

bool IncomingCallSettings::PlaySound() const {
    return CheckOf(setting::kChkPlayInIc);
}

QString IncomingCallSettings::Sound() const {
    return TextOf(setting::kCmbPlayWhenIc);
}

bool IncomingCallSettings::SetCallerBalloon(bool show) {
    return SetCheck(setting::kChkViewCdIc, show);
}

bool IncomingCallSettings::SetOpenAppOnCall(bool open) {
    return SetCheck(setting::kChkOpenAppOnCall, open);
}

bool IncomingCallSettings::SetPlaySound(bool play) {
    return SetCheck(setting::kChkPlayInIc, play);
}

bool IncomingCallSettings::SetSound(const QString& name) {
    return SetText(setting::kCmbPlayWhenIc, name);
}

}  // namespace orvane
