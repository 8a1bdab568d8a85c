#pragma once
// The screening rules' own file in the user folder (Screening.txt): UTF-8
// text, one entry a line, fields split by tabs, so that it can be read and
// mended by hand. Replaced whole on each change. A file with lines that
// cannot be read is copied aside before the first write, and what could be
// read is used: nothing the user made is lost to a damaged file.
//
//     orvane-screening	1
//     everyone-else	always|never|ask
//     allow-list-mode	on|off
//     record	always|never|ask	number|contact|withheld|unknown	[value]
//     block	hangup|message	number|contact|withheld|unknown	[value]
//     allow	number|contact|withheld|unknown	[value]

#include <QByteArray>
#include <QString>

#include "calls/screening/screening_rules.h"

namespace orvane {

struct ScreeningText {
    ScreeningRules rules;
    int unreadLines = 0;  // lines that were neither empty, a comment, nor an entry
};

ScreeningText ParseScreening(const QByteArray& text);
QByteArray FormatScreening(const ScreeningRules& rules);

class ScreeningFile {
  public:
    // `path` is the file; empty keeps the rules in memory.
    explicit ScreeningFile(QString path = QString());
    // User folder + "/Screening.txt".
    static QString DefaultFile();
    const QString& Path() const { return path_; }

    enum class LoadOutcome {
        kLoaded,
        kMissing,   // no file: no rules, every call as before
        kSetAside,  // lines unread: the file copied to SetAsidePath(), the rest used
        kReadOnly,  // lines unread and not copied aside: never written over
    };
    // Reads the file (journaled when it cannot be read whole).
    LoadOutcome Load();
    const QString& SetAsidePath() const { return setAside_; }
    // Lines unread and not copied aside: the file is never written.
    bool ReadOnly() const { return readOnly_; }

    const ScreeningRules& Rules() const { return rules_; }
    // Writes the rules and takes them; false (LastError) when the file
    // could not be written, and the running rules stay as they were, so a
    // dialog whose OK failed can still be cancelled.
    bool Save(const ScreeningRules& rules);
    const QString& LastError() const { return lastError_; }

    // "Block this number": a block entry for `number` as the line sent it
    // (its digits), saved at once. An allow entry for the same number would
    // win over it, so it goes.
    enum class BlockOutcome {
        kBlocked,
        kAlreadyBlocked,       // a block entry covers it already: nothing changes
        kNoNumber,             // no digit in it
        kNotSaved,             // blocked for now, but the file was not written (LastError)
        kBlockedAndUnallowed,  // blocked, and taken off the allow list
    };
    BlockOutcome BlockNumber(const QString& number, const NumberPlan& plan);

  private:
    QString path_;
    ScreeningRules rules_;
    QString setAside_;
    QString lastError_;
    bool readOnly_ = false;
};

}  // namespace orvane
