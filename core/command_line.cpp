#include "core/command_line.h"

#include <QStringList>

namespace orvane {

QString CommandLineText(int argc, const char* const* argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments.join(QLatin1Char(' '));
}

StartupMode ParseCommandLine(const QString& commandLine) {
    if (commandLine == kQuitRunningSwitch) {
        return StartupMode::QuitRunning;
    }
    if (commandLine == kHiddenStartSwitch) {
        return StartupMode::Hidden;
    }
    if (commandLine == kHelpSwitch) {
        return StartupMode::PrintHelp;
    }
    if (commandLine == kVersionSwitch) {
        return StartupMode::PrintVersion;
    }
    return StartupMode::Normal;
}

}  // namespace orvane
