#pragma once
// The program's one telephone line: finding the configured line device by
// name, opening and closing it, and the line switch of the main toolbar.
// Every step is journaled; the main window shows the outcome through a
// LineView.

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtGlobal>
#include <functional>
#include <memory>

#include "telephony/line_backend.h"

namespace orvane {

struct CallState;
class LineView;
class DevicesSettings;
class Tapi;

class LineConnection {
  public:
    // All four must outlive the connection.
    LineConnection(Tapi& tapi, DevicesSettings& settings, CallState& state, LineView& view);

    // Opens the line device stored in the settings ("cmbModemDev"), or line 0
    // when none matches. The name of the line it opened is stored only when
    // none was stored: a choice whose device is away now (unplugged) or
    // fails to open is kept for when it is back. A modem is set up in the
    // background: meanwhile the switch is on and the status says so.
    void OpenLine();
    bool IsOpening() const { return opening_; }
    // The device of the line last opened; empty before the first.
    const QString& OpenDevice() const { return openDevice_; }
    // Closes the line and shuts the telephony service down. A call on the
    // line is ended first (SetCallEnder); a recording that is no call's is
    // left alone.
    void CloseLine();
    // The line switch was clicked: closes an open line (or one being
    // opened), opens a closed one.
    void LineSwitchClicked();

    // What ends a call in progress before the line closes.
    void SetCallEnder(std::function<void()> endCall) { endCall_ = std::move(endCall); }

    // The open line was lost (not closed by the user): every few seconds the
    // line is looked for again and reopened once its device is listed.
    // Closing or opening the line ends the search.
    void LineLost();
    bool IsLookingForLostLine() const { return reopenTimer_.isActive(); }
    // One look: reopens the line if the device it lost is listed again.
    void RetryLostLine();

  private:
    void OpenListedLine(quint64 attempt);
    void FinishOpening(qint32 result, const QString& deviceName, const QString& stored);

    Tapi& tapi_;
    DevicesSettings& settings_;
    CallState& state_;
    LineView& view_;
    std::function<void()> endCall_;
    // The device of the line last opened, and of the line that was lost.
    QString openDevice_;
    QString lostDevice_;
    QTimer reopenTimer_;
    // An open under way; `attempt` tells a late answer to an open that was
    // given up from the answer to the one under way.
    bool opening_ = false;
    bool showedOpening_ = false;
    quint64 attempt_ = 0;
    // Answers that come after the connection is gone are dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The system journal entry that describes a line device: its first line
// "Device Details -", then one indented line per detail.
QStringList DeviceDetailsLines(qint32 index, const LineDetails& details);

}  // namespace orvane
