#pragma once
// The settings around the screening rules (the rules themselves are in
// Screening.txt): the message played to blocked callers and whether calls
// a rule kept unrecorded are entered in the calls list.

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class ScreeningSettings final : public SettingsPage {
  public:
    explicit ScreeningSettings(QObject* parent = nullptr);

    // A sound file's name; kDefaultBlockMessage when missing or empty.
    QString BlockMessage() const;
    // On when missing.
    bool ListUnrecorded() const;

    bool SetBlockMessage(const QString& name);
    bool SetListUnrecorded(bool list);
};

}  // namespace orvane
