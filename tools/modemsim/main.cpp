// modemsim: a Hayes voice modem on a pseudo-terminal, for users without a
// modem and for the tests. Prints the terminal's path, then answers AT
// commands and plays the calls of a scenario on the line.

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/modemsim/emulator.h"
#include "tools/modemsim/scenario.h"
#include "tools/modemsim/voice_source.h"

#ifndef MODEMSIM_VERSION
#define MODEMSIM_VERSION "0"
#endif

namespace orvane::modemsim {
namespace {

constexpr std::size_t kMaxScriptBytes = 16 * 1024 * 1024;

const char kOptions[] = R"(Usage: modemsim [OPTIONS]

A Hayes voice modem on a pseudo-terminal. The first line of output is the
terminal's path: open it as the modem's serial port. The modem answers AT
commands (ITU V.253 "+V" voice commands, or the Rockwell "#" set) and plays
the steps of a scenario on its telephone line. Without steps it serves until
it is stopped (Ctrl-C, SIGTERM).

Options:
  --script FILE         run the steps in FILE (relative voice files are taken
                        from FILE's folder)
  -e STEPS              run STEPS, after those of --script; may be repeated
  --demo                run the built-in demonstration: every 20 s a call with
                        two rings, caller ID "Alice Example" 5551234, handset
                        pick-up, 10 s of speech-like sound, remote hang-up
  --link PATH           make PATH a symbolic link to the terminal (a link that
                        is there is replaced, anything else refused); removed
                        at exit
  --dialect v253|rockwell|lucent|conexant|usr5637
                        the voice command set (default v253); lucent is v253
                        that names itself Lucent; conexant and usr5637 are
                        v253 modems with the formats, identity and quirks of
                        a Conexant CX93001 stick and a U.S. Robotics 5637
  --abort-repeats N     a voice receive ends only on the Nth <DLE>! the client
                        sends (1 to 9, default 1), as on U.S. Robotics 5637
                        units that miss the first
  --cid-needs-standard  conexant: no caller ID until AT!4886= chose a
                        caller-ID standard (firmware of another region)
  --refuse NAMES        extended commands this firmware lacks, e.g. VPR,VIT
                        (each answers ERROR, and so does a line holding one)
  --echo on|off         command echo after power-on and ATZ (default on)
  --ring-text           in voice mode send a "RING" line with each <DLE>R
  --dle-abort-only      a voice receive ends only on <DLE>!, also in the
                        rockwell dialect (whose default also takes a bare !)
  --ignore-abort        nothing the client sends ends a voice receive (a hung
                        firmware; only the far end or the scenario ends it)
  --adpcm-only          rockwell dialect: only 2- to 4-bit ADPCM samples
                        (#VBS=8 and 16 refused)
  --speed N             send voice data N times faster than real time
                        (1 to 1000, default 1)
  --modem-buffer BYTES  sound the client has not read yet (in the terminal and
                        the modem) beyond BYTES is lost, as on a real modem
                        whose host stops reading (default: no limit)
  --transmit-rate BYTES take at most BYTES a second from the client during a
                        voice transmit, as over a slow link; below the
                        sound's own rate the modem's buffer runs dry (a
                        conexant modem reports <DLE>u) (default: no limit)
  --transmit-buffer BYTES
                        a voice transmit holds BYTES of sound not yet played;
                        what the client writes beyond that is lost, as on a
                        serial line without flow control (default: no limit)
  --stay                keep serving when the steps are done
  --log FILE            write a transcript of both directions ("-": stderr)
  --played FILE         write what voice transmits (AT+VTX, #VTX) played to
                        the line as a 16-bit 8000 Hz mono WAV file, replaced
                        whole at the end of each transmit
  -h, --help            show this help
  --version             show the version

The emulator serves one client at a time and keeps the port exclusive while
it is open (root is not kept out). A client that closes the port and opens
it again finds the modem as after power-on.

Voice files are PCM WAV files, best 16-bit 8000 Hz mono; 8- or 16-bit PCM of
other rates and channel counts is mixed down and resampled, other formats are
refused. A file plays in a loop, at most its first 600 seconds.

Exit status: 0 done (also when stopped by a signal), 1 failure, 2 usage error
(also a scenario that does not parse), 3 a wait timed out.

Scenario steps
--------------
)";

// A whole number of at most `digits` digits; -1 when `text` is none.
long WholeNumber(const std::string& text, std::size_t digits) {
    const bool ok = !text.empty() && text.size() <= digits &&
                    text.find_first_not_of("0123456789") == std::string::npos;
    return ok ? std::stol(text) : -1;
}

int Usage(const std::string& message) {
    std::cerr << "modemsim: " << message << "\nTry 'modemsim --help'.\n";
    return kExitUsage;
}

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    text = buffer.str();
    return !in.bad() && text.size() <= kMaxScriptBytes;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool AddScenario(Scenario& scenario, const std::string& text, const std::string& source,
                 const std::string& baseDir) {
    const std::vector<ParseError> errors = AppendScenario(scenario, text, source, baseDir);
    for (const ParseError& error : errors) {
        std::cerr << "modemsim: " << error.Text() << '\n';
    }
    return errors.empty();
}

int Main(int argc, char** argv) {
    EmulatorOptions options;
    std::string scriptPath;
    std::vector<std::string> inline_;
    bool demo = false;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> attached;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                attached = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
            }
        }
        auto value = [&](std::string& out) {
            if (attached) {
                out = *attached;
                return true;
            }
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "-h" || arg == "--help") {
            std::cout << kOptions << kScenarioGrammar;
            return kExitDone;
        }
        if (arg == "--version") {
            std::cout << "modemsim " MODEMSIM_VERSION "\n";
            return kExitDone;
        }
        if (arg == "--demo" || arg == "--ring-text" || arg == "--stay" ||
            arg == "--dle-abort-only" || arg == "--adpcm-only" || arg == "--ignore-abort" ||
            arg == "--cid-needs-standard") {
            if (attached) {
                return Usage(arg + " takes no value");
            }
            bool& flag = arg == "--demo"                 ? demo
                         : arg == "--stay"               ? options.stay
                         : arg == "--ring-text"          ? options.ringText
                         : arg == "--dle-abort-only"     ? options.dleAbortOnly
                         : arg == "--ignore-abort"       ? options.ignoreAbort
                         : arg == "--cid-needs-standard" ? options.callerIdNeedsStandard
                                                         : options.adpcmOnly;
            flag = true;
            continue;
        }
        if (arg != "--script" && arg != "-e" && arg != "--link" && arg != "--dialect" &&
            arg != "--echo" && arg != "--speed" && arg != "--log" && arg != "--refuse" &&
            arg != "--modem-buffer" && arg != "--abort-repeats" && arg != "--played" &&
            arg != "--transmit-rate" && arg != "--transmit-buffer") {
            return Usage("unknown option " + arg);
        }
        if (!value(text)) {
            return Usage(arg + " needs a value");
        }
        if (arg == "--script") {
            scriptPath = text;
        } else if (arg == "-e") {
            inline_.push_back(text);
        } else if (arg == "--link") {
            options.linkPath = text;
        } else if (arg == "--log") {
            options.logPath = text;
        } else if (arg == "--played") {
            options.playedPath = text;
        } else if (arg == "--dialect") {
            if (text == "v253" || text == "V.253" || text == "v.253") {
                options.dialect = Dialect::V253;
            } else if (text == "rockwell") {
                options.dialect = Dialect::Rockwell;
            } else if (text == "lucent") {
                options.dialect = Dialect::Lucent;
            } else if (text == "conexant" || text == "usr5637") {
                options.dialect = Dialect::V253;
                options.model = text == "conexant" ? ModemModel::Conexant : ModemModel::Usr5637;
            } else {
                return Usage("--dialect is v253, rockwell, lucent, conexant or usr5637");
            }
        } else if (arg == "--abort-repeats") {
            if (text.size() != 1 || text[0] < '1' || text[0] > '9') {
                return Usage("--abort-repeats is a number from 1 to 9");
            }
            options.abortRepeats = text[0] - '0';
        } else if (arg == "--refuse") {
            std::size_t start = 0;
            while (start <= text.size()) {
                const std::size_t comma = std::min(text.find(',', start), text.size());
                std::string name = text.substr(start, comma - start);
                std::transform(name.begin(), name.end(), name.begin(),
                               [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
                if (!name.empty()) {
                    options.refused.push_back(name);
                }
                start = comma + 1;
            }
        } else if (arg == "--echo") {
            if (text != "on" && text != "off") {
                return Usage("--echo is on or off");
            }
            options.echo = text == "on";
        } else if (arg == "--speed") {
            const long speed = WholeNumber(text, 4);
            if (speed < 1 || speed > 1000) {
                return Usage("--speed is a whole number from 1 to 1000");
            }
            options.speed = static_cast<int>(speed);
        } else if (arg == "--modem-buffer") {
            const long bytes = WholeNumber(text, 9);
            if (bytes < 64) {
                return Usage("--modem-buffer is a number of bytes, at least 64");
            }
            options.modemBuffer = static_cast<std::size_t>(bytes);
        } else if (arg == "--transmit-rate") {
            const long rate = WholeNumber(text, 7);
            if (rate < 50) {
                return Usage("--transmit-rate is a number of bytes a second, at least 50");
            }
            options.transmitRate = static_cast<std::size_t>(rate);
        } else if (arg == "--transmit-buffer") {
            const long bytes = WholeNumber(text, 9);
            if (bytes < 64) {
                return Usage("--transmit-buffer is a number of bytes, at least 64");
            }
            options.transmitBuffer = static_cast<std::size_t>(bytes);
        }
    }
    if (demo && (!scriptPath.empty() || !inline_.empty())) {
        return Usage("--demo runs its own steps; leave out --script and -e");
    }
    if ((options.linkPath.empty() ? false : options.linkPath.back() == '/')) {
        return Usage("--link needs the path of the link, not a folder");
    }

    std::unique_ptr<Scenario> scenario;
    if (demo || !scriptPath.empty() || !inline_.empty()) {
        scenario = std::make_unique<Scenario>();
        bool ok = true;
        if (demo) {
            ok = AddScenario(*scenario, kDemoScenario, "demo", "");
        }
        if (!scriptPath.empty()) {
            std::string text;
            if (!ReadFile(scriptPath, text)) {
                return Usage("cannot read the script " + scriptPath);
            }
            ok = AddScenario(*scenario, text, scriptPath, FolderOf(scriptPath)) && ok;
        }
        for (const std::string& text : inline_) {
            ok = AddScenario(*scenario, text, "-e", "") && ok;
        }
        if (!ok) {
            return kExitUsage;
        }
    }

    // The sound files are read before the port exists, so a bad file stops
    // the run before a client could see the modem.
    VoiceFiles files;
    if (scenario) {
        for (const Step& step : scenario->steps) {
            if (step.kind != StepKind::Voice || step.voice != VoiceKind::File ||
                files.count(step.text) != 0) {
                continue;
            }
            WavLoad load = LoadWavFile(step.text);
            if (!load.samples) {
                std::cerr << "modemsim: " << step.Where() << ": " << load.error << '\n';
                return kExitFailure;
            }
            if (!load.note.empty()) {
                std::cerr << "modemsim: " << step.text << ": " << load.note << '\n';
            }
            files[step.text] = load.samples;
        }
    }

    Emulator emulator(options, std::move(scenario), std::move(files));
    return emulator.Run(std::cout, std::cerr);
}

}  // namespace
}  // namespace orvane::modemsim

int main(int argc, char** argv) {
    return orvane::modemsim::Main(argc, argv);
}
