#pragma once
// The journal's files and lines in the viewer's list boxes.

#include <QString>

#include "journal/journal_writer.h"

class QListWidget;

namespace orvane {

// Refills the list with the file names of a kind, newest day first, and
// selects the first one.
void FillLogFileList(QListWidget* list, JournalKind kind,
                     const JournalWriter& journal = ProgramJournal());

// Refills the list with the lines of one journal file; a file that cannot be
// read leaves the list empty.
void LoadLogFile(QListWidget* list, const QString& name,
                 const JournalWriter& journal = ProgramJournal());

}  // namespace orvane
