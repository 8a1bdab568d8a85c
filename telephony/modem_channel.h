#pragma once
// The byte channel to one voice modem: the serial port, the split of what
// the modem sends into lines, events and sound, and commands that wait for
// their result code. The port is read on a thread of its own (SerialLink);
// a command waits for what that thread read (no event loop runs), with a
// time limit for every command, so a modem that stops answering costs at
// most that limit.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/modem/modem_stream.h"
#include "telephony/serial_link.h"

namespace orvane {

// What the channel hands up besides command results.
class ModemChannelListener {
  public:
    virtual ~ModemChannelListener() = default;
    // A line that is not the reply to a command (RING, caller ID, a late
    // result code such as the answer to a dial).
    virtual void OnModemLine(std::string_view line) = 0;
    virtual void OnModemEvent(char code) = 0;
    virtual void OnVoiceData(std::span<const uint8_t> bytes) = 0;
    virtual void OnVoiceEnd() = 0;
    // The port failed (the device went away). The channel is closed.
    virtual void OnChannelLost(qint32 code) = 0;
    // Called once the bytes of one read have been handed over, outside any
    // command wait: the place to act on what they said.
    virtual void OnModemInputDone() = 0;
};

enum class ModemResult {
    Ok,
    Error,
    Connect,
    VoiceConnect,
    Busy,
    NoAnswer,
    NoDialTone,
    NoCarrier,
    Timeout,
    Closed
};

// The result a final line stands for, or nothing for other lines.
std::optional<ModemResult> FinalResultOf(std::string_view line);

struct ModemReply {
    ModemResult result = ModemResult::Timeout;
    std::vector<std::string> lines;  // the information lines before the result
    bool ok() const { return result == ModemResult::Ok; }
};

// An open port on its way from the channel that set the modem up (on a
// worker thread) to the channel that keeps the line (on the GUI thread).
struct ModemPortHandover {
    std::unique_ptr<SerialLink> link;
    modem::ModemStream stream;  // a line half read stays half read
    bool endResultDue = false;
};

class ModemChannel : public QObject, private modem::ModemStreamSink {
    Q_OBJECT
  public:
    explicit ModemChannel(ModemChannelListener* listener, QObject* parent = nullptr);
    ~ModemChannel() override;

    // Opens `path` at 115200 8N1, raw, held exclusively (a UUCP lock file
    // and TIOCEXCL), with stale input discarded. A line error code.
    qint32 Open(const QString& path);
    // Who held the port when Open gave kPortInUse, or empty.
    QString Holder() const { return holder_; }
    void Close();
    bool IsOpen() const;

    // Gives the open port to another channel; this one is closed after,
    // without the port being closed.
    ModemPortHandover HandOver();
    // Takes a port another channel handed over.
    void TakeOver(ModemPortHandover handover);

    // Sends `command` and a CR and waits up to `timeoutMs` for its final
    // result code. The modem's echo of the command is dropped. A result the
    // modem still owes (a receive it ended itself) is waited for first.
    ModemReply Command(const std::string& command, int timeoutMs);
    // Sends bytes as they are, without waiting.
    bool Send(std::span<const uint8_t> bytes);
    // Sends a command line without waiting for its result; the result comes
    // to the listener as a line.
    bool SendLine(const std::string& command);

    // The next CONNECT starts a voice receive.
    void ArmVoiceReceive() { stream_.ArmVoiceReceive(); }
    bool InVoiceReceive() const { return stream_.InVoiceReceive(); }
    // After asking the modem to end a receive: waits for <DLE><ETX> and
    // then the final result, handing the sound before it to the listener.
    ModemReply FinishVoiceReceive(int timeoutMs);
    // In a voice transmit (after CONNECT, the sound written with Send):
    // ends the stream with <DLE><ETX> when `endStream`, and waits up to
    // `timeoutMs` for the result the modem gives once it has played what
    // it holds.
    ModemReply EndTransmit(bool endStream, int timeoutMs);

    // Reads and drops whatever the modem sends for `quietMs` (stale output
    // after waking a modem from an unknown state).
    void Discard(int quietMs);
    // Hangs up the hard way: DTR low for `lowMs` (a modem set up with &D2
    // or &D3 goes on-hook), then high again. What the modem sends meanwhile
    // is dropped. False when the port has no DTR line (a pseudo-terminal).
    bool DropDtr(int lowMs);

    // True while a command waits; the listener must not start another.
    bool Waiting() const { return waiting_; }

  private:
    void OnLine(std::string_view line) override;
    void OnEvent(char code) override;
    void OnAudio(std::span<const uint8_t> bytes) override;
    void OnVoiceEnd() override;

    void ConnectPort();
    void ReadAvailable();
    // Waits for the final result of what was sent; `echo` (upper case) is
    // the command line whose echo is dropped, empty for none.
    ModemReply AwaitReply(std::string echo, int timeoutMs);
    bool WaitUntil(int timeoutMs, const std::function<bool()>& done);
    void Lost();

    ModemChannelListener* listener_;
    // Read on a thread of its own, so a busy window loses no sound.
    std::unique_ptr<SerialLink> link_;
    QString holder_;
    modem::ModemStream stream_;
    bool waiting_ = false;
    bool expectReply_ = false;
    std::string pendingCommand_;
    ModemReply reply_;
    bool replyDone_ = false;
    // The modem ended a voice receive itself and its final result is still
    // to come: no command goes out before it, or every reply is one behind.
    bool endResultDue_ = false;
    bool discarding_ = false;
    int readDepth_ = 0;
};

}  // namespace orvane
