#pragma once
// A copy that ran from a writable program folder kept the journals, the
// general notes and the last numbers there. The first start that keeps them
// in the user folder brings them over: moved, or copied when the program
// folder cannot be changed. A file of the same name in the user folder is
// never replaced: the old one stays where it is, and the report says so.

#include <QString>
#include <QStringList>

namespace orvane::setup {

struct UpgradeReport {
    QStringList brought;  // the user folder's paths of what came over
    QStringList left;     // one line per old file left in place, for the user
};

// Program folder + "/Journal/*" into paths::JournalFolder().
void BringOldJournals(UpgradeReport& report);
// Program folder + "/Notes" and "/DialCalls" into the user folder.
void BringOldGeneralNotes(UpgradeReport& report);
void BringOldLastNumbers(UpgradeReport& report);

// Each of the above, once per user: a mark in the user folder remembers it
// was done, so a file left in place is told about once.
UpgradeReport BringOldUserFiles();

}  // namespace orvane::setup
