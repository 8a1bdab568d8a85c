#pragma once
// The program's start-up routine: decides from the command line and from
// whether another copy runs whether to start at all, loads the language,
// then loads the main window.

namespace orvane {

// Runs the program; returns the process exit code.
int RunStartup(int argc, char** argv);

// The language file named by "Language"/"Select", loaded into the string
// table; a name that would lead out of the translations folder loads
// nothing.
void LoadSelectedLanguage();

}  // namespace orvane
