#pragma once
// The program's command line. Only a command line that is exactly one of
// the switches counts: "-st " or "/st" start normally.

#include <QString>

namespace orvane {

enum class StartupMode {
    Normal,        // show the main window
    Hidden,        // "-st": only the tray icon (used at log-on)
    QuitRunning,   // "-uia": tell the running copy to quit, then end
    PrintHelp,     // "--help": print the usage on stdout, then end
    PrintVersion,  // "--version": print the version on stdout, then end
};

inline const QString kHiddenStartSwitch = QStringLiteral("-st");
inline const QString kQuitRunningSwitch = QStringLiteral("-uia");
inline const QString kHelpSwitch = QStringLiteral("--help");
inline const QString kVersionSwitch = QStringLiteral("--version");

// The text after the program name: the arguments joined by single blanks,
// so `orvane "-st "` and `orvane -st ""` both give "-st ".
QString CommandLineText(int argc, const char* const* argv);

StartupMode ParseCommandLine(const QString& commandLine);

}  // namespace orvane
