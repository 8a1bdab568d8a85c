#pragma once
// The screening pages' settings: the message played to blocked callers and
// whether calls a record rule keeps unrecorded are listed. The rules and
// lists themselves live in Screening.txt (calls/screening).

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class ScreeningSettings final : public SettingsPage {
  public:
    explicit ScreeningSettings(QObject* parent = nullptr);

    // A file name in the Sound folders; empty: the shipped one.
    QString BlockMessage() const;
    // On when missing.
    bool ListUnrecorded() const;

    bool SetBlockMessage(const QString& name);
    bool SetListUnrecorded(bool list);
};

}  // namespace orvane
