#pragma once
// The emulated modem's command side: takes the bytes the client writes,
// echoes them, runs AT command lines and answers with result codes, the way
// a Hayes voice modem does on the wire. It holds the modem's settings
// (echo, service class, caller ID, sample format, line selection) and tells
// its host when the modem goes off-hook, starts a voice receive or dials;
// the host owns the telephone line and the sound.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/modem/dialect.h"
#include "telephony/modem/dle_codec.h"
#include "telephony/modem/voice_format.h"

namespace orvane::modemsim {

using modem::Dialect;
using modem::SampleEncoding;

enum class ResultCode { Ok, Connect, Ring, NoCarrier, Error, NoDialtone, Busy, NoAnswer, Vcon };

// "OK", "NO CARRIER", ...
std::string_view ResultText(ResultCode code);

enum class DialOutcome { Answered, Busy, NoAnswer, NoDialtone };

// A modem people own, with the quirks of its firmware on top of its dialect.
enum class ModemModel {
    Generic,
    // Conexant CX93001/CX93010 USB sticks: ATI0 "56000", +VSM codes 1, 129,
    // 130, 140, 141, the caller-ID standard set with AT!4886=, the
    // extension reported as line voltage (<DLE>P / <DLE>p).
    Conexant,
    // U.S. Robotics 5637: ATI0 "5601", +VSM=128,8000 with the rate given,
    // a receive ended by <DLE>! (some units only after more than one).
    Usr5637,
};

// What the modem needs from its surroundings.
class ModemHost {
  public:
    virtual ~ModemHost() = default;
    // Bytes for the client, in order: replies, and the voice stream's end.
    virtual void Send(std::string_view bytes) = 0;
    // The echo of what the client typed (sent in order with Send).
    virtual void Echo(std::string_view bytes) { Send(bytes); }
    // A complete command line as received (without its CR), also lines the
    // modem ignores.
    virtual void CommandLineReceived(std::string_view line) = 0;
    virtual void HookChanged(bool offHook) = 0;
    // "CONNECT" is out; from now on the host streams the sound.
    virtual void ReceiveStarted() = 0;
    // The client asked to end the receive: the host sends what it still has
    // of the stream now; the modem then sends <DLE><ETX> and the result.
    virtual void ReceiveAborted() = 0;
    // A voice transmit (+VTX) started or ended; `bytes` of sound arrived.
    virtual void TransmitStarted() = 0;
    virtual void TransmitEnded(std::size_t bytes) = 0;
    // In a transmit, a DLE came before `code`, which no host sends; the pair
    // is dropped.
    virtual void TransmitFault(uint8_t code) { static_cast<void>(code); }
    // Whether `bytes` more of unshielded sound fit in the transmit buffer;
    // what does not fit is lost.
    virtual bool TransmitRoom(std::size_t bytes) {
        static_cast<void>(bytes);
        return true;
    }
    // What a finished transmit played to the line, unshielded, in the
    // sample format set when it ended (before TransmitEnded).
    virtual void TransmitPlayed(std::span<const uint8_t> sound, SampleEncoding encoding) {
        static_cast<void>(sound);
        static_cast<void>(encoding);
    }
    // The client dialled; the host answers later with FinishDial().
    virtual void DialRequested(std::string_view number) = 0;
    // The client typed while the modem still owed it a result.
    virtual void InputWhileResultDue(std::string_view bytes) { static_cast<void>(bytes); }
};

struct InterpreterOptions {
    Dialect dialect = Dialect::V253;
    bool echo = true;  // E1 after power-on and reset
    // Firmware of the "#" families that ends a receive only on <DLE>!
    // (never on a bare "!"), and that has only Rockwell's 2- to 4-bit ADPCM
    // (#VBS=8 refused).
    bool dleAbortOnly = false;
    bool adpcmOnly = false;
    // A hung firmware: nothing the client sends ends a receive.
    bool ignoreAbort = false;
    // Extended commands (names without "+" or "#", upper case) this
    // firmware lacks: each gives ERROR, and so does a line holding one.
    std::vector<std::string> refused{};
    ModemModel model = ModemModel::Generic;
    // The receive ends only after the client sent its end this many times
    // (U.S. Robotics 5637 units that miss the first).
    int abortRepeats = 1;
    // Conexant: no caller ID until the client chose a caller-ID standard
    // with AT!4886= (firmware for a region whose standard is not the line's).
    bool callerIdNeedsStandard = false;
};

// The state a modem keeps between commands.
struct ModemSettings {
    bool echo = true;
    bool verbose = true;
    bool quiet = false;
    std::string serviceClass = "0";  // +FCLASS / #CLS
    int callerId = 0;                // 0 off, 1 formatted, 2 hex packet
    int formatCode = 1;              // +VSM / #VSM code
    SampleEncoding encoding = SampleEncoding::Unsigned8;
    int lineLabel = 0;                        // +VLS / #VLS
    int bitsPerSample = 8;                    // #VBS
    std::string inactivityTimer = "0";        // +VIT
    std::string silenceDetection = "128,50";  // +VSD
    std::string flowControl = "2,2";          // +IFC
    std::string eventMask = "F8FFFFFF";       // +VEM
    std::string transmitGain = "128";         // +VGT
    std::string receiveGain = "128";          // +VGR
    std::array<int, 256> registers{};         // S registers
    int callerIdStandard = -1;                // Conexant AT!4886=; -1: not chosen
};

class AtInterpreter {
  public:
    enum class State {
        Command,   // echo and AT lines
        Receive,   // voice receive: sound to the client, watch for the abort
        Transmit,  // voice transmit: shielded sound from the client
        Dialing,   // waiting for FinishDial; input is held
        Ending,    // a receive it ended itself, its result still to come; input is held
    };

