#include "calls/recorder/recorder_control.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "calls/call_state.h"
#include "calls/recorder/recording_sidecar.h"
#include "calls/recorder/wave_repair.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "core/posix_file.h"
#include "core/record_formats.h"
#include "core/stored_moment.h"
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
// Calls of one caller starting in the same second: the next free second is
// looked for this far (an hour), then the call is not recorded.
constexpr int kNameAttempts = 3600;

qint64 FreeBytes(const QString& folder) {
    const QStorageInfo storage(folder.isEmpty() ? QStringLiteral(".") : folder);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

// The translated text with its markers filled, or the English one when no
// language file gave it.
QString Filled(int id, const char* english, const QStringList& values) {
    QString text = Text(id);
    if (text.isEmpty()) {
        text = QString::fromUtf8(english);
    }
    for (const QString& value : values) {
        text = ReplaceMarker(text, value);
    }
    return text;
}

QString CallNotEnteredText(const QString& reason, const QString& path) {
    return Filled(ids::kMsgCallNotEntered,
                  "The call could not be entered in the calls list (<%S>). Its recording is kept "
                  "and is entered at the next start: <%S>",
                  {reason, path});
}

// The record of the current call as it will be appended, its length not
// yet known.
CallRecord RecordOf(const CurrentCall& call, const QDateTime& moment, const QString& date,
                    const QString& time, qint32 line) {
    CallRecord record;
    record.Set(CallField::CallDate, date);
    record.Set(CallField::CallerName, call.CallerName);
    record.Set(CallField::CallerNumber, call.CallerNumber);
    record.Set(CallField::CallTime, time);
    record.Set(CallField::CallLine, QString::number(line));
    record.Set(CallField::ReadFlag, QStringLiteral("0"));
    // The moment once more in a form no locale changes: the list sorts and
    // shows by it, and readers that know only the locale's texts still
    // find them where they were.
    record.Set(CallField::ExtraText, IsoMomentText(moment));
    record.Set(CallField::CallKind, QString::number(call.CallKind));
    return record;
}

// Removes a recording's file when it is a regular file holding no sound,
// so a failed or empty recording leaves nothing behind.
void RemoveSoundless(const QString& path) {
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
        info.st_size <= kWaveHeaderBytes) {
        ::unlink(name.constData());
    }
}

QString InFolder(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
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
    return pendingFolder_ + pendingName_;
}

QString RecorderControl::SidecarPath() const {
    return pendingFolder_ + SidecarName(pendingName_);
}

void RecorderControl::Report(const QString& text, qint32 code, const QString& origin) {
    WriteSysLog(text, code, origin);
    view_.ReportProblem(text);
    problemShown_ = true;
}

void RecorderControl::ReportFailure(const QString& text, qint32 code, const QString& origin) {
    WriteSysLog(text, code, origin);
    view_.ReportFailure(text);
    problemShown_ = true;
}

void RecorderControl::CannotRecord(const QString& reason, const QString& path) {
    ReportFailure(
        Filled(ids::kMsgCannotRecord, "The call cannot be recorded: <%S> (<%S>)", {reason, path}),
        0, QStringLiteral("RecMessage:StartRecordACM"));
    view_.SetRecordPressed(false);
}

void RecorderControl::WaveError(const QString& function, qint32 number,
                                const QString& description) {
    // Only a file that could not be created: StartRecordACM still returns
    // 0 then. Its other failures come back as its result, and the
    // per-buffer ones would repeat for every buffer.
    if (!function.endsWith(QStringLiteral(":OpenFileIn"))) {
        return;
    }
    Report(Filled(ids::kMsgRecordingFailed, "The recording failed: <%S> (<%S>)",
                  {description, RecordingPath()}),
           number, QStringLiteral("Wave1:") + function);
}

