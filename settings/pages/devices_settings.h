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
};

}  // namespace orvane
