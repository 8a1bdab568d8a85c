#pragma once
// Reading language files: one string per line, the line number being the
// string's id. Shared by the program's string table and the translation
// editor, so both see the same lines in the same damaged files.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

namespace orvane {

// Failures are reported with the run-time error numbers the program has
// always used for them, since callers and journals compare against these.
namespace file_error {
inline constexpr qint32 kNone = 0;
inline constexpr qint32 kBadFileName = 52;
inline constexpr qint32 kFileNotFound = 53;
inline constexpr qint32 kDeviceIo = 57;
inline constexpr qint32 kInputPastEndOfFile = 62;
inline constexpr qint32 kPathFileAccess = 75;
inline constexpr qint32 kPathNotFound = 76;
}  // namespace file_error

// Layout of a language file.
inline constexpr int kLanguageFileLines = 1000;
inline constexpr int kEditableFlagLine = 1;
inline constexpr int kDirectionLine = 10;
inline const QString kEditableFlag = QStringLiteral("1");
inline const QString kRightToLeftMark = QStringLiteral("RTL");
inline const QString kLeftToRightMark = QStringLiteral("LTR");

// A longer line is cut to this many bytes (at a character boundary) and the
// rest of it skipped, so a huge or hostile file never sits in memory whole.
inline constexpr qsizetype kMaxLineBytes = 64 * 1024;

// The path of the translation called `name`: the user's translations
// folder plus the name when the user has a file of that name, else the
// shipped translations folder plus the name. A name that is not a plain
// file name (empty, ".", "..", a name with "/" or NUL) gives the shipped
// folder itself, which loads as nothing, exactly like a missing selection.
QString LanguageFilePath(const QString& name);
// Where the user's own file called `name` is written: always in the user's
// translations folder (the folder itself for a name that is not plain).
QString UserLanguageFilePath(const QString& name);

// Reads a text file line by line. A line ends at CR LF, at a lone CR or at
// a lone LF; the last line needs no line end. Bytes are UTF-8 (the locale's
// character set); invalid bytes become U+FFFD. A UTF-8 byte order mark at
// the start of the file is skipped.
class LanguageFileReader {
  public:
    LanguageFileReader() = default;
    LanguageFileReader(const LanguageFileReader&) = delete;
    LanguageFileReader& operator=(const LanguageFileReader&) = delete;

    // 0, or kBadFileName, kFileNotFound, kPathNotFound, or kPathFileAccess
    // for a folder, an unreadable file or anything but a regular file
    // (a pipe would block, a device would never end).
    qint32 Open(const QString& path);

    // 0 and the next line; kInputPastEndOfFile when no line is left;
    // kDeviceIo when reading fails. `line` is untouched on failure.
    qint32 ReadLine(QString& line);

  private:
    // False at end of file or on a read error (then error_ is set).
    bool Fill();

    QFile file_;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    bool atStart_ = true;
    bool skipLineFeed_ = false;
    qint32 error_ = file_error::kNone;
};

}  // namespace orvane