void RecorderControl::StartCallRecording() {
    if (options_.recordingsFolder.isEmpty()) {
        // The store takes no call without a folder, and the current folder
        // is nobody's recordings folder.
        view_.ReportProblem(Filled(ids::kMsgNoRecordingsFolder,
                                   "No recordings folder is set: the call is not recorded", {}));
        view_.SetRecordPressed(false);
        return;
    }
    if (problemShown_) {
        // The last call's problem is old news once the next one records.
        view_.ReportProblem(QString());
        problemShown_ = false;
    }
    const QString& folder = options_.recordingsFolder;
    if (freeSpace_ && freeSpace_(folder) == 0) {
        // The audio control would start, write nothing and leave an empty
        // file without a word.
        CannotRecord(SystemErrorText(ENOSPC), folder);
        return;
    }
    // The name is built from the values as they will be stored (cut to
    // their fields), so the calls list rebuilds the same name; a second
    // taken by another recording moves this call on to the next free one.
    QDateTime moment = clock_.now();
    QString date;
    QString time;
    QString name;
    CallRecord record;
    for (int attempt = 0;; ++attempt) {
        date = ShortDateText(moment.date(), QLocale());
        time = LongTimeText(moment.time(), QLocale());
        record = RecordOf(state_.call, moment, date, time, line_.LineIndex());
        name = CallFileName(record);
        if (!NameTaken(folder + name) && !NameTaken(folder + SidecarName(name))) {
            break;
        }
        if (attempt == kNameAttempts) {
            CannotRecord(SystemErrorText(EEXIST), folder + name);
            return;
        }
        moment = moment.addSecs(1);
    }
    state_.call.CallDate = date;
    state_.call.CallTime = time;
    state_.call.CallFileName = name;
    // A change of the settings during the call leaves this recording where it is.
    pendingFolder_ = folder;
    pendingName_ = name;
    // The record goes beside the recording before a byte of sound, so a
    // crash or a power cut still leaves what the next start enters.
    QString error;
    if (!WriteSidecar(SidecarPath(), record, &error)) {
        CannotRecord(error, RecordingPath());
        return;
    }
    int setting = options_.recordFormat;
    if (setting == kTrueSpeechSetting) {
        // No TrueSpeech encoder here: GSM 6.10 is the nearest in size.
        setting = kGsmSetting;
        if (!toldTrueSpeech_) {
            toldTrueSpeech_ = true;
            Report(Filled(ids::kMsgTrueSpeechAsGsm,
                          "TrueSpeech cannot be recorded here; recording GSM 6.10", {}),
                   0, QStringLiteral("RecMessage:StartRecordACM"));
        }
    }
    const RecordChoice choice = RecordChoiceFor(setting);
    const qint32 result =
        wave_.StartRecordACM(line_.WaveInDevice(), RecordingPath(), WaveFormats().pcm16,
                             choice.codec, choice.bufferSize);
    if (result != 0) {
        Report(
            Filled(ids::kMsgRecordingNotStarted, "The recording could not be started: <%S> (<%S>)",
                   {wave_.WaveInErrText(result), RecordingPath()}),
            result, QStringLiteral("RecMessage:StartRecordACM"));
        RemoveSoundless(RecordingPath());
        RemoveSidecar(SidecarPath());
        view_.SetRecordPressed(false);
        return;
    }
    WriteSysLog(wave_.WaveInErrText(0), 0, QStringLiteral("RecMessage:StartRecordACM"));
    unentered_ = true;
    pending_ = record;
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
    CallRecord record = pending_;
    record.Set(CallField::Duration, wave_.DurationText(path));

    const qint64 free = freeSpace_ ? freeSpace_(pendingFolder_) : -1;
    if (free >= 0 && free < kFullDiskBytes) {
        Report(Filled(ids::kMsgDiskFullRecording,
                      "The disk is full: the recording may be cut short (<%S>)", {path}),
               0, QStringLiteral("AddCallInfoDat"));
    }
    if (QFileInfo(path).size() <= kWaveHeaderBytes) {
        Report(Filled(ids::kMsgNoSoundStored, "No sound was stored; the call is not entered (<%S>)",
                      {path}),
               0, QStringLiteral("AddCallInfoDat"));
        RemoveSoundless(path);
        RemoveSidecar(SidecarPath());
        return;
    }
    if (!store_->Append(record, pendingFolder_)) {
        // The sidecar stays: the next start enters the call.
        const int code = errno;
        ReportFailure(CallNotEnteredText(SystemErrorText(code), path), code,
                      QStringLiteral("AddCallInfoDat"));
        return;
    }
    RemoveSidecar(SidecarPath());
    if (callStored_) {
        callStored_();
    }
}

void RecorderControl::DiscardRecording() {
    StopRecord();
    state_.recordSeconds = 0;
    view_.SetTimeText(kIdleTime);
    if (!unentered_) {
        return;
    }
    unentered_ = false;
    // Only the regular file this recording made goes; a link found at its
    // name is left alone.
    const QString path = RecordingPath();
    struct stat info {};
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &info) == 0 && S_ISREG(info.st_mode)) {
        ::unlink(name.constData());
    }
    RemoveSidecar(SidecarPath());
    WriteSysLog(QStringLiteral("Recording discarded: ") + path, 0,
                QStringLiteral("DiscardRecording"));
}

void RecorderControl::FinishRecording() {
    if (!unentered_) {
        return;
    }
    if (wave_.IsPreScreen()) {
        ClosePreScreen();
    }
    if (wave_.IsPausedIn()) {
        wave_.UnPauseIn();
    }
    HideIndicators();
    StopRecord();
    AddCallInfoDat();
}

