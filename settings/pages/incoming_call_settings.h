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

    // The announcement to a call answered for recording.
    bool Announce() const;
    // A file name in the Sound folders; empty: the shipped one.
    QString AnnouncementSound() const;
    bool AnnounceWhileRecording() const;
    bool SetAnnounce(bool announce);
    bool SetAnnouncementSound(const QString& name);
    bool SetAnnounceWhileRecording(bool whileRecording);
};

}  // namespace orvane
