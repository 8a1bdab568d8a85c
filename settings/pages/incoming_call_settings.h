#pragma once
// The Incoming call page: what the program does while the line rings.

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class IncomingCallSettings final : public SettingsPage {
  public:
    explicit IncomingCallSettings(QObject* parent = nullptr);

    bool CallerBalloon() const;
    bool OpenAppOnCall() const;
    bool PlaySound() const;
    // A file name in the Sound folder.
    QString Sound() const;

    bool SetCallerBalloon(bool show);
    bool SetOpenAppOnCall(bool open);
    bool SetPlaySound(bool play);
    bool SetSound(const QString& name);
};

}  // namespace orvane
