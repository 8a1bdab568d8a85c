#include "settings/pages/incoming_call_settings.h"

#include "settings/names/incoming_call.h"

namespace orvane {

IncomingCallSettings::IncomingCallSettings(QObject* parent)
    : SettingsPage(kTabIncomingCall,
                   {{setting::kChkViewCdIc, Kind::kCheck},
                    {setting::kChkOpenAppOnCall, Kind::kCheck},
                    {setting::kChkPlayInIc, Kind::kCheck},
                    {setting::kCmbPlayWhenIc, Kind::kText},
                    {setting::kChkAnnounceIc, Kind::kCheck},
                    {setting::kCmbAnnounceIc, Kind::kText},
                    {setting::kChkAnnounceWhileIc, Kind::kCheck}},
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

bool IncomingCallSettings::Announce() const {
    return CheckOf(setting::kChkAnnounceIc);
}

QString IncomingCallSettings::AnnouncementSound() const {
    return TextOf(setting::kCmbAnnounceIc);
}

bool IncomingCallSettings::AnnounceWhileRecording() const {
    return CheckOf(setting::kChkAnnounceWhileIc);
}

bool IncomingCallSettings::SetAnnounce(bool announce) {
    return SetCheck(setting::kChkAnnounceIc, announce);
}

bool IncomingCallSettings::SetAnnouncementSound(const QString& name) {
    return SetText(setting::kCmbAnnounceIc, name);
}

bool IncomingCallSettings::SetAnnounceWhileRecording(bool whileRecording) {
    return SetCheck(setting::kChkAnnounceWhileIc, whileRecording);
}

}  // namespace orvane
