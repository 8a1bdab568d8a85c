#pragma once
// What the telephony control needs of the line devices underneath it. The
// product's backend drives voice modems on serial ports; tests give the
// control a scripted backend with the same shape.

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

namespace orvane {

// What the program reads about a line device.
struct LineDetails {
    QString deviceName;            // what a user recognises: identification and port
    bool voiceCapability = false;  // the modem lists voice class 8
    bool audioCapability = false;  // it offers a sample format we record from
    bool tapiCapability = false;   // it answered as a modem the driver can drive
    bool monitorDigits = false;    // it reports DTMF digits
    bool generateDigits = false;   // it sends DTMF digits
    QString port;                  // the device path, e.g. /dev/ttyACM0
    // Names a choice stored earlier may hold for this device: the name it
    // had before by-id names ("USB Modem (ttyACM0)") and its device node.
    QStringList formerNames;
    // A built-in serial port, not asked what it is until the user picks it:
    // never opened unless it is the user's choice.
    bool askedOnlyWhenPicked = false;
};

// Result codes of the control. 0 is success; the rest are ours, each with
// a text from LineErrorText.
namespace line_error {
inline constexpr qint32 kNone = 0;
inline constexpr qint32 kNotInitialized = 1;  // LineInitialize was not called
inline constexpr qint32 kBadDeviceIndex = 2;  // no line device with that number
inline constexpr qint32 kAlreadyOpen = 3;
inline constexpr qint32 kNotOpen = 4;
inline constexpr qint32 kPortInUse = 5;         // another program holds the port
inline constexpr qint32 kPermissionDenied = 6;  // the user may not open the port
inline constexpr qint32 kPortFailed = 7;        // the port could not be opened or set up
inline constexpr qint32 kNoAnswer = 8;          // the modem did not answer in time
inline constexpr qint32 kCommandRefused = 9;    // the modem answered ERROR
inline constexpr qint32 kNotVoiceModem = 10;    // no voice class
inline constexpr qint32 kNoCall = 11;           // no call on the line
inline constexpr qint32 kCallInProgress = 12;   // a call already exists
inline constexpr qint32 kDeviceLost = 13;       // the device went away (unplugged)
inline constexpr qint32 kBadNumber = 14;        // nothing dialable in the number
inline constexpr qint32 kBusy = 15;             // the called line is busy
inline constexpr qint32 kNoDialTone = 16;
inline constexpr qint32 kNoAnswerFromCallee = 17;
inline constexpr qint32 kNoVoiceFormat = 18;  // no sample format we can record
inline constexpr qint32 kAudioDevice = 19;    // the audio engine refused the voice channel
inline constexpr qint32 kNoSuchPort = 20;     // the device's port does not exist
inline constexpr qint32 kNoModem = 21;        // nothing listed that may be asked
inline constexpr qint32 kLast = kNoModem;
}  // namespace line_error

// The text for a result code; every code has one, 0 and unknown codes too.
QString LineErrorText(qint32 code);

// Where a backend reports what happens on the line. Calls come on the
// thread that owns the backend (the GUI thread), never from inside a call
// of the backend's own interface below.
class LineEventSink {
  public:
    virtual ~LineEventSink() = default;
    virtual void OnIncomingCall() = 0;
    virtual void OnRing(qint32 count) = 0;
    virtual void OnCallerId(const QString& name, const QString& number) = 0;
    virtual void OnConnected() = 0;
    virtual void OnDisconnected() = 0;
    virtual void OnIdle() = 0;
    virtual void OnOutgoingProgress() = 0;
    // The open line stopped working (device gone, port error); it is closed.
    virtual void OnLineLost(qint32 code) = 0;
    // A dial-out ended before it connected (kBusy, kNoAnswerFromCallee,
    // kNoDialTone); the call's Disconnected and Idle follow.
    virtual void OnDialFailed(qint32 code) { static_cast<void>(code); }
};

// The characters of `number` a modem dials (digits, *, #, +, "," and the
// dial modifiers W, P, T), upper case, at most 40; blanks, dashes and
// brackets are formatting and dropped. Empty when no digit is left.
QString DialableNumber(const QString& number);

class LineBackend {
  public:
    virtual ~LineBackend() = default;

    virtual void SetEventSink(LineEventSink* sink) = 0;

    // Called once by LineInitialize: a backend may start looking for its
    // devices here, so that the first DeviceCount finds the work done.
    virtual void Initialize() {}

    // Looks for line devices again; the count of those found.
    virtual qint32 DeviceCount() = 0;
    virtual LineDetails Details(qint32 index) = 0;

    virtual qint32 Open(qint32 index) = 0;
    // Opens without making the caller wait; `done` gets Open's result, on
    // the backend's thread, possibly before this returns. A backend whose
    // Open is quick opens at once.
    virtual void OpenInBackground(qint32 index, std::function<void(qint32)> done) {
        done(Open(index));
    }
    // True from OpenInBackground until its `done`; Close gives it up.
    virtual bool Opening() const { return false; }
    // Runs `then` once the devices found at Initialize have been asked what
    // they are (or a time limit passed), so that DeviceCount need not wait.
    virtual void WhenDevicesListed(std::function<void()> then) { then(); }
    virtual qint32 Close() = 0;
    virtual bool IsOpen() const = 0;
    // The index of the open line, or -1.
    virtual qint32 OpenIndex() const = 0;
    // Who held the port when the last open gave kPortInUse ("minicom (PID
    // 1234)"), or empty when nobody was found.
    virtual QString PortHolder() const { return {}; }

    virtual bool CallActive() const = 0;
    virtual qint32 Answer() = 0;
    virtual qint32 Drop() = 0;
    virtual qint32 MakeCall(const QString& number) = 0;

    // The audio engine's wave-in device number that carries the call's
    // sound, or -1 when there is none.
    virtual qint32 WaveInDevice() const = 0;

    // Starts playing a sound file to the other party of the connected call
    // and returns at once; a recording of the call goes on. False when
    // nothing is played: no connected call, a play already running, a file
    // that is no sound, or a line that cannot send sound (this default).
    // Otherwise `done` is called once, from the event loop and never inside
    // this call: true when the modem played it all, false when it gave up
    // or the call ended or the line closed first.
    using PlayDone = std::function<void(bool played)>;
    virtual bool PlayToLine(const QString& path, PlayDone done) {
        static_cast<void>(path);
        static_cast<void>(done);
        return false;
    }
};

}  // namespace orvane
