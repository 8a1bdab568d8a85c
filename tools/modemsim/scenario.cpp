#include "tools/modemsim/scenario.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "telephony/modem/modem_text.h"

namespace orvane::modemsim {

const char kScenarioGrammar[] =
    R"(Steps are separated by ";" or line ends. A line whose first non-blank
character is "#" is a comment. TEXT is a word or a "quoted text" with the
escapes \r \n \t \e (ESC) \0 \\ \" \xHH. MS are milliseconds. Keywords may be
written in any case.

  wait-client [timeout MS | max MS]
      until a client has the port open
  wait-command TEXT [timeout MS | max MS]
      until the client sends a command line containing TEXT (any case);
      each line satisfies one wait
  wait-hangup [timeout MS | max MS]
      until the modem is on-hook (at once when it is)
  sleep MS
  ring [COUNT] [every MS]
      COUNT rings (default 1), MS apart (default 6000)
  cid [name=TEXT] [number=TEXT] [date=MMDD] [time=HHMM] [format=FORMAT]
      [raw=TEXT] [pace=MS]
      caller ID now, if the client turned it on (+VCID=1|2, #CID=1|2);
      with pace=, one byte every MS as a slow modem sends it
  call [rings=N] [every=MS] [name=TEXT] [number=TEXT] [date=MMDD]
      [time=HHMM] [cid=after-first|before|none] [format=FORMAT] [raw=TEXT]
      [pace=MS]
      a new call: N rings (default 2) with caller ID after the first ring
      (default), before it, or none
  pickup
      the local handset is picked up (<DLE>H; Rockwell <DLE>t)
  handset-hangup
      the local handset is put down (<DLE>h)
  voice tone HZ | voice file PATH | voice pattern | voice silence |
  voice speech
      what the far end sends from now on; "pattern" is the bytes 0..255
      over and over, sent as they are, whatever the sample format
  remote-hangup busy|dialtone|loop|silence|etx [ok|no-carrier|error]
      [after MS]
      the far end hangs up: <DLE>b (again every 4 s of stream), <DLE>d
      (again every 3 s), <DLE>l, <DLE>s, or the modem ends the voice
      receive itself: <DLE><ETX> then OK (or NO CARRIER, or ERROR), that
      result MS after <DLE><ETX> (default at once); what the client types
      meanwhile waits for it
  dial-answer answered|busy|no-answer|no-dialtone [after MS]
      how the next dial-outs end, after MS (default 1000)
  raw TEXT
      send TEXT to the client as it is
  repeat [COUNT] [every MS] ... end
      run the steps in between COUNT times (default: for ever), each round
      starting MS after the one before (default: at once)
  exit [CODE]
      end the run with exit status CODE (default 0)

FORMAT is spaces ("NMBR = 5551234"), nospaces ("NMBR=5551234"), oneline
(all tags on one line), mdmf or sdmf (the packet as hex), mesg (the MDMF
packet as hex after "MESG = "), or raw (the text
of raw=, sent as it is). Without format= the client's choice decides:
+VCID=1 gives spaces, +VCID=2 gives mdmf. Date and time default to the
clock.
)";

const char kDemoScenario[] = R"(# A call every 20 seconds.
voice speech
wait-client
# Time for the program to set the modem up.
sleep 3000
repeat every 20000
  call rings=2 name="Alice Example" number=5551234
  sleep 1000
  pickup
  sleep 10000
  remote-hangup busy
  sleep 2000
  handset-hangup
  wait-hangup max 5000
end
)";

std::string ParseError::Text() const {
    return source + ":" + std::to_string(line) + ": " + message;
}

namespace {

constexpr int kMaxMs = 24 * 60 * 60 * 1000;

struct Token {
    std::string text;
    bool quoted = false;
};

struct Statement {
    int line = 0;
    std::vector<Token> tokens;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

class Lexer {
  public:
    Lexer(std::string_view text, std::vector<std::string>& errors, std::vector<int>& errorLines)
        : text_(text), errors_(errors), errorLines_(errorLines) {}

    std::vector<Statement> Run() {
        while (pos_ < text_.size()) {
            SkipBlanks();
            if (AtLineStart() && Peek() == '#') {
                SkipToLineEnd();
                continue;
            }
            const char c = Peek();
            if (c == '\n' || c == ';') {
                EndStatement();
                if (c == '\n') {
                    ++line_;
                }
                ++pos_;
                lineStart_ = c == '\n';
                continue;
            }
            if (c == '\0' && pos_ >= text_.size()) {
                break;
            }
            lineStart_ = false;
            ReadToken();
        }
        EndStatement();
        return std::move(statements_);
    }

