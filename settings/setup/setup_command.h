#pragma once
// orvane-setup, the per-user set-up: makes the user's folders, every key of
// the settings schema, a recordings folder and the language choice, and
// brings over what an older copy kept in the program folder. Running it
// again changes nothing, and a value the user has is kept. The program
// folder is only read.

#include <QLocale>
#include <QStringList>
#include <QTextStream>

namespace orvane::setup {

// `arguments` without the program name; `systemLanguage` picks the shipped
// language file when --language is not given. Prints one line per change
// on `out`; returns 0, or 1 with a message on `err` when a folder or key
// cannot be made.
int RunSetup(const QStringList& arguments, QTextStream& out, QTextStream& err,
             QLocale::Language systemLanguage);

// The set-up without options and without the menu entry, as the program
// runs it at every start: quiet; false with a message on `err` when a
// folder or key cannot be made.
bool RunUserSetup(QTextStream& err, QLocale::Language systemLanguage);

// The application-menu entry for the program in `programFolder`.
QByteArray MenuEntryContent(const QString& programFolder);

// "German", "Hebrew" or "English": the shipped language file for a language.
QString LanguageFileFor(QLocale::Language language);

}  // namespace orvane::setup
