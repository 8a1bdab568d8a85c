#pragma once
// The translation editor's work on language files: which names may become a
// translation, creating, renaming and deleting one, and changing one line of
// a language file while keeping every other byte of it. Translations come
// from the shipped folder (read-only) and the user's folder (a file there
// hides the shipped one of the same name); everything written goes to the
// user's folder. No widgets.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace orvane {

// Every translation, one entry per name: the regular, visible files of the
// user's translations folder, then those of the shipped folder the user has
// no file of that name for, each part sorted without regard to case.
QStringList ListTranslations();

// Whether the user's translations folder holds a file called `name` (one
// the user made, renamed or edited): only such a file can be renamed or
// deleted.
bool IsUserTranslation(const QString& name);

enum class NameCheck {
    kOk,
    kInvalid,  // would not be a plain file of the translations folder
    kTaken,    // another translation (the user's or a shipped one) has it,
               // whatever the letter case
};

// Whether `name` may name a new translation, or the translation `renaming`
// once renamed (its own name, in any case, does not count as taken). Empty,
// ".", "..", a leading ".", "/", NUL, other control characters and names
// over 255 bytes are invalid.
NameCheck CheckTranslationName(const QString& name, const QString& renaming = QString());

// Line 1 is "1": a translation made by the user. False for the basic
// translations and for a file that cannot be read.
bool IsEditableTranslation(const QString& name);
// Line 10 is exactly "RTL".
bool IsRightToLeftTranslation(const QString& name);

// One language file held byte for byte: each line with its own line end, so
// that changing one line writes back every other one exactly as it was.
enum class DocumentProblem { kNone, kUnreadable, kWrongLineCount, kLineTooLong, kNotUtf8 };

class LanguageDocument {
  public:
    // The file at `path`. A file that is not exactly kLanguageFileLines lines,
    // holds a line that is not UTF-8 or is too long, or cannot be read loads
    // as broken: Problem() says why, Save refuses, and the lines read are
    // still there to show.
    void Load(const QString& path);
    // A new file: line 1 "1", line 10 the direction, the rest empty; CR LF.
    static LanguageDocument NewTranslation(bool rightToLeft);

    bool IsBroken() const { return problem_ != DocumentProblem::kNone; }
    DocumentProblem Problem() const { return problem_; }

    // Line n (1 to kLanguageFileLines) as text; empty out of range.
    QString Line(int n) const;
    // Replaces the text of line n; a line break in it becomes the two
    // characters "\n", as language files write it. False out of range.
    bool SetLine(int n, const QString& text);

    // Writes the whole file to `path` crash-safe; false (the old file left
    // as it was) when broken or when the write fails.
    bool Save(const QString& path) const;

  private:
    QList<QByteArray> lines_;
    QList<QByteArray> ends_;
    bool bom_ = false;
    DocumentProblem problem_ = DocumentProblem::kUnreadable;
};

// Writes `document` as the user's translation `name`, making the user's
// translations folder when missing; a shipped file of that name is never
// touched (the user's copy hides it from then on). False when broken, when
// the name is not plain or when the write fails.
bool SaveUserTranslation(const LanguageDocument& document, const QString& name);

// kShipped: the name belongs to a shipped translation alone, which is
// never renamed nor deleted.
enum class FileChange { kDone, kInvalidName, kNameTaken, kShipped, kBroken, kFailed };

// A new user translation called `name`; never replaces an existing file.
FileChange CreateTranslation(const QString& name, bool rightToLeft);
// Renames the user translation `from` to `to` and sets its direction. The
// file under the new name is complete before the old one goes; a name taken
// by another translation is refused and both files stay.
FileChange RenameTranslation(const QString& from, const QString& to, bool rightToLeft);
// Moves the user translation `name` to the desktop's trash (removed where
// there is none); shipped translations stay.
FileChange DeleteTranslation(const QString& name);

}  // namespace orvane