  private:
    char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    bool AtLineStart() const { return lineStart_; }

    void SkipBlanks() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }

    void SkipToLineEnd() {
        while (pos_ < text_.size() && text_[pos_] != '\n') {
            ++pos_;
        }
    }

    void EndStatement() {
        if (!current_.tokens.empty()) {
            statements_.push_back(std::move(current_));
        }
        current_ = Statement{};
    }

    void Fail(const std::string& message) {
        errors_.push_back(message);
        errorLines_.push_back(line_);
    }

    void ReadToken() {
        Token token;
        const int startLine = line_;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';') {
                break;
            }
            if (c != '"') {
                token.text += c;
                ++pos_;
                continue;
            }
            token.quoted = true;
            ++pos_;
            if (!ReadQuoted(token.text)) {
                SkipToLineEnd();
                current_ = Statement{};
                return;
            }
        }
        if (current_.tokens.empty()) {
            current_.line = startLine;
        }
        current_.tokens.push_back(std::move(token));
    }

    // After the opening quote; false (and an error) when the text is bad.
    bool ReadQuoted(std::string& out) {
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') {
                return true;
            }
            if (c == '\n') {
                --pos_;
                Fail("unterminated quoted text");
                return false;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = Peek();
            ++pos_;
            switch (e) {
                case 'r':
                    out += '\r';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'e':
                    out += '\x1b';
                    break;
                case '0':
                    out += '\0';
                    break;
                case '\\':
                case '"':
                    out += e;
                    break;
                case 'x': {
                    const int high = pos_ < text_.size() ? HexValue(text_[pos_]) : -1;
                    const int low = pos_ + 1 < text_.size() ? HexValue(text_[pos_ + 1]) : -1;
                    if (high < 0 || low < 0) {
                        Fail("\\x needs two hex digits");
                        return false;
                    }
                    out += static_cast<char>(high * 16 + low);
                    pos_ += 2;
                    break;
                }
                default:
                    Fail(std::string("unknown escape \\") +
                         (e == '\0' ? std::string() : std::string(1, e)));
                    return false;
            }
        }
        Fail("unterminated quoted text");
        return false;
    }

    std::string_view text_;
    std::vector<std::string>& errors_;
    std::vector<int>& errorLines_;
    std::size_t pos_ = 0;
    int line_ = 1;
    bool lineStart_ = true;
    Statement current_;
    std::vector<Statement> statements_;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool FourDigits(const std::string& text) {
    return text.size() == 4 && std::all_of(text.begin(), text.end(),
                                           [](unsigned char c) { return std::isdigit(c) != 0; });
}

// A scenario's words for one setting, and what each stands for.
template <typename Value>
struct Keyword {
    std::string_view word;
    Value value;
};

// What `word` stands for in `table`, in any letter case.
template <typename Value, std::size_t N>
std::optional<Value> KeywordValue(const std::string& word, const Keyword<Value> (&table)[N]) {
    const std::string lower = Lower(word);
    for (const Keyword<Value>& keyword : table) {
        if (keyword.word == lower) {
            return keyword.value;
        }
    }
    return std::nullopt;
}

constexpr Keyword<CidFormat> kCidFormats[] = {
    {"spaces", CidFormat::Spaces},   {"nospaces", CidFormat::NoSpaces},
    {"oneline", CidFormat::OneLine}, {"mdmf", CidFormat::Mdmf},
    {"sdmf", CidFormat::Sdmf},       {"mesg", CidFormat::Mesg},
    {"raw", CidFormat::Raw}};
constexpr Keyword<CidPlacement> kCidPlacements[] = {{"after-first", CidPlacement::AfterFirstRing},
                                                    {"before", CidPlacement::BeforeFirstRing},
                                                    {"none", CidPlacement::None}};
constexpr Keyword<RemoteHangupKind> kRemoteHangups[] = {{"busy", RemoteHangupKind::Busy},
                                                        {"dialtone", RemoteHangupKind::DialTone},
                                                        {"loop", RemoteHangupKind::LoopBreak},
                                                        {"silence", RemoteHangupKind::Silence},
                                                        {"etx", RemoteHangupKind::EndOfStream}};
constexpr Keyword<DialOutcome> kDialAnswers[] = {{"answered", DialOutcome::Answered},
                                                 {"busy", DialOutcome::Busy},
                                                 {"no-answer", DialOutcome::NoAnswer},
                                                 {"no-dialtone", DialOutcome::NoDialtone}};

