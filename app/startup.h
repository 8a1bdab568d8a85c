#pragma once
// The program's start-up routine: decides from the command line and from
// whether another copy runs whether to start at all, loads the language,
// then loads the main window.

#include <QString>

namespace orvane {

class MainWindow;

// Runs the program; returns the process exit code.
int RunStartup(int argc, char** argv);

// The application's name, version and desktop entry, once the application
// object exists.
void SetApplicationIdentity();
// The per-user set-up (settings/setup/setup_command.h), quiet: what went
// wrong, also written to stderr, or an empty text.
QString RunUserSetupQuietly();

// The language file named by "Language"/"Select", loaded into the string
// table over the built-in English texts (translation/selected_language.h);
// a name that would lead out of the translations folder names the folder.
// Returns what went wrong with the file, naming it, or an empty text.
QString LoadSelectedLanguage();

// Says once, in the journal and to the user, that the language file could
// not be read (`problem` from LoadSelectedLanguage); nothing when empty.
void ReportLanguageProblem(MainWindow& window, const QString& problem);

}  // namespace orvane
