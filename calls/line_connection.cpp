#include "calls/line_connection.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "calls/call_state.h"
#include "calls/call_views.h"
#include "calls/line_problem.h"
#include "core/common_functions.h"
#include "journal/journal_writer.h"
#include "settings/pages/devices_settings.h"
#include "telephony/line_devices.h"
#include "telephony/tapi.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

// Privileges and media modes the line is opened with.
constexpr qint32 kOpenPrivileges = 6;
constexpr qint32 kOpenMediaModes = 6;

constexpr int kDetailsIndent = 26;

// How often a lost line is looked for: a replugged USB modem is listed
// again within a second or two.
constexpr int kReopenIntervalMs = 3000;

}  // namespace

QStringList DeviceDetailsLines(qint32 index, const LineDetails& details) {
    const QString indent(kDetailsIndent, QLatin1Char(' '));
    return {QStringLiteral("Device Details -"),
            indent + QStringLiteral("Line Index: ") + QString::number(index),
            indent + QStringLiteral("Device Name: ") + details.deviceName,
            indent + QStringLiteral("Tapi Capability: ") + YesNoText(details.tapiCapability),
            indent + QStringLiteral("Voice Capability: ") + YesNoText(details.voiceCapability),
            indent + QStringLiteral("Monitor Digits: ") + YesNoText(details.monitorDigits)};
}

LineConnection::LineConnection(Tapi& tapi, DevicesSettings& settings, CallState& state,
                               LineView& view)
    : tapi_(tapi), settings_(settings), state_(state), view_(view) {
    reopenTimer_.setInterval(kReopenIntervalMs);
    QObject::connect(&reopenTimer_, &QTimer::timeout, [this] { RetryLostLine(); });
}

void LineConnection::OpenLine() {
    if (opening_) {
        return;
    }
    opening_ = true;
    const quint64 attempt = ++attempt_;
    const std::weak_ptr<bool> alive = alive_;
    // The modems are asked what they are while the window comes up; the
    // stored name can only be matched once they have answered.
    tapi_.WhenLinesListed([this, alive, attempt] {
        if (!alive.expired() && opening_ && attempt == attempt_) {
            OpenListedLine(attempt);
        }
    });
    if (opening_ && attempt == attempt_) {
        showedOpening_ = true;
        view_.SetLineSwitch(true);
        view_.SetLineStatus(Text(ids::kStatusLineOpening));
    }
}

void LineConnection::OpenListedLine(quint64 attempt) {
    const QString stored = settings_.Modem();

    // Every match is journaled and the last one wins, so duplicate names
    // show up in the journal. Without a match the first device is taken
    // that may be asked: a built-in serial port is only ever the user's pick.
    qint32 chosen = -1;
    qint32 firstAskable = -1;
    const std::vector<LineDetails> lines = ListLineDevices(tapi_);
    const auto count = static_cast<qint32>(lines.size());
    for (qint32 i = 0; i < count; ++i) {
        const LineDetails& line = lines[static_cast<size_t>(i)];
        if (LineAnswersTo(line, stored)) {
            chosen = i;
            WriteSysLogLines(DeviceDetailsLines(i, line), 0, QString());
        }
        if (firstAskable < 0 && !line.askedOnlyWhenPicked) {
            firstAskable = i;
        }
    }
    if (chosen < 0) {
        chosen = firstAskable;
    }
    if (chosen < 0 && count > 0) {
        FinishOpening(line_error::kNoModem, QString(), stored);
        return;
    }
    chosen = std::max(chosen, 0);

    tapi_.SetLineIndex(chosen);
    const QString name = chosen < count ? lines[static_cast<size_t>(chosen)].deviceName : QString();

    const std::weak_ptr<bool> alive = alive_;
    tapi_.LineOpenInBackground(kOpenPrivileges, kOpenMediaModes,
                               [this, alive, attempt, name, stored](qint32 result) {
                                   if (!alive.expired() && opening_ && attempt == attempt_) {
                                       FinishOpening(result, name, stored);
                                   }
                               });
}

void LineConnection::FinishOpening(qint32 result, const QString& deviceName,
                                   const QString& stored) {
    opening_ = false;
    const bool showedOpening = std::exchange(showedOpening_, false);
    if (result != line_error::kNone) {
        const QString holder =
            result == line_error::kPortInUse ? tapi_.LinePortHolder() : QString();
        WriteSysLog(holder.isEmpty() ? tapi_.LineErrText(result)
                                     : tapi_.LineErrText(result) + QStringLiteral(" (") + holder +
                                           QLatin1Char(')'),
                    result, QStringLiteral("OpenLine:Tapi1.OpenLine"));
        if (showedOpening) {
            view_.SetLineSwitch(false);
            view_.SetLineStatus(Text(ids::kStatusLineClosed));
        }
        view_.ShowLineProblem(LineProblemText(result, tapi_.LineErrText(result), holder));
        return;
    }
    reopenTimer_.stop();
    view_.ShowLineProblem(QString());
    openDevice_ = deviceName;
    // Only a first choice is stored: a chosen modem that is unplugged now
    // stays the choice, so the line goes back to it once it is back.
    if (stored.isEmpty() && !deviceName.isEmpty()) {
        settings_.SetModem(deviceName);
    }
    view_.SetLineSwitch(true);
    view_.SetLineStatus(Text(ids::kStatusLineOpen));
    WriteSysLog(tapi_.LineErrText(line_error::kNone), line_error::kNone,
                QStringLiteral("OpenLine:Tapi1.LineOpen"));
    state_.recordSeconds = 0;
    state_.standardCall = false;
    state_.recordCall = false;
}

void LineConnection::CloseLine() {
    reopenTimer_.stop();
    // An open under way is given up; its late answer is dropped.
    opening_ = false;
    showedOpening_ = false;
    if (endCall_) {
        endCall_();
    }
    const qint32 closed = tapi_.LineClose();
    WriteSysLog(tapi_.LineErrText(closed), closed, QStringLiteral("CloseLine:Tapi1.LineClose"));
    const qint32 shutDown = tapi_.LineShutdown();
    WriteSysLog(tapi_.LineErrText(shutDown), shutDown,
                QStringLiteral("CloseLine:Tapi1.LineShutdown"));
    view_.SetLineStatus(Text(ids::kStatusLineClosed));
    view_.SetLineSwitch(false);
}

void LineConnection::LineLost() {
    lostDevice_ = openDevice_;
    reopenTimer_.start();
}

void LineConnection::RetryLostLine() {
    if (tapi_.LineOpened()) {
        reopenTimer_.stop();
        return;
    }
    const bool listed = !lostDevice_.isEmpty() && FindLineDevice(tapi_, lostDevice_) >= 0;
    if (listed) {
        WriteSysLog(QStringLiteral("Line device back: ") + lostDevice_, 0,
                    QStringLiteral("LineConnection.Reopen"));
        OpenLine();
    }
}

void LineConnection::LineSwitchClicked() {
    if (tapi_.LineOpened() || opening_) {
        CloseLine();
    } else {
        OpenLine();
    }
}

}  // namespace orvane
