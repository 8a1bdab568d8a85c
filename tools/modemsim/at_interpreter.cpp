#include "tools/modemsim/at_interpreter.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "telephony/modem/dle_codec.h"
#include "telephony/modem/modem_text.h"

#ifndef MODEMSIM_VERSION
#define MODEMSIM_VERSION "0"
#endif

namespace orvane::modemsim {
namespace {

using modem::kDle;
using modem::kEtx;

constexpr std::size_t kMaxLineChars = 255;
constexpr std::size_t kMaxHeldInput = 4096;

struct FormatEntry {
    int code;
    SampleEncoding encoding;
    const char* offer;
};

// What a Conexant chip offers, without its 14-bit format (no encoder for it).
constexpr FormatEntry kV253Formats[] = {
    {0, SampleEncoding::Signed8, R"(0,"SIGNED PCM",8,0,8000,0,0)"},
    {1, SampleEncoding::Unsigned8, R"(1,"UNSIGNED PCM",8,0,8000,0,0)"},
    {129, SampleEncoding::ImaAdpcm4, R"(129,"IMA ADPCM",4,0,8000,0,0)"},
    {130, SampleEncoding::Unsigned8, R"(130,"UNSIGNED PCM",8,0,8000,0,0)"},
    {131, SampleEncoding::MuLaw, R"(131,"Mu-Law",8,0,8000,0,0)"},
    {132, SampleEncoding::ALaw, R"(132,"A-Law",8,0,8000,0,0)"},
};

// The "#" firmwares list their formats the U.S. Robotics way.
constexpr FormatEntry kRockwellFormats[] = {
    {128, SampleEncoding::Unsigned8, R"(128,"8-BIT LINEAR",(8000))"},
    {129, SampleEncoding::Signed16Le, R"(129,"16-BIT LINEAR",(8000))"},
    {130, SampleEncoding::ALaw, R"(130,"8-BIT ALAW",(8000))"},
    {131, SampleEncoding::MuLaw, R"(131,"8-BIT ULAW",(8000))"},
    {132, SampleEncoding::ImaAdpcm4, R"(132,"IMA ADPCM",(8000))"},
};

// The CX93001 manual's list. 140 and 141 are Rockwell's own ADPCM, which
// has no encoder here: selected, they still give 8-bit samples.
constexpr FormatEntry kConexantFormats[] = {
    {1, SampleEncoding::Unsigned8, R"(1,"UNSIGNED PCM",8,0,8000,0,0)"},
    {129, SampleEncoding::ImaAdpcm4, R"(129,"IMA ADPCM",4,0,8000,0,0)"},
    {130, SampleEncoding::Unsigned8, R"(130,"UNSIGNED PCM",8,0,8000,0,0)"},
    {140, SampleEncoding::Unsigned8, R"(140,"2 Bit ADPCM",2,0,8000,0,0)"},
    {141, SampleEncoding::Unsigned8, R"(141,"4 Bit ADPCM",4,0,8000,0,0)"},
};

// The 5637 lists rates; only 8000/s is made here.
constexpr FormatEntry kUsr5637Formats[] = {
    {128, SampleEncoding::Unsigned8, R"(128,"8-BIT LINEAR",(7200,8000,11025))"},
    {129, SampleEncoding::Signed16Le, R"(129,"16-BIT LINEAR",(7200,8000,11025))"},
    {130, SampleEncoding::ALaw, R"(130,"8-BIT ALAW",(8000))"},
    {131, SampleEncoding::MuLaw, R"(131,"8-BIT ULAW",(8000))"},
    {132, SampleEncoding::ImaAdpcm4, R"(132,"IMA ADPCM",(7200,8000,11025))"},
};

std::span<const FormatEntry> FormatsOf(Dialect dialect, ModemModel model = ModemModel::Generic) {
    if (model == ModemModel::Conexant) {
        return kConexantFormats;
    }
    if (model == ModemModel::Usr5637) {
        return kUsr5637Formats;
    }
    if (dialect == Dialect::Rockwell) {
        return kRockwellFormats;
    }
    return kV253Formats;
}

const FormatEntry* FindFormat(Dialect dialect, int code, ModemModel model = ModemModel::Generic) {
    for (const FormatEntry& entry : FormatsOf(dialect, model)) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

struct LineLabel {
    int label;
    const char* entry;
    bool offHook;  // the modem is on the line ("T")
};

constexpr LineLabel kLineLabels[] = {
    {0, R"(0,"",0B0000F0,0B0000F0,0B0000F0)", false},
    {1, R"(1,"T",0B8433C1,0FE431C1,0B8431C1)", true},
    {2, R"(2,"L",00000000,00000000,00000000)", false},
    {3, R"(3,"LT",0B8433C1,0FE431C1,0B8431C1)", true},
    {4, R"(4,"S",00000000,00000000,00000000)", false},
    {5, R"(5,"ST",0B8433C1,0FE431C1,0B8431C1)", true},
    {6, R"(6,"M",00000000,00000000,00000000)", false},
    {7, R"(7,"MST",0B8433C1,0FE431C1,0B8431C1)", true},
};

const LineLabel* FindLabel(int label) {
    for (const LineLabel& entry : kLineLabels) {
        if (entry.label == label) {
            return &entry;
        }
    }
    return nullptr;
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
    return parts;
}

// Blanks go (outside quotes) and letters become capitals, as the modem
// reads a command line.
std::string Normalize(std::string_view body) {
    std::string out;
    bool quoted = false;
    for (char c : body) {
        if (c == '"') {
            quoted = !quoted;
        }
        if (quoted) {
            out += c;
        } else if (c != ' ' && c != '\t') {
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

enum class SuffixKind { Action, Query, Test, Set };

struct Suffix {
    SuffixKind kind = SuffixKind::Action;
    std::string value;  // Set only
};

std::optional<Suffix> ParseSuffix(const std::string& suffix) {
    if (suffix.empty()) {
        return Suffix{};
    }
    if (suffix == "?") {
        return Suffix{SuffixKind::Query, {}};
    }
    if (suffix == "=?") {
        return Suffix{SuffixKind::Test, {}};
    }
    if (suffix[0] == '=') {
        return Suffix{SuffixKind::Set, suffix.substr(1)};
    }
    return std::nullopt;
}

// What ATI0 gives: the product code.
std::string ProductCode(ModemModel model) {
    switch (model) {
        case ModemModel::Conexant:
            return "56000";
        case ModemModel::Usr5637:
            return "5601";
        case ModemModel::Generic:
            break;
    }
    return "Orvane modemsim";
}

std::string ModelName(Dialect dialect, ModemModel model) {
    if (model == ModemModel::Conexant) {
        return "CX93001-EIS_V0.2002-V92";
    }
    if (model == ModemModel::Usr5637) {
        return "U.S. Robotics 56K FAX USB V1.2.23";
    }
    switch (dialect) {
        case Dialect::Rockwell:
            return "modemsim Rockwell voice modem";
        case Dialect::Lucent:
            return "modemsim Lucent voice modem";
        default:
            return "modemsim V.253 voice modem";
    }
}

int DefaultFormatCode(Dialect dialect, ModemModel model) {
    return dialect == Dialect::Rockwell || model == ModemModel::Usr5637 ? 128 : 1;
}

void SetDefaultRegisters(std::array<int, 256>& registers) {
    registers.fill(0);
    registers[2] = 43;   // escape character
    registers[3] = 13;   // line end
    registers[4] = 10;   // line feed
    registers[5] = 8;    // backspace
    registers[6] = 2;    // wait for dial tone
    registers[7] = 50;   // wait for carrier
    registers[8] = 2;    // comma pause
    registers[10] = 14;  // carrier loss
}

}  // namespace

std::string_view ResultText(ResultCode code) {
    switch (code) {
        case ResultCode::Ok:
            return "OK";
        case ResultCode::Connect:
            return "CONNECT";
        case ResultCode::Ring:
            return "RING";
        case ResultCode::NoCarrier:
            return "NO CARRIER";
        case ResultCode::Error:
            return "ERROR";
        case ResultCode::NoDialtone:
            return "NO DIALTONE";
        case ResultCode::Busy:
            return "BUSY";
        case ResultCode::NoAnswer:
            return "NO ANSWER";
        case ResultCode::Vcon:
            return "VCON";
    }
    return "ERROR";
}

// Walks the normalised text after "AT".
class AtInterpreter::Cursor {
  public:
    explicit Cursor(std::string text) : text_(std::move(text)) {}
    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    char Next() { return AtEnd() ? '\0' : text_[pos_++]; }
    std::string Digits() {
        std::string digits;
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
            digits += text_[pos_++];
        }
        return digits;
    }
    std::string Name() {
        std::string name;
        while (!AtEnd() && std::isalnum(static_cast<unsigned char>(text_[pos_]))) {
            name += text_[pos_++];
        }
        return name;
    }
    // An extended command's "=...", "?" or "=?": up to ";" or the next
    // "+X"/"#X" command ("AT#CLS=8#CID=1" chains without ";").
    std::string Argument() {
        std::string argument;
        bool quoted = false;
        while (!AtEnd()) {
            const char c = text_[pos_];
            if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && c == ';') {
                ++pos_;
                break;
            } else if (!quoted && (c == '+' || c == '#') && pos_ + 1 < text_.size() &&
                       std::isalpha(static_cast<unsigned char>(text_[pos_ + 1]))) {
                break;
            }
            argument += c;
            ++pos_;
        }
        return argument;
    }
    std::string Rest() {
        std::string rest = text_.substr(std::min(pos_, text_.size()));
        pos_ = text_.size();
        return rest;
    }

  private:
    std::string text_;
    std::size_t pos_ = 0;
};

AtInterpreter::AtInterpreter(const InterpreterOptions& options, ModemHost& host)
    : options_(options), host_(host) {
    settings_.echo = options_.echo;
    SetDefaultRegisters(settings_.registers);
    settings_.formatCode = DefaultFormatCode(options_.dialect, options_.model);
}

bool AtInterpreter::CallerIdReported() const {
    return settings_.callerId != 0 &&
           (!options_.callerIdNeedsStandard || settings_.callerIdStandard >= 0);
}

std::vector<std::string> AtInterpreter::FormatOffers(Dialect dialect) {
    std::vector<std::string> offers;
    for (const FormatEntry& entry : FormatsOf(dialect)) {
        offers.emplace_back(entry.offer);
    }
    return offers;
}

void AtInterpreter::Feed(std::string_view bytes) {
    Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

void AtInterpreter::Feed(std::span<const uint8_t> bytes) {
    std::string echo;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t byte = bytes[i];
        switch (state_) {
            case State::Command:
                if (settings_.echo) {
                    echo += static_cast<char>(byte);
                }
                if (byte == settings_.registers[3]) {
                    // The echo of the line, its CR included, goes before the reply.
                    EmitEcho(echo);
                    echo.clear();
                }
                FeedCommand(byte);
                break;
            case State::Receive:
                FeedReceive(byte);
                break;
            case State::Transmit:
                FeedTransmit(byte);
                break;
            case State::Dialing:
            case State::Ending: {
                host_.InputWhileResultDue(std::string_view(
                    reinterpret_cast<const char*>(bytes.data()) + i, bytes.size() - i));
                // Kept for after the dial or the result, within reason.
                const std::size_t room = kMaxHeldInput - std::min(kMaxHeldInput, heldInput_.size());
                const std::size_t take = std::min(room, bytes.size() - i);
                heldInput_.insert(heldInput_.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                                  bytes.begin() + static_cast<std::ptrdiff_t>(i + take));
                i = bytes.size();
                break;
            }
        }
    }
    EmitEcho(echo);
}

void AtInterpreter::FeedCommand(uint8_t byte) {
    if (byte == settings_.registers[3]) {
        const std::string line = std::move(line_);
        const bool overlong = overlong_;
        line_.clear();
        overlong_ = false;
        if (!line.empty() || overlong) {
            ExecuteLine(line, overlong);
        }
        return;
    }
    if (byte == settings_.registers[5] || byte == 0x7F) {
        if (!line_.empty()) {
            line_.pop_back();
        }
        return;
    }
    if (byte < 0x20) {
        return;  // LF and other control characters are not part of a command
    }
    // Like a modem, wait for "AT" and drop whatever comes before it.
    const int upper = std::toupper(byte);
    if (line_.empty() && upper != 'A') {
        return;
    }
    if (line_.size() == 1 && upper != 'T') {
        line_.clear();
        if (upper == 'A') {
            line_ += static_cast<char>(byte);
        }
        return;
    }
    if (line_.size() >= kMaxLineChars) {
        overlong_ = true;
        return;
    }
    line_ += static_cast<char>(byte);
}

void AtInterpreter::FeedReceive(uint8_t byte) {
    bool abort = false;
    if (pendingDle_) {
        pendingDle_ = false;
        abort = byte == modem::kReceiveAbort;
    } else if (byte == kDle) {
        pendingDle_ = true;
    } else if (options_.dialect == Dialect::Rockwell && !options_.dleAbortOnly &&
               byte == modem::kReceiveAbort) {
        abort = true;  // old Rockwell firmware takes a bare "!"
    }
    if (!abort || options_.ignoreAbort || ++abortsSeen_ < options_.abortRepeats) {
        return;
    }
    host_.ReceiveAborted();
    Emit(std::string{static_cast<char>(kDle), static_cast<char>(kEtx)});
    state_ = State::Command;
    SendResult(ResultCode::Ok);
}

void AtInterpreter::FeedTransmit(uint8_t byte) {
    const std::size_t faults = transmit_.Faults();
    const std::size_t before = played_.size();
    transmit_.Decode(std::span(&byte, 1), played_);
    if (played_.size() > before && !host_.TransmitRoom(played_.size() - before)) {
        played_.resize(before);
    }
    if (transmit_.Faults() != faults) {
        host_.TransmitFault(byte);
    }
    if (!transmit_.Ended()) {
        return;
    }
    state_ = State::Command;
    host_.TransmitPlayed(played_, settings_.encoding);
    host_.TransmitEnded(played_.size());
    SendResult(ResultCode::Ok);
}

void AtInterpreter::ExecuteLine(const std::string& line, bool overlong) {
    host_.CommandLineReceived(line);
    if (line.size() < 2 || std::toupper(static_cast<unsigned char>(line[0])) != 'A' ||
        std::toupper(static_cast<unsigned char>(line[1])) != 'T') {
        return;  // not a command: a modem waits for "AT" and ignores the rest
    }
    info_.clear();
    Outcome outcome;
    if (overlong) {
        outcome.error = true;
    }
    Cursor cursor(Normalize(std::string_view(line).substr(2)));
    while (!outcome.error && !cursor.AtEnd()) {
        const char c = cursor.Next();
        if (c == ';') {
            continue;
        }
        if (c == '+' || c == '#') {
            const std::string name = cursor.Name();
            const std::string argument = cursor.Argument();
            outcome = name.empty() ? Outcome{true} : RunExtended(c, name, argument);
        } else if (c == '&') {
            outcome = RunAmpersand(cursor);
        } else if (c == '!' && options_.model == ModemModel::Conexant) {
            outcome = RunConexantCommand(cursor);
        } else if (c == 'S') {
            outcome = RunRegister(cursor);
        } else if (c == 'D') {
            outcome = Dial(cursor.Rest());
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            outcome = RunBasic(c, cursor);
        } else {
            outcome.error = true;
        }
        if (outcome.stop) {
            break;
        }
    }
    Emit(info_);
    info_.clear();
    if (outcome.error) {
        SendResult(ResultCode::Error);
        return;
    }
    if (outcome.noResult) {
        return;
    }
    SendResult(outcome.result);
    if (outcome.result == ResultCode::Connect) {
        pendingDle_ = false;
        if (state_ == State::Receive) {
            abortsSeen_ = 0;
            host_.ReceiveStarted();
        } else if (state_ == State::Transmit) {
            transmit_.Reset();
            played_.clear();
            host_.TransmitStarted();
        }
    }
}

AtInterpreter::Outcome AtInterpreter::RunBasic(char letter, Cursor& cursor) {
    const std::string digits = cursor.Digits();
    const std::optional<int> number =
        digits.empty() ? std::optional<int>(0) : modem::ParseDigits(digits, 0, 255);
    if (!number) {
        return Outcome{true};
    }
    const int n = *number;
    switch (letter) {
        case 'E':
        case 'V':
        case 'Q':
            if (n > 1) {
                return Outcome{true};
            }
            (letter == 'E'   ? settings_.echo
             : letter == 'V' ? settings_.verbose
                             : settings_.quiet) = n == 1;
            return {};
        case 'H':
            if (n > 1) {
                return Outcome{true};
            }
            SetOffHook(n == 1);
            return {};
        case 'Z':
            if (n > 1) {
                return Outcome{true};
            }
            Reset();
            return {};
        case 'I':
            if (n == 0) {
                Info(ProductCode(options_.model));
            } else if (n == 3) {
                Info(ModelName(options_.dialect, options_.model));
            } else if (n > 9) {
                return Outcome{true};
            }
            return {};
        case 'A':
            if (!digits.empty()) {
                return Outcome{true};
            }
            return Answer();
        case 'B':
        case 'L':
        case 'M':
        case 'N':
        case 'P':
        case 'T':
        case 'W':
        case 'X':
        case 'Y':
            return {};  // speaker, dialling method, result set: nothing to emulate
        default:
            return Outcome{true};
    }
}

AtInterpreter::Outcome AtInterpreter::RunAmpersand(Cursor& cursor) {
    const char letter = cursor.Next();
    const std::string digits = cursor.Digits();
    if (!digits.empty() && !modem::ParseDigits(digits, 0, 255)) {
        return Outcome{true};
    }
    if (letter == 'F') {
        Reset();
        return {};
    }
    static constexpr std::string_view kNoOps = "BCDGHIKQRSVWY";
    if (letter != '\0' && kNoOps.find(letter) != std::string_view::npos) {
        return {};
    }
    return Outcome{true};
}

AtInterpreter::Outcome AtInterpreter::RunRegister(Cursor& cursor) {
    const std::optional<int> index = modem::ParseDigits(cursor.Digits(), 0, 255);
    if (!index) {
        return Outcome{true};
    }
    if (cursor.Peek() == '?') {
        cursor.Next();
        const int value = settings_.registers[static_cast<std::size_t>(*index)];
        std::string text = std::to_string(value);
        text.insert(0, 3 - std::min<std::size_t>(3, text.size()), '0');
        Info(text);
        return {};
    }
    if (cursor.Peek() == '=') {
        cursor.Next();
        const std::string digits = cursor.Digits();
        const std::optional<int> value =
            digits.empty() ? std::optional<int>(0) : modem::ParseDigits(digits, 0, 255);
        // CR as "line feed" or "backspace" would make the modem unusable.
        if (!value || ((*index == 3 || *index == 5) && *value == 0)) {
            return Outcome{true};
        }
        settings_.registers[static_cast<std::size_t>(*index)] = *value;
    }
    return {};
}

AtInterpreter::Outcome AtInterpreter::RunExtended(char prefix, const std::string& name,
                                                  const std::string& suffix) {
    if (std::find(options_.refused.begin(), options_.refused.end(), name) !=
        options_.refused.end()) {
        return Outcome{true};
    }
    if (prefix == '#') {
        if (options_.dialect != Dialect::Rockwell) {
            return Outcome{true};
        }
        return RunRockwellCommand(name, suffix);
    }
    if (name == "FCLASS") {
        return RunClassCommand(suffix, false);
    }
    if (name[0] == 'V') {
        // The "#" firmwares know nothing of the +V set, which is how a
        // client tells the dialects apart.
        if (options_.dialect == Dialect::Rockwell) {
            return Outcome{true};
        }
        return RunVoiceCommand(name, suffix);
    }
    const std::optional<Suffix> parsed = ParseSuffix(suffix);
    if (!parsed) {
        return Outcome{true};
    }
    const SuffixKind kind = parsed->kind;
    if (name == "GMI" || name == "GMM" || name == "GMR") {
        if (kind == SuffixKind::Action) {
            Info(name == "GMI"   ? std::string("Orvane")
                 : name == "GMM" ? ModelName(options_.dialect, options_.model)
                                 : std::string("modemsim " MODEMSIM_VERSION));
            return {};
        }
        return Outcome{kind != SuffixKind::Test};
    }
    if (name == "GCAP" && kind == SuffixKind::Action) {
        Info(options_.dialect == Dialect::Rockwell ? "+GCAP: +FCLASS" : "+GCAP: +FCLASS, +V");
        return {};
    }
    if (name == "GCI") {
        if (kind == SuffixKind::Query) {
            Info("+GCI: B5");
        } else if (kind == SuffixKind::Test) {
            Info("+GCI: (B5)");
        }
        return Outcome{kind == SuffixKind::Action};
    }
    if (name == "IFC") {
        if (kind == SuffixKind::Test) {
            Info("(0-2),(0-2)");
        } else if (kind == SuffixKind::Query) {
            Info(settings_.flowControl);
        } else if (kind == SuffixKind::Set) {
            const std::vector<std::string_view> parts = SplitCommas(parsed->value);
            if (parts.size() > 2 || !std::all_of(parts.begin(), parts.end(), [](auto part) {
                    return modem::ParseDigits(part, 0, 2).has_value();
                })) {
                return Outcome{true};
            }
            settings_.flowControl = parsed->value;
        } else {
            return Outcome{true};
        }
        return {};
    }
    if (name == "IPR") {
        if (kind == SuffixKind::Query) {
            Info("115200");
        } else if (kind == SuffixKind::Test) {
            Info("(0,2400,4800,9600,19200,38400,57600,115200)");
        }
        return Outcome{kind == SuffixKind::Action};
    }
    return Outcome{true};
}

AtInterpreter::Outcome AtInterpreter::RunClassCommand(const std::string& suffix, bool poundForm) {
    const std::optional<Suffix> parsed = ParseSuffix(suffix);
    if (!parsed) {
        return Outcome{true};
    }
    // A "#" modem lists voice only under #CLS, so a client that looks for
    // class 8 in +FCLASS=? must try #CLS=? as well.
    std::string list = "0,1,1.0,2,8";
    if (options_.dialect == Dialect::Rockwell) {
        list = poundForm ? "0,1,2,8" : "0,1,2";
    }
    switch (parsed->kind) {
        case SuffixKind::Test:
            Info(list);
            return {};
        case SuffixKind::Query:
            Info(settings_.serviceClass);
            return {};
        case SuffixKind::Set:
            for (std::string_view entry : SplitCommas(list)) {
                if (entry == parsed->value) {
                    settings_.serviceClass = parsed->value;
                    return {};
                }
            }
            return Outcome{true};
        case SuffixKind::Action:
            break;
    }
    return Outcome{true};
}

AtInterpreter::Outcome AtInterpreter::RunVoiceCommand(const std::string& name,
                                                      const std::string& suffix) {
    const std::optional<Suffix> parsed = ParseSuffix(suffix);
    if (!parsed) {
        return Outcome{true};
    }
    const SuffixKind kind = parsed->kind;
    const std::string& value = parsed->value;
    if (name == "VCID") {
        if (kind == SuffixKind::Test) {
            Info("(0-2)");
        } else if (kind == SuffixKind::Query) {
            Info(std::to_string(settings_.callerId));
        } else if (kind == SuffixKind::Set) {
            const std::optional<int> mode = modem::ParseDigits(value, 0, 2);
            if (!mode) {
                return Outcome{true};
            }
            settings_.callerId = *mode;
        } else {
            return Outcome{true};
        }
        return {};
    }
    if (name == "VSM") {
        const bool usr = options_.model == ModemModel::Usr5637;
        if (options_.model == ModemModel::Conexant && !VoiceClass()) {
            return Outcome{true};  // the CX93001 has +VSM in voice class only
        }
        if (kind == SuffixKind::Test) {
            for (const FormatEntry& entry : FormatsOf(Dialect::V253, options_.model)) {
                Info(entry.offer);
            }
        } else if (kind == SuffixKind::Query) {
            Info(std::to_string(settings_.formatCode) + (usr ? ",8000" : ",8000,0,0"));
        } else if (kind == SuffixKind::Set) {
            // <code>[,<rate>[,<sds>,<sel>]]: only 8000 samples/s are made.
            // The 5637 lists rates, so it wants the rate given.
            const std::vector<std::string_view> parts = SplitCommas(value);
            const std::optional<int> code = modem::ParseDigits(parts[0], 0, 255);
            const FormatEntry* entry =
                code ? FindFormat(Dialect::V253, *code, options_.model) : nullptr;
            if (!entry || parts.size() > 4 || parts.size() == 3 || (usr && parts.size() < 2) ||
                (parts.size() > 1 && modem::ParseDigits(parts[1], 0, 99999) != 8000)) {
                return Outcome{true};
            }
            for (std::size_t i = 2; i < parts.size(); ++i) {
                if (!modem::ParseDigits(parts[i], 0, 255)) {
                    return Outcome{true};
                }
            }
            settings_.formatCode = entry->code;
            settings_.encoding = entry->encoding;
        } else {
            return Outcome{true};
        }
        return {};
    }
    if (name == "VLS") {
        if (kind == SuffixKind::Test) {
            for (const LineLabel& label : kLineLabels) {
                Info(label.entry);
            }
        } else if (kind == SuffixKind::Query) {
            Info(std::to_string(settings_.lineLabel));
        } else if (kind == SuffixKind::Set) {
            const std::optional<int> number = modem::ParseDigits(value, 0, 255);
            const LineLabel* label = number ? FindLabel(*number) : nullptr;
            if (!label || (!VoiceClass() && label->label != 0)) {
                return Outcome{true};
            }
            settings_.lineLabel = label->label;
            SetOffHook(label->offHook);
        } else {
            return Outcome{true};
        }
        return {};
    }
    if (name == "VRX" || name == "VTX") {
        if (kind != SuffixKind::Action) {
            return Outcome{true};
        }
        return name == "VRX" ? StartReceive() : StartTransmit();
    }
    std::string* stored = name == "VIT"   ? &settings_.inactivityTimer
                          : name == "VSD" ? &settings_.silenceDetection
                          : name == "VEM" ? &settings_.eventMask
                          : name == "VGT" ? &settings_.transmitGain
                          : name == "VGR" ? &settings_.receiveGain
                                          : nullptr;
    static constexpr std::string_view kAccepted[] = {"VRA", "VRN", "VNH", "VPR",
                                                     "VDR", "VDT", "VTS"};
    const bool accepted =
        std::find(std::begin(kAccepted), std::end(kAccepted), name) != std::end(kAccepted);
    if (!stored && !accepted) {
        return Outcome{true};
    }
    if (kind == SuffixKind::Test) {
        Info(name == "VSD" ? "(0-255),(0-255)" : name == "VEM" ? "(0-FFFFFFFF)" : "(0-255)");
    } else if (kind == SuffixKind::Query) {
        Info(stored ? *stored : std::string("0"));
    } else if (kind == SuffixKind::Set) {
        if (value.empty()) {
            return Outcome{true};
        }
        if (stored) {
            *stored = value;
        }
    } else {
        return Outcome{true};
    }
    return {};
}

AtInterpreter::Outcome AtInterpreter::RunRockwellCommand(const std::string& name,
                                                         const std::string& suffix) {
    if (name == "CLS") {
        return RunClassCommand(suffix, true);
    }
    const std::optional<Suffix> parsed = ParseSuffix(suffix);
    if (!parsed) {
        return Outcome{true};
    }
    const SuffixKind kind = parsed->kind;
    const std::string& value = parsed->value;
    if (name == "VRX" || name == "VTX") {
        if (kind != SuffixKind::Action) {
            return Outcome{true};
        }
        return name == "VRX" ? StartReceive() : StartTransmit();
    }
    if (kind == SuffixKind::Action) {
        return Outcome{true};
    }
    if (name == "CID" || name == "VLS") {
        const int maxValue = name == "CID" ? 2 : 3;
        int& field = name == "CID" ? settings_.callerId : settings_.lineLabel;
        if (kind == SuffixKind::Test) {
            Info(name == "CID" ? "0,1,2" : "0,1,2,3");
        } else if (kind == SuffixKind::Query) {
            Info(std::to_string(field));
        } else {
            const std::optional<int> number = modem::ParseDigits(value, 0, maxValue);
            if (!number) {
                return Outcome{true};
            }
            field = *number;
        }
        return {};
    }
    if (name == "VBS") {
        if (kind == SuffixKind::Test) {
            Info(options_.adpcmOnly ? "2,3,4" : "8,16");
        } else if (kind == SuffixKind::Query) {
            Info(std::to_string(settings_.bitsPerSample));
        } else {
            // Rockwell's own 2-, 3- and 4-bit ADPCM is taken, though the
            // sound is still made as 8-bit samples here.
            const std::optional<int> bits = modem::ParseDigits(value, 0, 16);
            if (options_.adpcmOnly) {
                if (!bits || *bits < 2 || *bits > 4) {
                    return Outcome{true};
                }
                settings_.bitsPerSample = *bits;
                return {};
            }
            if (bits != 8 && bits != 16) {
                return Outcome{true};
            }
            settings_.bitsPerSample = *bits;
            settings_.formatCode = *bits == 8 ? 128 : 129;
            settings_.encoding =
                *bits == 8 ? SampleEncoding::Unsigned8 : SampleEncoding::Signed16Le;
        }
        return {};
    }
    if (name == "VSM") {
        if (kind == SuffixKind::Test) {
            for (const FormatEntry& entry : kRockwellFormats) {
                Info(entry.offer);
            }
        } else if (kind == SuffixKind::Query) {
            Info(std::to_string(settings_.formatCode) + ",8000");
        } else {
            const std::vector<std::string_view> parts = SplitCommas(value);
            const std::optional<int> code = modem::ParseDigits(parts[0], 0, 255);
            const FormatEntry* entry = code ? FindFormat(Dialect::Rockwell, *code) : nullptr;
            if (!entry || parts.size() > 2 ||
                (parts.size() == 2 && modem::ParseDigits(parts[1], 0, 99999) != 8000)) {
                return Outcome{true};
            }
            settings_.formatCode = entry->code;
            settings_.encoding = entry->encoding;
        }
        return {};
    }
    static constexpr std::string_view kAccepted[] = {"VSD", "VSS", "VSP", "VTD", "VGT",
                                                     "VGR", "BDR", "VRA", "VRN", "VTS"};
    if (std::find(std::begin(kAccepted), std::end(kAccepted), name) == std::end(kAccepted)) {
        return Outcome{true};
    }
    if (kind == SuffixKind::Test) {
        Info("(0-255)");
    } else if (kind == SuffixKind::Query) {
        Info("0");
    }
    return {};
}

// AT!4886=<n>: the caller-ID standard the firmware listens for (its
// region's by default, which may leave caller ID off on the user's line).
// Forgotten on reset. AT!4886? answers like an S register.
AtInterpreter::Outcome AtInterpreter::RunConexantCommand(Cursor& cursor) {
    if (cursor.Digits() != "4886") {
        return Outcome{true};
    }
    if (cursor.Peek() == '?') {
        cursor.Next();
        std::string text = std::to_string(std::max(settings_.callerIdStandard, 0));
        text.insert(0, 3 - std::min<std::size_t>(3, text.size()), '0');
        Info(text);
        return {};
    }
    if (cursor.Next() != '=') {
        return Outcome{true};
    }
    const std::optional<int> standard = modem::ParseDigits(cursor.Digits(), 0, 255);
    if (!standard) {
        return Outcome{true};
    }
    settings_.callerIdStandard = *standard;
    return {};
}

AtInterpreter::Outcome AtInterpreter::StartReceive() {
    if (!VoiceClass() || !offHook_) {
        return Outcome{true};
    }
    state_ = State::Receive;
    return Outcome{false, true, ResultCode::Connect};
}

AtInterpreter::Outcome AtInterpreter::StartTransmit() {
    if (!VoiceClass() || !offHook_) {
        return Outcome{true};
    }
    state_ = State::Transmit;
    return Outcome{false, true, ResultCode::Connect};
}

AtInterpreter::Outcome AtInterpreter::Answer() {
    if (!VoiceClass()) {
        // No data modem answers on the other side.
        SetOffHook(false);
        return Outcome{false, true, ResultCode::NoCarrier};
    }
    SetOffHook(true);
    if (options_.dialect == Dialect::Rockwell) {
        return Outcome{false, true, ResultCode::Vcon};
    }
    return Outcome{false, true, ResultCode::Ok};
}

AtInterpreter::Outcome AtInterpreter::Dial(const std::string& dialString) {
    static constexpr std::string_view kDialChars = "0123456789*#ABCDPTW,!@;+";
    std::string number;
    for (char c : dialString) {
        if (kDialChars.find(c) == std::string_view::npos) {
            return Outcome{true};
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '#' || c == '+') {
            number += c;
        }
    }
    if (number.empty()) {
        return Outcome{true};
    }
    SetOffHook(true);
    state_ = State::Dialing;
    host_.DialRequested(number);
    Outcome outcome;
    outcome.stop = true;
    outcome.noResult = true;
    return outcome;
}

void AtInterpreter::FinishDial(DialOutcome outcome) {
    if (state_ != State::Dialing) {
        return;
    }
    state_ = State::Command;
    ResultCode result = ResultCode::NoCarrier;
    switch (outcome) {
        case DialOutcome::Answered:
            if (VoiceClass()) {
                result = options_.dialect == Dialect::Rockwell ? ResultCode::Vcon : ResultCode::Ok;
            }
            break;
        case DialOutcome::Busy:
            result = ResultCode::Busy;
            break;
        case DialOutcome::NoAnswer:
            result = ResultCode::NoAnswer;
            break;
        case DialOutcome::NoDialtone:
            result = ResultCode::NoDialtone;
            break;
    }
    if (result != ResultCode::Ok && result != ResultCode::Vcon) {
        SetOffHook(false);
    }
    SendResult(result);
    std::vector<uint8_t> held = std::move(heldInput_);
    heldInput_.clear();
    Feed(held);
}

void AtInterpreter::EndReceive(ResultCode result, bool resultLater) {
    if (state_ != State::Receive) {
        return;
    }
    Emit(std::string{static_cast<char>(kDle), static_cast<char>(kEtx)});
    state_ = State::Ending;
    if (!resultLater) {
        FinishEndReceive(result);
    }
}

void AtInterpreter::FinishEndReceive(ResultCode result) {
    if (state_ != State::Ending) {
        return;
    }
    state_ = State::Command;
    SendResult(result);
    std::vector<uint8_t> held = std::move(heldInput_);
    heldInput_.clear();
    Feed(held);
}

void AtInterpreter::NoteRing() {
    int& counter = settings_.registers[1];
    counter = std::min(counter + 1, 255);
}

void AtInterpreter::PowerOn() {
    state_ = State::Command;
    line_.clear();
    overlong_ = false;
    info_.clear();
    pendingDle_ = false;
    transmit_.Reset();
    played_.clear();
    heldInput_.clear();
    Reset();
}

void AtInterpreter::Reset() {
    // Caller ID goes off again, as on the modems that forget +VCID on ATZ.
    ModemSettings defaults;
    defaults.echo = options_.echo;
    SetDefaultRegisters(defaults.registers);
    defaults.formatCode = DefaultFormatCode(options_.dialect, options_.model);
    settings_ = defaults;
    SetOffHook(false);
}

void AtInterpreter::SetOffHook(bool offHook) {
    if (offHook_ == offHook) {
        return;
    }
    offHook_ = offHook;
    if (!offHook) {
        settings_.registers[1] = 0;
    }
    host_.HookChanged(offHook);
}

void AtInterpreter::Info(std::string_view line) {
    // Lines of one answer share the leading CR LF, as on Conexant chips.
    if (settings_.verbose && info_.empty()) {
        info_ += "\r\n";
    }
    info_ += line;
    info_ += "\r\n";
}

void AtInterpreter::SendResult(ResultCode code) {
    if (settings_.quiet) {
        return;
    }
    if (settings_.verbose) {
        Emit("\r\n" + std::string(ResultText(code)) + "\r\n");
        return;
    }
    // Numeric codes end with CR alone; VCON has no number of its own.
    static constexpr int kNumbers[] = {0, 1, 2, 3, 4, 6, 7, 8, -1};
    const int number = kNumbers[static_cast<int>(code)];
    Emit((number < 0 ? std::string(ResultText(code)) : std::to_string(number)) + "\r");
}

void AtInterpreter::EmitEcho(std::string_view bytes) {
    if (!bytes.empty()) {
        host_.Echo(bytes);
    }
}

void AtInterpreter::Emit(std::string_view bytes) {
    if (!bytes.empty()) {
        host_.Send(bytes);
    }
}

}  // namespace orvane::modemsim
