#pragma once
// The General page: how and where calls are recorded, and the start at
// log-on.

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class GeneralSettings final : public SettingsPage {
  public:
    explicit GeneralSettings(QObject* parent = nullptr);

    // Whether the log-on entry starts this program folder's copy.
    bool RunOnStart() const;
    // Index into the record-format table; 0 (PCM) when missing.
    int RecordFormat() const;
    // Ends in "/"; the default recordings folder when none is stored.
    QString RecordingsFolder() const;
    // On when missing.
    bool AskBeforeDeletingCalls() const;

    // Stores the box and makes or removes the log-on entry with it.
    bool SetRunOnStart(bool run);
    bool SetRecordFormat(int format);
    // Stored with its "/".
    bool SetRecordingsFolder(const QString& folder);
    bool SetAskBeforeDeletingCalls(bool ask);

    // The log-on command of this program folder's copy.
    static QString RunCommand();

  private:
    class RunEntry;
    RunEntry* run_;
};

}  // namespace orvane
