#pragma once
// What the calls list is narrowed to: words the user typed, unread or
// marked calls only, one kind of call and a range of days. The words match
// a call's name, number, phone-book name and note, without regard to case
// or accents; a word that reads as a telephone number also matches the
// call's number in any of its written forms (0049 30 1234, +49 30 1234,
// 030 1234 and 1234 in area 30 are one number).
//
// The calls list folds each call's texts once, when its row is made
// (CallSearchKeys), so that a keystroke only scans them (CallsMatcher).

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>
#include <vector>

#include "calls/phonebook/phone_number.h"

namespace orvane {

// The kinds a call can be of, by the digit its record holds.
enum class CallKindChoice : quint8 {
    kAll = 0,
    kAnswered = 2,  // "2": answered, as older folders hold
    kIncoming = 3,  // "3"
    kOutgoing = 4,  // "4": a record call placed from the dialer
    // Calls without a recording (unrecorded_calls.h): listed only under
    // these two choices, so they never crowd the list of recordings.
    kBlocked = 101,
    kNotRecorded = 102,
};

struct CallsFilter {
    QString words;  // as typed; blank: any
    bool unreadOnly = false;
    bool markedOnly = false;
    CallKindChoice kind = CallKindChoice::kAll;
    QDate from;  // the first day shown; null: no first day
    QDate to;    // the last day shown, inclusive; null: no last day

    // Something narrows the list.
    bool IsActive() const;
    bool operator==(const CallsFilter&) const = default;
};

// `text` as the search compares it: compatibility-decomposed (NFKD), its
// combining marks (accents, Hebrew points) dropped, case-folded.
QString FoldedText(QStringView text);
// The same, appended to `out`.
void AppendFolded(QString& out, QStringView text);

// A call's texts as the search reads them, made once per row.
struct CallSearchKeys {
    QString folded;  // name, phone-book name and note, folded, one per line
    QString digits;  // the number's digits as written, without "+"
    QString normal;  // the number in its one form (NormalizedNumber)
};
CallSearchKeys MakeSearchKeys(QStringView name, QStringView number, QStringView bookName,
                              QStringView note, const NumberPlan& plan);

// What the filter sees of one call.
struct CallFacts {
    QStringView folded;
    QStringView digits;
    QStringView normal;
    int kind = 0;  // the kind digit, 0 for none
    // 0 for a recorded call, else the UnrecordedKind of a call without one.
    int unrecorded = 0;
    bool unread = false;
    bool marked = false;
    qint64 day = 0;  // Julian day; 0: the call's date could not be read
};

// A filter made ready for many calls: its words split and folded once.
class CallsMatcher {
  public:
    CallsMatcher() = default;
    CallsMatcher(const CallsFilter& filter, const NumberPlan& plan);

    // The filter lets every call through.
    bool MatchesAll() const { return !active_; }
    bool Matches(const CallFacts& call) const;

  private:
    // One word of the search; a run of number-like words ("030 1234")
    // is one word.
    struct Word {
        QString folded;
        QString digits;  // the digits of a number-like word, else empty
        QString normal;  // its NormalizedNumber where the plan has a country
    };
    bool WordMatches(const Word& word, const CallFacts& call) const;

    bool active_ = false;
    std::vector<Word> words_;
    bool unreadOnly_ = false;
    bool markedOnly_ = false;
    int kind_ = 0;
    int unrecorded_ = 0;  // which calls without a recording are shown: none by default
    qint64 from_ = 0;     // Julian days, 0: open
    qint64 to_ = 0;
};

}  // namespace orvane
