#pragma once
// The recorder toolbar cToolbarRecorder with its indicators (lblRec,
// lblPause, lblPreScreen, lblTimeRec) and the level display Scope, and the
// adapters that let the recording control reach Wave1 and the line.

#include <QLabel>
#include <QString>
#include <functional>

#include "audio/wave.h"
#include "calls/recorder/recorder_control.h"

class QAction;
class QLCDNumber;
class QToolBar;
class QWidget;

namespace orvane {

class CallView;
class Tapi;

// The level display: draws into an image and shows it in one update, so no
// event is handled in the middle of a buffer.
class Scope final : public QLabel {
  public:
    explicit Scope(QWidget* parent);
    void DrawIdleLine();
    void DrawLevels(const uint8_t* bytes, qint32 size);

  private:
    void Show(const std::array<int, kScopePoints>& levels);
};

class RecorderToolbar final : public RecorderView {
  public:
    // The widgets belong to `window`; `calls` asks and informs.
    RecorderToolbar(QWidget* window, CallView& calls);
    // Wires the buttons to the control's handlers.
    void Connect(RecorderControl& control);
    QToolBar* Toolbar() const { return toolbar_; }
    // lblTimeRec's text.
    QString TimeText() const;
    Scope* LevelDisplay() const { return scope_; }
    // Where recording problems go (the main window's status bar).
    void SetProblemSink(std::function<void(const QString&)> sink) { problem_ = std::move(sink); }
    // Where failures go that must not be missed (the status bar and the
    // tray's notification).
    void SetFailureSink(std::function<void(const QString&)> sink) { failure_ = std::move(sink); }
    void SetCallStatusSink(std::function<void(const QString&)> sink) {
        callStatus_ = std::move(sink);
    }

    bool IsRecordPressed() const override;
    bool IsPausePressed() const override;
    bool IsListenPressed() const override;
    void SetRecordPressed(bool pressed) override;
    void SetPausePressed(bool pressed) override;
    void SetListenPressed(bool pressed) override;
    void ShowRec(bool visible) override;
    void ShowPause(bool visible) override;
    void ShowPreScreen(bool visible) override;
    void SetTimeText(const QString& text) override;
    void SetCallStatus(const QString& text) override;
    void ReportProblem(const QString& text) override;
    void ReportFailure(const QString& text) override;
    void Inform(const QString& text) override;
    void Ask(const QString& question, std::function<void(bool yes)> answered) override;
    void CloseQuestion() override;
    void DrawIdleLine() override;

  private:
    CallView& calls_;
    QToolBar* toolbar_;
    QAction* record_;
    QAction* pause_;
    QAction* stop_;
    QAction* listen_;
    QAction* endCall_;
    QLabel* lblRec_;
    QLabel* lblPause_;
    QLabel* lblPreScreen_;
    QLCDNumber* lblTimeRec_;
    Scope* scope_;
    QString timeText_ = QStringLiteral("0:00:00");
    std::function<void(const QString&)> problem_;
    std::function<void(const QString&)> failure_;
    std::function<void(const QString&)> callStatus_;
};

// Wave1 through the program, which may have released it (shutdown).
class Wave1Adapter final : public RecorderWave {
  public:
    explicit Wave1Adapter(std::function<sonvel::Wave*()> wave) : wave_(std::move(wave)) {}
    qint32 StartRecordACM(qint32 device, const QString& path, const sonvel::WaveFormat& input,
                          const sonvel::WaveFormat& codec, qint32 bufferSize) override;
    void StopRecord() override;
    void PauseIn() override;
    void UnPauseIn() override;
    bool IsPausedIn() const override;
    bool IsRecording() const override;
    bool IsPreScreen() const override;
    qint32 OpenPreScreen(const sonvel::WaveFormat& format, qint32 device) override;
    qint32 ClosePreScreen() override;
    QString WaveInErrText(qint32 code) const override;
    QString DurationText(const QString& path) override;

  private:
    std::function<sonvel::Wave*()> wave_;
};

// Tapi1; without one there is never a call.
class TapiLineAdapter final : public RecorderLine {
  public:
    explicit TapiLineAdapter(Tapi* tapi) : tapi_(tapi) {}
    bool CallActive() const override;
    qint32 WaveInDevice() const override;
    qint32 LineAnswer() override;
    QString LineErrText(qint32 code) const override;
    qint32 LineIndex() const override;

  private:
    Tapi* tapi_;
};

// Wave1's events for the recorder: the end of a recording and the level.
class Wave1Events final : public sonvel::WaveEvents {
  public:
    Wave1Events(RecorderControl& control, Scope& scope) : control_(control), scope_(scope) {}
    void DoneRecord() override { control_.DoneRecord(); }
    void InBuffer(const uint8_t* bytes, int32_t size) override { scope_.DrawLevels(bytes, size); }
    void Err(const std::string& function, int32_t number, const std::string& description) override {
        control_.WaveError(QString::fromStdString(function), number,
                           QString::fromStdString(description));
    }

  private:
    RecorderControl& control_;
    Scope& scope_;
};

}  // namespace orvane
