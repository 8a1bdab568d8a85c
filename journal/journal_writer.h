#pragma once
// The journal: one text file per day and kind in the journal folder, where
// the program records line events and the failures of the telephony and
// audio controls. Writing never reports a failure to the caller.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>

#include "core/clock.h"

namespace orvane {

enum class JournalKind { All = 0, System = 1, Calls = 2 };

// Longest text taken from one value of a line; longer values are cut and
// end in "...".
inline constexpr qsizetype kJournalValueLimit = 1024;

class JournalWriter {
  public:
    // A journal in `folder` (a trailing "/" is optional). The clock must
    // outlive the writer. Both switches start off.
    JournalWriter(QString folder, const Clock& clock, QLocale locale = QLocale());

    // Set from the settings at start-up and whenever they change.
    void setSwitches(bool system, bool calls);
    bool systemOn() const { return systemOn_; }
    bool callsOn() const { return callsOn_; }

    // Tests of other folders pin the program-wide journal's time with this;
    // they must put SystemTime() back.
    void setClock(const Clock& clock) { clock_ = &clock; }

    // The folder, ending in "/".
    QString folder() const;
    QLocale locale() const;

    // Today's ISO day and the file names it gives, e.g. "2026-12-07_Sys.txt";
    // the same under every locale.
    QString dayText() const;
    QString systemFileName() const;
    QString callsFileName() const;

    // time : source->description(number). Line breaks in the values become
    // blanks and other control characters "?", so a call writes one line.
    void WriteSysLog(const QString& description, qint32 number, const QString& source);
    // An entry over several physical lines (the device details): the first
    // line carries time and source, the last one the number.
    void WriteSysLogLines(const QStringList& lines, qint32 number, const QString& source);
    // time : text, cleaned the same way.
    void WriteCallsLog(const QString& text);

    // Names of the regular, visible files of a kind, newest day first, by the
    // day their names read as; names that do not read as a day come last.
    QStringList ListLogFiles(JournalKind kind) const;
    // The lines of one journal file, without line ends (CR LF, LF or CR).
    // Empty when the name is not a plain file name of the folder.
    QStringList ReadLogFile(const QString& name) const;
    void DeleteLogFile(const QString& name) const;
    // Deletes every regular, visible file last modified at or before today's
    // midnight moved back by `months` calendar months, except "LogDir".
    // Nothing happens for months <= 0.
    void DeleteOldLogs(qint32 months) const;

  private:
    friend JournalWriter& ProgramJournal();
    struct FollowProgram {};
    explicit JournalWriter(FollowProgram);

    void appendEntry(const QString& fileName, const QString& entry) const;

    bool followProgram_ = false;
    QString folder_;
    const Clock* clock_;
    QLocale locale_;
    bool systemOn_ = false;
    bool callsOn_ = false;
};

// The program's journal: follows paths::JournalFolder() and QLocale() at
// every call, reads the system clock.
JournalWriter& ProgramJournal();

void SetJournalSwitches(bool system, bool calls);
void WriteSysLog(const QString& description, qint32 number, const QString& source);
void WriteSysLogLines(const QStringList& lines, qint32 number, const QString& source);
void WriteCallsLog(const QString& text);
void DeleteLogFile(const QString& name);
void DeleteOldLogs(qint32 months);

}  // namespace orvane
