#pragma once
// The Devices page: the telephone line and the sound device.

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class DevicesSettings final : public SettingsPage {
  public:
    explicit DevicesSettings(QObject* parent = nullptr);

    // The chosen line device by name; empty when none was chosen yet.
    QString Modem() const;
    bool RecommendedOnly() const;
    // The output device for playback, alert sounds and listening in.
    QString SoundDevice() const;

    bool SetModem(const QString& name);
    bool SetRecommendedOnly(bool only);
    bool SetSoundDevice(const QString& name);

    // The call limits; 0 (off) when missing or not a whole number, held to
    // 0..3600 seconds and 0..1440 minutes.
    int SilenceLimitSeconds() const;
    int LongestCallMinutes() const;
    // The caller-ID standard's code as stored; empty: the modem's own.
    QString CallerIdStandard() const;

    bool SetSilenceLimitSeconds(int seconds);
    bool SetLongestCallMinutes(int minutes);
    bool SetCallerIdStandard(const QString& code);

    static constexpr int kMostSilenceSeconds = 3600;
    static constexpr int kMostCallMinutes = 24 * 60;
};

}  // namespace orvane