// The statement as it could have been written, for the transcript.
std::string Display(const Statement& statement) {
    static constexpr std::size_t kMaxChars = 100;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const Token& token : statement.tokens) {
        if (!out.empty()) {
            out += ' ';
        }
        if (token.quoted) {
            out += '"';
        }
        for (char c : token.text) {
            const auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (c == '\r') {
                out += "\\r";
            } else if (c == '\n') {
                out += "\\n";
            } else if (byte < 0x20 || byte == 0x7F) {
                out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 15];
            } else {
                out += c;
            }
            if (out.size() > kMaxChars) {
                return out + "...";
            }
        }
        if (token.quoted) {
            out += '"';
        }
    }
    return out;
}

// Reads one statement into a step; a message on failure.
class StepReader {
  public:
    StepReader(const Statement& statement, Step& step) : tokens_(statement.tokens), step_(step) {}

    std::optional<std::string> Read() {
        const std::string keyword = Lower(tokens_[0].text);
        index_ = 1;
        if (keyword == "wait-client") {
            step_.kind = StepKind::WaitClient;
            return ReadLimit();
        }
        if (keyword == "wait-command") {
            step_.kind = StepKind::WaitCommand;
            if (!Has()) {
                return "wait-command needs the TEXT to wait for";
            }
            step_.text = Take();
            if (step_.text.empty()) {
                return "wait-command needs a TEXT that is not empty";
            }
            return ReadLimit();
        }
        if (keyword == "wait-hangup") {
            step_.kind = StepKind::WaitHangup;
            return ReadLimit();
        }
        if (keyword == "sleep") {
            step_.kind = StepKind::Sleep;
            if (auto error = TakeMs(step_.ms)) {
                return error;
            }
            return Done();
        }
        if (keyword == "ring") {
            step_.kind = StepKind::Ring;
            step_.ms = kDefaultRingEveryMs;
            if (Has() && Lower(Peek()) != "every") {
                const std::optional<int> count = modem::ParseDigits(Take(), 1, 100000);
                if (!count) {
                    return "ring COUNT must be a number from 1 to 100000";
                }
                step_.count = *count;
            }
            if (Has() && Lower(Peek()) == "every") {
                Take();
                if (auto error = TakeMs(step_.ms)) {
                    return error;
                }
            }
            return Done();
        }
        if (keyword == "cid" || keyword == "call") {
            step_.kind = keyword == "cid" ? StepKind::CallerId : StepKind::Call;
            step_.count = kDefaultCallRings;
            step_.ms = kDefaultRingEveryMs;
            return ReadCallerId(keyword == "call");
        }
        if (keyword == "pickup" || keyword == "handset-hangup") {
            step_.kind = keyword == "pickup" ? StepKind::Pickup : StepKind::HandsetHangup;
            return Done();
        }
        if (keyword == "voice") {
            step_.kind = StepKind::Voice;
            return ReadVoice();
        }
        if (keyword == "remote-hangup") {
            step_.kind = StepKind::RemoteHangup;
            return ReadRemoteHangup();
        }
        if (keyword == "dial-answer") {
            step_.kind = StepKind::DialAnswer;
            return ReadDialAnswer();
        }
        if (keyword == "raw") {
            step_.kind = StepKind::Raw;
            if (!Has()) {
                return "raw needs the TEXT to send";
            }
            step_.text = Take();
            return Done();
        }
        if (keyword == "repeat") {
            step_.kind = StepKind::Repeat;
            step_.count = 0;
            if (Has() && Lower(Peek()) != "every") {
                const std::optional<int> count = modem::ParseDigits(Take(), 1, 1000000);
                if (!count) {
                    return "repeat COUNT must be a number from 1 to 1000000";
                }
                step_.count = *count;
            }
            if (Has() && Lower(Peek()) == "every") {
                Take();
                if (auto error = TakeMs(step_.ms)) {
                    return error;
                }
            }
            return Done();
        }
        if (keyword == "end") {
            step_.kind = StepKind::End;
            return Done();
        }
        if (keyword == "exit") {
            step_.kind = StepKind::Exit;
            if (Has()) {
                const std::optional<int> code = modem::ParseDigits(Take(), 0, 255);
                if (!code) {
                    return "exit CODE must be a number from 0 to 255";
                }
                step_.exitCode = *code;
            }
            return Done();
        }
        return "unknown step \"" + tokens_[0].text + "\"";
    }