void RecorderControl::EnterInterruptedCalls() {
    const QString& folder = options_.recordingsFolder;
    const QStringList sidecars = SidecarNames(folder);
    if (sidecars.isEmpty()) {
        return;
    }
    // A crash between an append and the sidecar's removal left a call that
    // is entered already: its name is in the index.
    QSet<QString> entered;
    ForEachCallRecord(folder, [&entered](const CallRecord& record) {
        entered.insert(CallFileName(record));
        entered.insert(LegacyCallFileName(record));  // made before names were cleaned
    });
    bool stored = false;
    for (const QString& sidecar : sidecars) {
        const QString wave = WaveNameOfSidecar(sidecar);
        if (entered.contains(wave)) {
            RemoveSidecar(InFolder(folder, sidecar));
            continue;
        }
        if (EnterInterruptedCall(sidecar)) {
            entered.insert(wave);
            stored = true;
        }
    }
    if (stored && callStored_) {
        callStored_();
    }
}

bool RecorderControl::EnterInterruptedCall(const QString& sidecarName) {
    const QString& folder = options_.recordingsFolder;
    const QString sidecar = InFolder(folder, sidecarName);
    const QString wave = WaveNameOfSidecar(sidecarName);
    const QString path = InFolder(folder, wave);
    const QString origin = QStringLiteral("EnterInterruptedCalls");
    CallRecord record;
    const SidecarState state = ReadSidecar(sidecar, &record);
    // The record must name this very file: a sidecar never leads elsewhere.
    if (state != SidecarState::kRead || !NamesCall(record, wave)) {
        if (state != SidecarState::kMissing) {
            Report(Filled(ids::kMsgSidecarUnusable,
                          "An interrupted recording's sidecar file cannot be used and is left "
                          "as it is: <%S>",
                          {sidecar}),
                   0, origin);
        }
        return false;
    }
    if (!NameTaken(path)) {
        // Cut off before its file was made: there is nothing to enter.
        WriteSysLog(QStringLiteral("An interrupted recording left no file: ") + path, 0, origin);
        RemoveSidecar(sidecar);
        return false;
    }
    const WaveRepair repair = RepairWaveHeader(path);
    switch (repair.result) {
        case WaveRepairResult::kWhole:
        case WaveRepairResult::kRepaired:
            break;
        case WaveRepairResult::kNoSound:
            WriteSysLog(
                QStringLiteral("An interrupted recording holds no sound and is removed: ") + path,
                0, origin);
            RemoveSoundless(path);
            RemoveSidecar(sidecar);
            return false;
        case WaveRepairResult::kNotAWave:
        case WaveRepairResult::kFailed:
            Report(Filled(ids::kMsgSidecarUnusable,
                          "An interrupted recording's sidecar file cannot be used and is left "
                          "as it is: <%S>",
                          {sidecar}) +
                       QStringLiteral(" (") + path + QLatin1Char(')'),
                   0, origin);
            return false;
    }
    QString length = wave_.DurationText(path);
    if (length.isEmpty()) {
        length = RecordTimeText(static_cast<qint32>(repair.dataBytes / repair.bytesPerSecond));
    }
    record.Set(CallField::Duration, length);
    if (!store_->Append(record, folder)) {
        const int code = errno;
        ReportFailure(CallNotEnteredText(SystemErrorText(code), path), code, origin);
        return false;
    }
    RemoveSidecar(sidecar);
    const QString text = Filled(ids::kMsgInterruptedCallEntered,
                                "An interrupted call was entered in the calls list: <%S>", {path});
    Report(text + QStringLiteral(" (") + length + QLatin1Char(')'), 0, origin);
    return true;
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
    // Every call ends here: a question asked during it is no longer the user's.
    ++endedCalls_;
    askedAbout_.reset();
    view_.CloseQuestion();
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
    view_.Inform(Filled(ids::kMsgNoCall, "No call", {}));
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
        // One question per call; a second click leaves the button as the
        // open question stands.
        if (askedAbout_ == endedCalls_) {
            view_.SetRecordPressed(true);
            return;
        }
        const quint64 call = endedCalls_;
        askedAbout_ = call;
        view_.Ask(Text(ids::kAskRecordCall),
                  [this, alive = std::weak_ptr<int>(alive_), call](bool yes) {
                      if (!alive.expired()) {
                          RecordQuestionAnswered(call, yes);
                      }
                  });
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

void RecorderControl::RecordQuestionAnswered(quint64 call, bool yes) {
    // The call asked about may have ended (and another rung) while the user
    // thought: an answer about it must not pick up a different call.
    if (call != endedCalls_) {
        return;
    }
    askedAbout_.reset();
    const bool recorded = state_.recordingIncoming || state_.recordCall;
    if (yes && state_.incomingCall && !recorded) {
        const qint32 result = line_.LineAnswer();
        WriteSysLog(line_.LineErrText(result), result, QStringLiteral("Tapi.LineAnswer"));
    } else {
        view_.SetRecordPressed(false);
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
