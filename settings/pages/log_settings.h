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
    // The position of "keep journals for": one, two, three months, for
    // ever. A missing or unreadable value is for ever, in the dialog as in
    // the pruning, so no journal goes that the user did not choose to drop.
    static constexpr int kKeepForever = 3;
    int KeepFor() const;
    // The months of journal kept (1 to 3), 0 for ever: what pruning uses.
    int KeepMonths() const;

    bool SetSystemJournal(bool on);
    bool SetCallsJournal(bool on);
    bool SetWarnBeforeDelete(bool warn);
    bool SetKeepFor(int position);
};

}  // namespace orvane
