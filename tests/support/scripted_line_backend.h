#pragma once
// A line backend that tests script: its devices, the results of open,
// close, answer, drop and dial, whether a call is active, and the events it
// raises. It records every request the control makes of it, so a test can
// check what the program asked for and in which order.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "telephony/line_backend.h"

class QObject;

namespace orvane {

class Tapi;

namespace testing {

class ScriptedLineBackend final : public LineBackend {
  public:
    // A device with this name whose flags are all `capable`.
    static LineDetails Device(const QString& name, bool capable = true);

    // ---- Script ----
    std::vector<LineDetails> devices;
    qint32 openResult = 0;   // non-zero: Open fails with it, the line stays closed
    qint32 closeResult = 0;  // non-zero: Close fails with it, the line stays open
    qint32 answerResult = 0;
    qint32 dropResult = 0;
    qint32 makeCallResult = 0;
    bool callActive = false;
    qint32 waveInDevice = -1;
    QString portHolder;      // who holds the port at a kPortInUse
    bool playResult = true;  // a play starts
    PlayDone playing;        // the play under way

    // ---- What the control asked, oldest first: "Open 2", "Close", "Answer",
    // "Drop", "MakeCall 555-1234" ----
    QStringList requests;
    int deviceCountQueries = 0;
    QStringList TakeRequests();

    // ---- Events, as a modem reports them (the control queues them) ----
    void RaiseIncomingCall() {
        Raise([](LineEventSink& s) { s.OnIncomingCall(); });
    }
    void RaiseRing(qint32 count) {
        Raise([count](LineEventSink& s) { s.OnRing(count); });
    }
    void RaiseCallerId(const QString& name, const QString& number) {
        Raise([&](LineEventSink& s) { s.OnCallerId(name, number); });
    }
    void RaiseConnected() {
        Raise([](LineEventSink& s) { s.OnConnected(); });
    }
    void RaiseDisconnected() {
        Raise([](LineEventSink& s) { s.OnDisconnected(); });
    }
    void RaiseIdle() {
        Raise([](LineEventSink& s) { s.OnIdle(); });
    }
    void RaiseOutgoingProgress() {
        Raise([](LineEventSink& s) { s.OnOutgoingProgress(); });
    }
    // The open line stopped working: it is closed, the call gone, then reported.
    void RaiseLineLost(qint32 code);

    // ---- LineBackend ----
    void SetEventSink(LineEventSink* sink) override { sink_ = sink; }
    qint32 DeviceCount() override;
    LineDetails Details(qint32 index) override;
    qint32 Open(qint32 index) override;
    qint32 Close() override;
    bool IsOpen() const override { return openIndex_ >= 0; }
    qint32 OpenIndex() const override { return openIndex_; }
    QString PortHolder() const override { return portHolder; }
    bool CallActive() const override { return callActive; }
    qint32 Answer() override { return Request(QStringLiteral("Answer"), answerResult); }
    qint32 Drop() override { return Request(QStringLiteral("Drop"), dropResult); }
    qint32 MakeCall(const QString& number) override {
        return Request(QStringLiteral("MakeCall ") + number, makeCallResult);
    }
    qint32 WaveInDevice() const override { return waveInDevice; }
    bool PlayToLine(const QString& path, PlayDone done) override {
        requests << QStringLiteral("PlayToLine ") + path;
        if (playResult) {
            playing = std::move(done);
        }
        return playResult;
    }
    // Ends the play under way as the modem would, with `played`.
    void FinishPlay(bool played) {
        if (PlayDone done = std::exchange(playing, nullptr)) {
            done(played);
        }
    }

  private:
    void Raise(const std::function<void(LineEventSink&)>& event) {
        if (sink_ != nullptr) {
            event(*sink_);
        }
    }
    qint32 Request(const QString& request, qint32 result) {
        requests << request;
        return result;
    }

    LineEventSink* sink_ = nullptr;
    qint32 openIndex_ = -1;
};

// A telephony control over a new scripted backend, which it owns;
// `backend` is pointed at that backend.
std::unique_ptr<Tapi> CreateScriptedTapi(ScriptedLineBackend*& backend, QObject* parent = nullptr);

}  // namespace testing
}  // namespace orvane
