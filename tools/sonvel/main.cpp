// sonvel: the audio engine from the command line (devices, WAV file details,
// format conversion, recording, playback). No Qt: it links the engine only.

#include <cstring>
#include <iostream>
#include <string>

#include "audio/base/version.h"
#include "tools/sonvel/commands.h"

namespace sonvel::cli {
namespace {

constexpr Command kCommands[] = {
    {"devices", "", "list the input and output sound devices", RunDevices},
    {"info", "FILE...", "show the format and length of WAV files", RunInfo},
    {"convert",
     "IN OUT --to pcm|mulaw|alaw|gsm|ima|opus|flac [--rate N] [--bits 8|16] [--compact] "
     "[--title TEXT] [--date TEXT]",
     "convert a WAV file to another format, or to Ogg Opus or FLAC", RunConvert},
    {"record",
     "FILE [--device N] [--format pcm|mulaw|alaw|gsm|ima] [--seconds S] [--buffer BYTES] "
     "[--meter]",
     "record 8 kHz mono from an input device until S seconds or Ctrl-C", RunRecord},
    {"play", "FILE [--device N] [--buffer BYTES]", "play a WAV file on an output device", RunPlay},
};

const Command* FindCommand(const std::string& name) {
    for (const Command& command : kCommands) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

void PrintUsage(std::ostream& out) {
    out << "Usage: sonvel COMMAND [ARGUMENTS]\n"
           "       sonvel --help | --version\n\nCommands:\n";
    for (const Command& command : kCommands) {
        out << "  " << command.name;
        if (*command.synopsis != '\0') {
            out << ' ' << command.synopsis;
        }
        out << "\n      " << command.summary << '\n';
    }
    out << "\nExit status: 0 success, 1 failure, 2 usage error.\n";
}

}  // namespace

int UsageError(std::ostream& err, const std::string& command, const std::string& message) {
    err << "sonvel: " << message << '\n';
    if (const Command* found = FindCommand(command)) {
        err << "Usage: sonvel " << found->name;
        if (*found->synopsis != '\0') {
            err << ' ' << found->synopsis;
        }
        err << '\n';
    } else {
        PrintUsage(err);
    }
    return kExitUsage;
}

}  // namespace sonvel::cli

int main(int argc, char** argv) {
    using namespace sonvel::cli;
    if (argc < 2) {
        return UsageError(std::cerr, "", "no command given");
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintUsage(std::cout);
        return kExitOk;
    }
    if (first == "--version") {
        std::cout << "sonvel " << sonvel::EngineVersion() << '\n';
        return kExitOk;
    }
    const Command* command = FindCommand(first);
    if (command == nullptr) {
        return UsageError(std::cerr, "", "unknown command '" + first + "'");
    }
    const Args args(argv + 2, argv + argc);
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::cout << "Usage: sonvel " << command->name << ' ' << command->synopsis << "\n  "
                      << command->summary << '\n';
            return kExitOk;
        }
    }
    const int status = command->run(args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout ? status : kExitFailure;
}
