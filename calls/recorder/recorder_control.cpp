#include "calls/recorder/recorder_control.h"

#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>
#include <cstring>

#include "calls/call_state.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "core/record_formats.h"
#include "journal/journal_writer.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

constexpr int kTrueSpeechSetting = 3;
constexpr int kGsmSetting = 2;
// A WAV file of the audio control with no sound: the header alone.
constexpr qint64 kWaveHeaderBytes = 64;
// Less than this free after a recording: the disk filled up during it.
constexpr qint64 kFullDiskBytes = 64 * 1024;
constexpr int kScopeSampleBytes = 1024;
const QString kIdleTime = QStringLiteral("0:00:00");

qint64 FreeBytes(const QString& folder) {
    const QStorageInfo storage(folder.isEmpty() ? QStringLiteral(".") : folder);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

}  // namespace

QString RecordTimeText(qint32 seconds) {
    seconds = std::max(seconds, 0);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::array<int, kScopePoints> ScopeLevels(const uint8_t* bytes, qint32 size, int height) {
    std::array<int16_t, kScopeSampleBytes> samples{};
    const qint32 copied = bytes == nullptr ? 0 : std::clamp(size, 0, kScopeSampleBytes);
    if (copied > 0) {
        std::memcpy(samples.data(), bytes, static_cast<size_t>(copied));
    }
    std::array<int, kScopePoints> levels{};
    for (int x = 0; x < kScopePoints; ++x) {
        levels[x] = height / 3 - samples[x] / 1500 + 12;
    }
    return levels;
}

RecorderControl::RecorderControl(CallState& state, RecorderWave& wave, RecorderLine& line,
                                 RecorderView& view, const Clock& clock)
    : state_(state), wave_(wave), line_(line), view_(view), clock_(clock), freeSpace_(FreeBytes) {
    tmrRec_.setInterval(1000);
    QObject::connect(&tmrRec_, &QTimer::timeout, &tmrRec_, [this] { Tick(); });
}

QString RecorderControl::RecordingPath() const {
    return options_.recordingsFolder + state_.call.CallFileName;
}

void RecorderControl::Report(const QString& text, qint32 code, const QString& origin) {
    WriteSysLog(text, code, origin);
    view_.ReportProblem(text);
}

void RecorderControl::WaveError(const QString& function, qint32 number,
                                const QString& description) {
    // Only a file that could not be created: StartRecordACM still returns
    // 0 then. Its other failures come back as its result, and the
    // per-buffer ones would repeat for every buffer.
    if (!function.endsWith(QStringLiteral(":OpenFileIn"))) {
        return;
    }
    Report(QStringLiteral("The recording failed: ") + description + QStringLiteral(" (") +
               RecordingPath() + QLatin1Char(')'),
           number, QStringLiteral("Wave1:") + function);
}

void RecorderControl::StartCallRecording() {
    if (options_.recordingsFolder.isEmpty()) {
        // The store takes no call without a folder, and the current folder
        // is nobody's recordings folder.
        view_.ReportProblem(
            QStringLiteral("No recordings folder is set: the call is not recorded"));
        view_.SetRecordPressed(false);
        return;
    }
    const QDateTime now = clock_.now();
    state_.call.CallDate = ShortDateText(now.date(), QLocale());
    state_.call.CallTime = LongTimeText(now.time(), QLocale());
    state_.call.CallFileName = CallFileName(state_.call.CallerName, state_.call.CallerNumber,
                                            state_.call.CallDate, state_.call.CallTime);
    int setting = options_.recordFormat;
    if (setting == kTrueSpeechSetting) {
        // No TrueSpeech encoder here: GSM 6.10 is the nearest in size.
        setting = kGsmSetting;
        if (!toldTrueSpeech_) {
            toldTrueSpeech_ = true;
            Report(QStringLiteral("TrueSpeech cannot be recorded here; recording GSM 6.10"), 0,
                   QStringLiteral("RecMessage:StartRecordACM"));
        }
    }
    const RecordChoice choice = RecordChoiceFor(setting);
    const qint32 result =
        wave_.StartRecordACM(line_.WaveInDevice(), RecordingPath(), WaveFormats().pcm16,
                             choice.codec, choice.bufferSize);
    if (result != 0) {
        Report(QStringLiteral("The recording could not be started: ") +
                   wave_.WaveInErrText(result) + QStringLiteral(" (") + RecordingPath() +
                   QLatin1Char(')'),
               result, QStringLiteral("RecMessage:StartRecordACM"));
        view_.SetRecordPressed(false);
        return;
    }
    WriteSysLog(wave_.WaveInErrText(0), 0, QStringLiteral("RecMessage:StartRecordACM"));
    unentered_ = true;
    tmrRec_.start();
    view_.ShowRec(true);
    // A running recording always shows Record pressed, so the end of the
    // call enters it even when the user never touched the toolbar.
    view_.SetRecordPressed(true);
}

void RecorderControl::AddCallInfoDat() {
    state_.recordSeconds = 0;
    tmrRec_.stop();
    view_.SetTimeText(kIdleTime);
    if (!unentered_) {
        return;
    }
    unentered_ = false;
    const QString path = RecordingPath();
    const CurrentCall& call = state_.call;
    CallRecord record;
    record.Set(CallField::CallDate, call.CallDate);
    record.Set(CallField::CallerName, call.CallerName);
    record.Set(CallField::CallerNumber, call.CallerNumber);
    record.Set(CallField::CallTime, call.CallTime);
    record.Set(CallField::CallLine, QString::number(line_.LineIndex()));
    record.Set(CallField::ReadFlag, QStringLiteral("0"));
    record.Set(CallField::ExtraText, QString());
    record.Set(CallField::CallKind, QString::number(call.CallKind));
    record.Set(CallField::Duration, wave_.DurationText(path));

    const qint64 free = freeSpace_ ? freeSpace_(options_.recordingsFolder) : -1;
    if (free >= 0 && free < kFullDiskBytes) {
        Report(QStringLiteral("The disk is full: the recording may be cut short (") + path +
                   QLatin1Char(')'),
               0, QStringLiteral("AddCallInfoDat"));
    }
    if (QFileInfo(path).size() <= kWaveHeaderBytes) {
        Report(QStringLiteral("No sound was stored; the call is not entered (") + path +
                   QLatin1Char(')'),
               0, QStringLiteral("AddCallInfoDat"));
        return;
    }
    if (!AppendCallRecord(record, options_.recordingsFolder)) {
        Report(QStringLiteral("The call could not be entered in ") +
                   CallIndexFile(options_.recordingsFolder),
               0, QStringLiteral("AddCallInfoDat"));
        return;
    }
    if (callStored_) {
        callStored_();
    }
}

void RecorderControl::StopRecord() {
    tmrRec_.stop();
    wave_.StopRecord();
}

void RecorderControl::ClosePreScreen() {
    wave_.ClosePreScreen();
    view_.ShowPreScreen(false);
}

void RecorderControl::ReleaseAllButtons() {
    view_.SetRecordPressed(false);
    view_.SetPausePressed(false);
    view_.SetListenPressed(false);
}

void RecorderControl::HideIndicators() {
    view_.ShowRec(false);
    view_.ShowPause(false);
    view_.ShowPreScreen(false);
}

void RecorderControl::Tick() {
    ++state_.recordSeconds;
    view_.SetTimeText(RecordTimeText(state_.recordSeconds));
}

bool RecorderControl::NoCall() {
    if (state_.RecorderMayAct()) {
        return false;
    }
    view_.Inform(QStringLiteral("No call"));
    view_.SetRecordPressed(false);
    view_.SetPausePressed(false);
    view_.SetListenPressed(false);
    return true;
}

void RecorderControl::Resume() {
    wave_.UnPauseIn();
    WriteSysLog(QStringLiteral("UnPause"), 0, QStringLiteral("Wave.UnPauseIn"));
    tmrRec_.start();
    view_.ShowPause(false);
    view_.ShowRec(true);
    view_.SetPausePressed(false);
    view_.SetRecordPressed(true);
}

void RecorderControl::RecordClicked() {
    if (NoCall()) {
        return;
    }
    const bool recorded = state_.recordingIncoming || state_.recordCall;
    if (state_.incomingCall && !recorded) {
        // Ringing: answering starts the recording once the call connects.
        if (view_.Ask(Text(ids::kAskRecordCall))) {
            const qint32 result = line_.LineAnswer();
            WriteSysLog(line_.LineErrText(result), result, QStringLiteral("Tapi.LineAnswer"));
        } else {
            view_.SetRecordPressed(false);
        }
        return;
    }
    if (!recorded) {
        return;
    }
    if (wave_.IsPausedIn()) {
        Resume();
    } else if (!wave_.IsRecording()) {
        StartCallRecording();
    } else {
        view_.SetRecordPressed(true);
    }
}

void RecorderControl::PauseClicked() {
    if (NoCall()) {
        return;
    }
    const bool recorded = state_.recordingIncoming || state_.recordCall;
    if (!line_.CallActive() || !recorded || !wave_.IsRecording()) {
        // Nothing to pause: the button must not claim otherwise.
        view_.SetPausePressed(false);
        return;
    }
    if (wave_.IsPausedIn()) {
        Resume();
        return;
    }
    wave_.PauseIn();
    WriteSysLog(QStringLiteral("Pause"), 0, QStringLiteral("Wave.PauseIn"));
    tmrRec_.stop();
    view_.ShowPause(true);
    view_.ShowRec(false);
    view_.SetPausePressed(true);
    view_.SetRecordPressed(false);
}

void RecorderControl::StopClicked() {
    if (NoCall()) {
        return;
    }
    if (!line_.CallActive() || !wave_.IsRecording()) {
        return;
    }
    view_.SetPausePressed(false);
    view_.SetRecordPressed(false);
    if (wave_.IsPreScreen()) {
        const qint32 result = wave_.ClosePreScreen();
        WriteSysLog(wave_.WaveInErrText(result), result, QStringLiteral("Wave.ClosePreScreen"));
        view_.SetListenPressed(false);
        view_.ShowPreScreen(false);
    }
    if (wave_.IsPausedIn()) {
        wave_.UnPauseIn();
    }
    view_.ShowPause(false);
    view_.ShowRec(false);
    StopRecord();
    AddCallInfoDat();
    view_.SetCallStatus(Text(ids::kStatusConnected));
}

void RecorderControl::ListenClicked() {
    if (NoCall()) {
        return;
    }
    if (!wave_.IsRecording()) {
        view_.SetListenPressed(false);
        return;
    }
    if (!wave_.IsPreScreen()) {
        const qint32 result = wave_.OpenPreScreen(WaveFormats().pcm16, options_.soundDevice);
        WriteSysLog(wave_.WaveInErrText(result), result, QStringLiteral("Wave.OpenPreScreen"));
        view_.ShowPreScreen(true);
        view_.SetListenPressed(true);
    } else {
        const qint32 result = wave_.ClosePreScreen();
        WriteSysLog(wave_.WaveInErrText(result), result, QStringLiteral("Wave.ClosePreScreen"));
        view_.ShowPreScreen(false);
        view_.SetListenPressed(false);
    }
}

void RecorderControl::EndCallClicked() {
    if (NoCall()) {
        return;
    }
    if (endCall_) {
        endCall_();
    }
}

}  // namespace orvane
