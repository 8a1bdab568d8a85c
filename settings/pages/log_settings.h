#pragma once
// The Log page: the two daily journals and how long their files are kept.

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class LogSettings final : public SettingsPage {
  public:
    explicit LogSettings(QObject* parent = nullptr);

    bool SystemJournal() const;
    bool CallsJournal() const;
    bool WarnBeforeDelete() const;
    // The position of "keep journals for" (one, two, three months, for
    // ever) as stored; empty when missing, which prunes nothing.
    QString KeepFor() const;

    bool SetSystemJournal(bool on);
    bool SetCallsJournal(bool on);
    bool SetWarnBeforeDelete(bool warn);
    bool SetKeepFor(int position);
};

}  // namespace orvane
