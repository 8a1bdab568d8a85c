#pragma once
// The program's one telephone line: finding the configured line device by
// name, opening and closing it, and the line switch of the main toolbar.
// Every step is journaled; the main window shows the outcome through a
// LineView.

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "telephony/line_backend.h"

namespace orvane {

struct CallState;
class LineView;
class RegistryRoutines;
class Tapi;

class LineConnection {
  public:
    // All four must outlive the connection. `settings` is moved to the
    // devices sub-key while the line opens.
    LineConnection(Tapi& tapi, RegistryRoutines& settings, CallState& state, LineView& view);

    // Opens the line device stored in the settings ("cmbModemDev"), or line 0
    // when none matches, and stores the name of the line it chose.
    void OpenLine();
    // Closes the line and shuts the telephony service down. Calls and
    // recordings in progress are left alone.
    void CloseLine();
    // The line switch was clicked: closes an open line, opens a closed one.
    void LineSwitchClicked();

  private:
    Tapi& tapi_;
    RegistryRoutines& settings_;
    CallState& state_;
    LineView& view_;
};

// The system journal entry that describes a line device: its first line
// "Device Details -", then one indented line per detail.
QStringList DeviceDetailsLines(qint32 index, const LineDetails& details);

}  // namespace orvane
