#pragma once
// Qt's own texts (the buttons of message boxes, the file and folder
// dialogs, key names such as "Ctrl") in the language of the program's texts,
// from the translation catalogues that ship with Qt.

#include <QString>

namespace orvane {

// The Qt locale name ("de_DE", "he_IL") for the language file called
// `name`, or an empty text when no language matches. A language file says
// nothing of its language but its name, so the name decides: a language's
// English or own name in any case ("German", "deutsch", "עברית"), a locale
// code ("de", "pt_BR", "pt-BR"), or a name starting with a language's name
// ("German (formal)").
QString QtLocaleForLanguage(const QString& name);

// Replaces the Qt translator installed by an earlier call with Qt's
// catalogue for the language file called `name`, so the language can change
// while the program runs. Without a matching language or catalogue, Qt's
// texts stay English; the windows keep the program's own reading order
// rules (right_to_left.h). Returns whether a catalogue was installed.
bool UseQtTranslationsFor(const QString& name);

}  // namespace orvane
