#pragma once
// The telephony control the main window hosts as Tapi1: one line device at a
// time, its calls, and the events of those calls. Every event arrives on the
// GUI thread, one queued call at a time, so a handler never runs inside the
// backend's own processing.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "telephony/line_backend.h"

namespace orvane {

class Tapi : public QObject, private LineEventSink {
    Q_OBJECT
  public:
    explicit Tapi(std::unique_ptr<LineBackend> backend, QObject* parent = nullptr);
    ~Tapi() override;

    // The control with the voice-modem backend the program uses.
    static std::unique_ptr<Tapi> CreateForModems(QObject* parent = nullptr);

    // Prepares the telephony service; once, at the main window's load.
    void LineInitialize();

    qint32 LineCount();
    qint32 LineIndex() const;
    void SetLineIndex(qint32 index);
    // Fills `details` for the device LineIndex selects; empty when there is
    // no such device.
    void GetLineDetails(LineDetails& details);

    // Opens the selected device for monitoring and calls. The two values
    // (privileges and media modes; the program passes 6 and 6) are accepted
    // as given: the line is always opened as owner for voice.
    qint32 LineOpen(qint32 privileges, qint32 mediaModes);
    // As LineOpen, without making the caller wait for the modem: `done`
    // gets the result on the GUI thread (at once for what is known at once).
    void LineOpenInBackground(qint32 privileges, qint32 mediaModes,
                              std::function<void(qint32)> done);
    // True while LineOpenInBackground waits for the modem.
    bool LineOpening() const;
    // Runs `then` once the devices have been asked what they are, so that
    // LineCount is quick (at once when they have been).
    void WhenLinesListed(std::function<void()> then);
    // Also gives up an open in the background.
    qint32 LineClose();
    // Ends the service; a later LineOpen works without a new LineInitialize.
    qint32 LineShutdown();
    QString LineErrText(const qint32& code) const;
    // Who held the port when the last open gave kPortInUse, or empty.
    QString LinePortHolder() const;

    bool LineOpened() const;
    bool CallActive() const;
    qint32 LineAnswer();
    qint32 LineDrop();
    qint32 LineMakeCall(QString& number);
    // 1 asks for the wave-in device of the call; anything else gives -1.
    qint32 GetWaveID(qint32 direction) const;
    // Starts playing a WAV file to the other party of the connected call
    // (an announcement, a message before hanging up). False when it cannot
    // start; otherwise `done` tells later whether it was played whole (see
    // LineBackend::PlayToLine). The program goes on meanwhile.
    bool PlayToLine(const QString& path, LineBackend::PlayDone done);

  Q_SIGNALS:
    void InComeCall();
    void Ring(qint32 count);
    void CallerID(const QString& name, const QString& number);
    void Connected();
    void Disconnected();
    void Idle();
    void OutgoingProgress();
    // Not an event of a call: the open line stopped working and was closed
    // (the modem was unplugged). `code` is a result code.
    void LineLost(qint32 code);
    // A dial-out ended unconnected (busy, no answer, no dial tone); `code`
    // is a result code. Disconnected and Idle follow.
    void DialFailed(qint32 code);

  private:
    void OnIncomingCall() override;
    void OnRing(qint32 count) override;
    void OnCallerId(const QString& name, const QString& number) override;
    void OnConnected() override;
    void OnDisconnected() override;
    void OnIdle() override;
    void OnOutgoingProgress() override;
    void OnLineLost(qint32 code) override;
    void OnDialFailed(qint32 code) override;

    void Post(std::function<void()> emitEvent);

    std::unique_ptr<LineBackend> backend_;
    bool initialized_ = false;
    qint32 lineIndex_ = 0;
};

}  // namespace orvane