    AtInterpreter(const InterpreterOptions& options, ModemHost& host);

    // Bytes from the client.
    void Feed(std::span<const uint8_t> bytes);
    void Feed(std::string_view bytes);

    // Settings as after power-on, on-hook, command state. Tells the host
    // when the modem was off-hook.
    void PowerOn();

    // The modem ends a voice receive itself: <DLE><ETX>, then `result`, or
    // with `resultLater` only <DLE><ETX> until FinishEndReceive.
    void EndReceive(ResultCode result, bool resultLater = false);
    void FinishEndReceive(ResultCode result);
    // The outcome of the pending dial.
    void FinishDial(DialOutcome outcome);

    State state() const { return state_; }
    // Bytes of sound the voice transmit under way has taken so far.
    std::size_t TransmitBytes() const { return played_.size(); }
    Dialect dialect() const { return options_.dialect; }
    const ModemSettings& settings() const { return settings_; }
    bool VoiceClass() const { return settings_.serviceClass == "8"; }
    bool OffHook() const { return offHook_; }
    // Part of a command line has arrived (and was echoed).
    bool LineInProgress() const { return !line_.empty() || overlong_; }
    // A ring went by: counts in S1 like a modem's ring counter.
    void NoteRing();

    // The +VSM=? / #VSM=? offers of a dialect.
    static std::vector<std::string> FormatOffers(Dialect dialect);
    ModemModel model() const { return options_.model; }
    // Caller ID goes to the client: turned on, and on a Conexant that needs
    // it, a caller-ID standard chosen.
    bool CallerIdReported() const;

  private:
    struct Outcome {
        bool error = false;
        bool stop = false;  // later commands of the line are not run
        ResultCode result = ResultCode::Ok;
        bool noResult = false;  // the result comes later (dial)
    };
    class Cursor;

    void FeedCommand(uint8_t byte);
    void FeedReceive(uint8_t byte);
    void FeedTransmit(uint8_t byte);
    void ExecuteLine(const std::string& line, bool overlong);
    Outcome RunBasic(char letter, Cursor& cursor);
    Outcome RunAmpersand(Cursor& cursor);
    Outcome RunRegister(Cursor& cursor);
    Outcome RunExtended(char prefix, const std::string& name, const std::string& suffix);
    Outcome RunVoiceCommand(const std::string& name, const std::string& suffix);
    Outcome RunRockwellCommand(const std::string& name, const std::string& suffix);
    Outcome RunClassCommand(const std::string& suffix, bool poundForm);
    Outcome RunConexantCommand(Cursor& cursor);
    Outcome StartReceive();
    Outcome StartTransmit();
    Outcome Answer();
    Outcome Dial(const std::string& dialString);
    void Reset();
    void SetOffHook(bool offHook);
    void Info(std::string_view line);
    void SendResult(ResultCode code);
    void Emit(std::string_view bytes);
    void EmitEcho(std::string_view bytes);

    InterpreterOptions options_;
    ModemHost& host_;
    ModemSettings settings_;
    State state_ = State::Command;
    bool offHook_ = false;
    std::string line_;
    bool overlong_ = false;
    std::string info_;         // information text of the line being run
    bool pendingDle_ = false;  // Receive / Transmit: the last byte was a DLE
    int abortsSeen_ = 0;       // Receive: ends the client sent that did not take
    modem::TransmitDecoder transmit_;
    std::vector<uint8_t> played_;     // the sound of the transmit under way
    std::vector<uint8_t> heldInput_;  // what arrived while dialling
};

}  // namespace orvane::modemsim
