#pragma once
// The user's phone book: names for numbers, imported from vCard files or
// given by hand ("Name this number"). Whoever shows a caller asks NameFor:
// a number written any way the user's number plan allows finds its name.
//
// The book lives in one vCard 4.0 file (PhoneBook.vcf in the user folder),
// replaced whole on each change, so it can be taken to another program. A
// file that cannot be read is copied aside before the book is written
// again: nothing the user made is lost to a damaged file.
//
// Import merges: a number named by hand keeps its hand name; a number an
// earlier import named takes the new import's name; the rest is added.
#include <QHash>
#include <QObject>
#include <QString>
#include <vector>

#include "calls/phonebook/phone_number.h"
#include "calls/phonebook/vcard_reader.h"

namespace orvane {

using PhoneBookEntry = VCardContact;

// What an import did, for the message to the user.
struct PhoneBookImport {
    VCardReadResult read;       // the reader's counts and outcome (contacts moved out)
    int contactsAdded = 0;      // new entries
    int numbersAdded = 0;       // numbers that now carry the imported name
    int numbersKeptByHand = 0;  // numbers named by hand, left as they were
    int numbersUnchanged = 0;   // numbers already there under the same name
};

class PhoneBook final : public QObject {
    Q_OBJECT
  public:
    // `path` is the book's file; an empty path keeps the book in memory.
    explicit PhoneBook(QString path = QString(), QObject* parent = nullptr);

    // User folder + "/PhoneBook.vcf".
    static QString DefaultFile();

    enum class LoadOutcome {
        kLoaded,
        kMissing,   // no file yet: an empty book
        kSetAside,  // unreadable: copied to SetAsidePath(), the book starts empty
        kReadOnly,  // unreadable and could not be copied aside: the book is
                    // empty and never writes over the file
    };
    // Reads the file (journaled when it cannot be read).
    LoadOutcome Load();
    // Where the unreadable file was copied; empty when none was.
    const QString& SetAsidePath() const { return setAside_; }

    NumberPlan Plan() const { return plan_; }
    // Numbers are compared in the plan's form from now on.
    void SetPlan(const NumberPlan& plan);

    // The name of the entry holding `number`, else empty.
    QString NameFor(const QString& number) const;
    // The entry holding `number`, else -1.
    int EntryOf(const QString& number) const;

    const std::vector<PhoneBookEntry>& Entries() const { return entries_; }

    // "Name this number": the name for `number` (an entry of its own, or
    // the entry that holds it), marked as given by hand. An empty name takes
    // the number out of the book. False when `number` has no digit or the
    // book could not be written (LastError).
    bool SetName(const QString& number, const QString& name);
    // Adds, replaces or removes a whole entry (the window's Add, Edit,
    // Remove); entries edited there count as named by hand.
    bool AddEntry(PhoneBookEntry entry);
    bool ReplaceEntry(int index, PhoneBookEntry entry);
    bool RemoveEntry(int index);

    // Merges the contacts of a vCard file; the book is written once.
    PhoneBookImport Import(const QString& vcardPath);
    PhoneBookImport Import(VCardReadResult read);

    // Why the last write failed; empty after a good one.
    const QString& LastError() const { return lastError_; }

  Q_SIGNALS:
    void changed();

  private:
    void Reindex();
    bool Save();
    bool Changed();
    // Takes `number` out of entry `index` (and the entry when it empties).
    void TakeNumberOut(int index, const QString& key);

    QString path_;
    NumberPlan plan_;
    std::vector<PhoneBookEntry> entries_;
    QHash<QString, int> index_;
    QString setAside_;
    QString lastError_;
    bool readOnly_ = false;
};

// The message after an import: how many cards and numbers were taken, how
// many skipped and why, and why reading stopped.
QString ImportReportText(const PhoneBookImport& import);

}  // namespace orvane