  private:
    bool Has() const { return index_ < tokens_.size(); }
    const std::string& Peek() const { return tokens_[index_].text; }
    std::string Take() { return tokens_[index_++].text; }

    std::optional<std::string> Done() {
        if (Has()) {
            return "unexpected \"" + Peek() + "\"";
        }
        return std::nullopt;
    }

    std::optional<std::string> TakeMs(int& ms) {
        if (!Has()) {
            return std::string("a time in milliseconds is missing");
        }
        const std::string text = Take();
        const std::optional<int> value = modem::ParseDigits(text, 0, kMaxMs);
        if (!value) {
            return "\"" + text + "\" is not a time in milliseconds (0 to 86400000)";
        }
        ms = *value;
        return std::nullopt;
    }

    std::optional<std::string> ReadLimit() {
        if (!Has()) {
            return std::nullopt;
        }
        const std::string word = Lower(Take());
        if (word != "timeout" && word != "max") {
            return "expected \"timeout MS\" or \"max MS\", not \"" + word + "\"";
        }
        step_.limit = word == "timeout" ? WaitLimit::Fail : WaitLimit::GiveUp;
        if (auto error = TakeMs(step_.limitMs)) {
            return error;
        }
        return Done();
    }

    std::optional<std::string> ReadCallerId(bool call) {
        bool rawGiven = false;
        while (Has()) {
            const std::string token = Take();
            const std::size_t equals = token.find('=');
            if (equals == std::string::npos) {
                return "expected KEY=VALUE, not \"" + token + "\"";
            }
            const std::string key = Lower(token.substr(0, equals));
            const std::string value = token.substr(equals + 1);
            CallerIdMessage& message = step_.callerId;
            if (key == "name") {
                message.name = value;
            } else if (key == "number") {
                message.number = value;
            } else if (key == "date" || key == "time") {
                if (!FourDigits(value)) {
                    return key + " must be four digits (" + (key == "date" ? "MMDD" : "HHMM") + ")";
                }
                (key == "date" ? message.date : message.time) = value;
            } else if (key == "format") {
                message.format = KeywordValue(value, kCidFormats);
                if (!message.format) {
                    return "unknown caller ID format \"" + value +
                           "\" (spaces, nospaces, oneline, mdmf, sdmf, mesg, raw)";
                }
            } else if (key == "pace") {
                const std::optional<int> ms = modem::ParseDigits(value, 0, 10000);
                if (!ms) {
                    return std::string("pace must be a time from 0 to 10000 milliseconds");
                }
                message.paceMs = *ms;
            } else if (key == "raw") {
                message.raw = value;
                rawGiven = true;
            } else if (call && key == "rings") {
                const std::optional<int> rings = modem::ParseDigits(value, 0, 100000);
                if (!rings) {
                    return std::string("rings must be a number from 0 to 100000");
                }
                step_.count = *rings;
            } else if (call && key == "every") {
                const std::optional<int> ms = modem::ParseDigits(value, 0, kMaxMs);
                if (!ms) {
                    return std::string("every must be a time in milliseconds");
                }
                step_.ms = *ms;
            } else if (call && key == "cid") {
                const std::optional<CidPlacement> placement = KeywordValue(value, kCidPlacements);
                if (!placement) {
                    return "cid must be after-first, before or none, not \"" + value + "\"";
                }
                step_.placement = *placement;
            } else {
                return "unknown key \"" + key + "\"";
            }
        }
        CallerIdMessage& message = step_.callerId;
        if (rawGiven && !message.format) {
            message.format = CidFormat::Raw;
        }
        if (message.format == CidFormat::Raw && !rawGiven) {
            return std::string("format=raw needs raw=TEXT");
        }
        if (rawGiven && message.format != CidFormat::Raw) {
            return std::string("raw=TEXT goes with format=raw only");
        }
        return std::nullopt;
    }

    std::optional<std::string> ReadVoice() {
        if (!Has()) {
            return std::string("voice needs tone HZ, file PATH, pattern, silence or speech");
        }
        const std::string kind = Lower(Take());
        if (kind == "tone") {
            step_.voice = VoiceKind::Tone;
            if (!Has()) {
                return std::string("voice tone needs a frequency in Hz");
            }
            const std::optional<int> hz = modem::ParseDigits(Take(), 1, 3999);
            if (!hz) {
                return std::string("a tone's frequency must be from 1 to 3999 Hz");
            }
            step_.hz = *hz;
        } else if (kind == "file") {
            step_.voice = VoiceKind::File;
            if (!Has() || Peek().empty()) {
                return std::string("voice file needs a PATH");
            }
            step_.text = Take();
        } else if (kind == "pattern") {
            step_.voice = VoiceKind::Pattern;
        } else if (kind == "silence") {
            step_.voice = VoiceKind::Silence;
        } else if (kind == "speech") {
            step_.voice = VoiceKind::Speech;
        } else {
            return "unknown voice \"" + kind + "\" (tone, file, pattern, silence, speech)";
        }
        return Done();
    }

    std::optional<std::string> ReadRemoteHangup() {
        if (!Has()) {
            return std::string("remote-hangup needs busy, dialtone, loop, silence or etx");
        }
        const std::string kind = Take();
        const std::optional<RemoteHangupKind> hangup = KeywordValue(kind, kRemoteHangups);
        if (!hangup) {
            return "unknown remote hang-up \"" + Lower(kind) +
                   "\" (busy, dialtone, loop, silence, etx)";
        }
        step_.hangup = *hangup;
        if (step_.hangup == RemoteHangupKind::EndOfStream && Has() && Lower(Peek()) != "after") {
            const std::string result = Lower(Take());
            if (result == "no-carrier") {
                step_.endResult = ResultCode::NoCarrier;
            } else if (result == "error") {
                step_.endResult = ResultCode::Error;
            } else if (result != "ok") {
                return "remote-hangup etx takes ok, no-carrier or error, not \"" + result + "\"";
            }
        }
        if (step_.hangup == RemoteHangupKind::EndOfStream && Has() && Lower(Peek()) == "after") {
            Take();
            if (auto error = TakeMs(step_.ms)) {
                return error;
            }
        }
        return Done();
    }

    std::optional<std::string> ReadDialAnswer() {
        if (!Has()) {
            return std::string("dial-answer needs answered, busy, no-answer or no-dialtone");
        }
        const std::string kind = Take();
        const std::optional<DialOutcome> outcome = KeywordValue(kind, kDialAnswers);
        if (!outcome) {
            return "unknown dial answer \"" + Lower(kind) +
                   "\" (answered, busy, no-answer, no-dialtone)";
        }
        step_.dial = *outcome;
        step_.ms = kDefaultDialDelayMs;
        if (Has()) {
            if (Lower(Take()) != "after") {
                return std::string("expected \"after MS\"");
            }
            if (auto error = TakeMs(step_.ms)) {
                return error;
            }
        }
        return Done();
    }

    const std::vector<Token>& tokens_;
    Step& step_;
    std::size_t index_ = 0;
};

}  // namespace

std::vector<ParseError> AppendScenario(Scenario& scenario, std::string_view text,
                                       const std::string& source, const std::string& baseDir) {
    std::vector<ParseError> errors;
    std::vector<std::string> lexErrors;
    std::vector<int> lexLines;
    const std::vector<Statement> statements = Lexer(text, lexErrors, lexLines).Run();
    for (std::size_t i = 0; i < lexErrors.size(); ++i) {
        errors.push_back({source, lexLines[i], lexErrors[i]});
    }

    const std::size_t offset = scenario.steps.size();
    std::vector<Step> steps;
    std::vector<std::size_t> open;  // indices of repeats without their end yet
    for (const Statement& statement : statements) {
        Step step;
        step.source = source;
        step.line = statement.line;
        step.display = Display(statement);
        if (std::optional<std::string> message = StepReader(statement, step).Read()) {
            errors.push_back({source, statement.line, *message});
            continue;
        }
        if (step.kind == StepKind::Voice && step.voice == VoiceKind::File && !step.text.empty() &&
            step.text[0] != '/' && !baseDir.empty()) {
            step.text = baseDir + "/" + step.text;
        }
        if (step.kind == StepKind::Repeat) {
            open.push_back(steps.size());
        } else if (step.kind == StepKind::End) {
            if (open.empty()) {
                errors.push_back({source, statement.line, "end without repeat"});
                continue;
            }
            step.partner = offset + open.back();
            steps[open.back()].partner = offset + steps.size();
            open.pop_back();
        }
        steps.push_back(std::move(step));
    }
    for (std::size_t index : open) {
        errors.push_back({source, steps[index].line, "repeat without end"});
    }
    std::sort(errors.begin(), errors.end(),
              [](const ParseError& a, const ParseError& b) { return a.line < b.line; });
    if (errors.empty()) {
        scenario.steps.insert(scenario.steps.end(), steps.begin(), steps.end());
    }
    return errors;
}

}  // namespace orvane::modemsim
