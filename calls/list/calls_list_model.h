#pragma once
// The calls list's rows: one per record of a recordings folder's call index
// file, in the thirteen columns the list's commands read back by number.
// The model holds rows compactly and sorts an index vector over keys
// computed once, so a folder of 100,000 calls builds and sorts at once.
//
// The rows follow a CallStore: a stored call inserts one row at its sorted
// place (found by binary search), a delete removes its rows, a written
// record changes its row, and only the store's reset (another folder,
// someone else's write) rebuilds them all. Views keep their selection and
// persistent indexes through everything but a reset.
//
// A filter (calls_filter.h) narrows the rows to the calls it lets through:
// the rows ARE the calls shown, so every command that works by row acts on
// a call the user sees, and a call not shown has no row (RowOf gives -1).
// Each row's search texts are folded when the row is made, so a change of
// the filter only scans them.

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "calls/list/calls_filter.h"
#include "calls/phonebook/phone_number.h"
#include "calls/store/call_deletion.h"
#include "calls/store/call_record.h"
#include "calls/store/stored_calls.h"
#include "calls/store/unrecorded_calls.h"

namespace orvane {

// Model columns; the list's column N is model column N - 1.
namespace calls_column {
inline constexpr int kSpareMark = 0;      // 1: icon only, hidden
inline constexpr int kUserMark = 1;       // 2: icon only
inline constexpr int kKind = 2;           // 3: length with the kind icon
inline constexpr int kCaller = 3;         // 4: name - number
inline constexpr int kDateTime = 4;       // 5: date and time in the running locale's form
inline constexpr int kExtra = 5;          // 6: hidden
inline constexpr int kMsgFile = 6;        // 7: MSGFILE, hidden
inline constexpr int kMsgPath = 7;        // 8: MSGPATH, hidden
inline constexpr int kIndex = 8;          // 9: INDEX, hidden
inline constexpr int kBody = 9;           // 10: the note, drawn as the preview line
inline constexpr int kCallerName = 10;    // 11: hidden
inline constexpr int kCallerNumber = 11;  // 12: hidden
inline constexpr int kSortedDate = 12;    // 13: SORTEDDATE, hidden
inline constexpr int kCount = 13;
}  // namespace calls_column

// Icon numbers of the list's image list.
namespace calls_icon {
inline constexpr int kNone = -1;
inline constexpr int kUserMark = 3;
inline constexpr int kSpareMark = 4;
inline constexpr int kAnsweredUnread = 7;
inline constexpr int kAnsweredRead = 8;
inline constexpr int kIncoming = 9;
inline constexpr int kOutgoing = 10;
}  // namespace calls_icon

inline constexpr int kCallsDefaultRowHeight = 22;
inline constexpr int kCallsNoteRed = 0;
inline constexpr int kCallsNoteGreen = 0;
inline constexpr int kCallsNoteBlue = 191;

// Extra row height for a note by its number of CR LF separated lines.
int NotesExtraHeight(const QString& note);
// A never-noted record holds NULs, which trimming keeps.
bool NotePresent(const QString& notes);
// The kind icon by the trimmed CallKind, or calls_icon::kNone.
int KindIcon(const QString& kind, bool unread);
// "MM/dd/yyyy hh:mm:ss" of a stored date and time in any known short-date
// form (core/stored_moment.h; `locale` orders an ambiguous day and month);
// text that does not read as a date and time comes back as it is
// (date + " " + time).
QString SortedDateText(const QString& date, const QString& time, const QLocale& locale = QLocale());

class CallsListModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Role {
        kIconRole = Qt::UserRole + 1,  // int: icon number or calls_icon::kNone
        kBoldRole,                     // bool: the call is unread
        kNoteExtraHeightRole,          // int: NotesExtraHeight, 0 without a note
        kRecordNumberRole,             // qint32: the call's record number
    };

    // A list over the program's store.
    explicit CallsListModel(CallStore& store, QObject* parent = nullptr);
    // A list over a store of its own with these file operations.
    explicit CallsListModel(CallStoreOps ops = {}, QObject* parent = nullptr);
    ~CallsListModel() override;

    CallStore& Store() { return *store_; }
    void SetStoreOps(CallStoreOps ops) { store_->SetOps(std::move(ops)); }
    void SetLocale(const QLocale& locale) { locale_ = locale; }

    // Has the store read the folder's index file anew (CallStore::Open):
    // every row is rebuilt, sorted as the user last chose. A view keeps its
    // selection across that reset by RefOf and RowOf (a row's number is
    // only its place, which a re-read may change).
    void CreateCallsList(const QString& folder);
    // The same from records already read (CallStore::Replace).
    void SetRecords(const std::vector<CallRecord>& records, const QString& folder);
    const QString& Folder() const { return folder_; }
    // Records of the last rebuild that could not be read
    // (IsReadableCallRecord): they are not listed, the file keeps them and
    // the other records keep their numbers.
    qint32 DamagedRecords() const { return damaged_; }
    // DamagedRecords when the user has not been told of that count for this
    // folder yet (the journal has been), else 0: a rebuild after every call
    // does not say it again.
    qint32 TakeDamageReport();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // Rows can be dragged out (their recordings), but not by the mark
    // column, whose press toggles the mark.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QString CellText(int row, int column) const;
    qint32 RecordNumber(int row) const;
    // Which call a row shows: its record number and its file's name.
    CallRef RefOf(int row) const;
    // The row showing that call now, or -1: the record number and the file
    // name agree, else the one row whose file has that name (the record
    // moved in the file).
    int RowOf(const CallRef& call) const;
    // The same for several calls, -1 for each call no longer listed.
    std::vector<int> RowsOf(const std::vector<CallRef>& calls) const;
    bool IsUnread(int row) const;
    bool HasNote(int row) const;
    // False for a call without a recording (blocked, or kept unrecorded by
    // its record rule): nothing to play, copy, export, drag, note or mark.
    bool HasRecording(int row) const;

    // Calls without a recording (unrecorded_calls.h) are listed from the
    // folder's own file with every rebuild, shown only under their kind of
    // the filter, and have record number 0. A delete of their rows removes
    // them from that file for good (no undo).
    // How many of that kind are listed, shown or not.
    int UnrecordedCount(UnrecordedKind kind) const;
    // Lists a call just entered in `folder`'s file, when that is the
    // folder listed.
    void AddUnrecordedCall(const QString& folder, const UnrecordedCall& call);

    // A header click: another column than the last one clicked sorts
    // ascending, the same one again reverses the direction; the date column
    // sorts by SORTEDDATE. Returns the column that shows the arrow, or -1
    // (icon-only columns show none).
    int HeaderClicked(int column);
    // Sorts as a click on that header would, in this direction (a restored
    // sort); the same return.
    int SortByHeader(int column, Qt::SortOrder order);
    // The header last clicked, -1 before any.
    int SortHeader() const { return sortHeader_; }
    const QString& SortState() const { return sortState_; }
    int SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return sortOrder_; }

    // Flips the user mark, writing "1" or "0" through the store.
    void ToggleUserMark(int row);
    bool HasUserMark(int row) const;
    // The user mark of several rows by one rule: all marked when any of
    // them is not, else all unmarked. Rows out of range are left out.
    void ToggleUserMarks(const std::vector<int>& rows);
    // Marks the rows read or unread and writes "1" / "0" into their
    // ReadFlag; `progress` is told each row's position as it goes.
    void MarkRows(const std::vector<int>& rows, bool read,
                  const std::function<void(int)>& progress = {});
    // Removes the calls of these rows through the store: their records in
    // one rewrite of the index file, their WAV files into the trash; the
    // store's callsRemoved takes their rows out. Returns false when the store
    // refused the delete (the rows stay). The delete can be undone.
    bool DeleteSelectedCalls(const std::vector<int>& rows,
                             const std::function<void(int)>& progress = {});
    // The same for these calls, wherever they are listed now; calls no
    // longer listed are left out.
    bool DeleteCalls(const std::vector<CallRef>& calls,
                     const std::function<void(int)>& progress = {});

    // Undo of the last deletes, newest first, while the list shows their
    // folder (a change of folder forgets them).
    bool CanUndoDelete() const { return !undo_.empty(); }
    // Brings the calls of the last delete back and lists them again; empty
    // when there is nothing to undo.
    std::optional<RestoredCalls> UndoDelete();

    // Shows only the calls `filter` lets through (a reset of the rows; views
    // keep the chosen calls that stay). A call stored meanwhile comes in only
    // when it matches; a call that changes stays shown until the filter
    // changes, so a call being played or noted never leaves under the
    // user's hands; calls brought back by UndoDelete are shown.
    void SetFilter(const CallsFilter& filter);
    const CallsFilter& Filter() const { return filter_; }
    // The calls shown (rowCount) and the calls listed without the filter.
    int ShownCount() const { return rowCount(); }
    int TotalCount() const { return static_cast<int>(rows_.size()); }

    // Where a caller's number has a name of the user's (the phone book),
    // the caller column shows that name in place of what the line sent, and
    // the search finds it; the record keeps what the line sent. Empty: no
    // names. Takes effect with the next rows made, or RefreshCallerNames.
    void SetCallerNames(std::function<QString(const QString& number)> nameFor);
    // How numbers are written where the user is, for the search.
    void SetNumberPlan(const NumberPlan& plan);
    // Asks every row's name again (the phone book changed).
    void RefreshCallerNames();

  Q_SIGNALS:
    void UndoDeleteAvailable(bool available);
    // ShownCount or TotalCount may have changed.
    void CountsChanged();

  private:
    // The row's texts share one string, so a row costs one allocation.
    // BookName and the search keys (CallSearchKeys) come last, so they can be
    // made again alone.
    enum class Part : quint8 {
        Duration,
        Name,
        Number,
        Date,
        Time,
        Extra,
        Notes,
        BookName,
        Folded,
        Digits,
        Normal,
        Count
    };
    struct Row {
        QString texts;
        quint16 ends[static_cast<int>(Part::Count)] = {};
        qint64 sortSeconds = 0;  // Julian day * 86400 + second of day; only with datedOk
        qint32 record = 0;
        qint8 kind = 0;
        qint8 noteExtra = 0;
        bool unread = false;
        bool userMark = false;
        bool spareMark = false;
        bool datedOk = false;
        bool shown = true;      // the filter lets it through (or it stays, changed)
        quint8 unrecorded = 0;  // an UnrecordedKind for a call without a recording

        QStringView Get(Part which) const;
    };

    // What a row sorts by under the current sort: a number (moment, icon or
    // record number) and then a text.
    struct SortKey {
        qint64 number = 0;
        QString text;
    };

    Row MakeRow(const CallRecord& record, qint32 number) const;
    Row MakeUnrecordedRow(const UnrecordedCall& call) const;
    // The name CallRef holds for the row: its file's, or for a call without
    // one a key no file name can be.
    QString FileKeyOf(const Row& row) const;
    // Puts a made row at its sorted place, shown as its flag says.
    void InsertRow(Row added);
    // Takes out the rows at these places in rows_.
    void ErasePositions(const std::vector<bool>& removed);
    // Makes the row's phone-book name and search keys (again).
    void SetSearchParts(Row& row) const;
    bool Matches(const Row& row) const;
    // The row shown at view row `row`.
    const Row& At(int row) const {
        return rows_[static_cast<size_t>(shown_[static_cast<size_t>(row)])];
    }
    // The place in rows_ of record `number` shown or not, or -1.
    int PositionOfRecord(qint32 number) const;
    // The view row a shown place in rows_ has, or where it would go.
    int ViewRowOfPosition(int position) const;
    // Applies every row's shown flag to shown_ (rows_ reordered or refiltered).
    void RebuildShown();
    void MakeRecordMaps() const;
    // MakeRow with the row's moment read; false for a damaged record.
    bool MakeDatedRow(const CallRecord& record, qint32 number, Row& row) const;
    QString CellTextOf(const Row& row, int column) const;
    SortKey KeyOf(const Row& row) const;
    // `a` goes before `b` under the current sort and direction.
    bool Before(const SortKey& a, const SortKey& b) const;
    // The row of record `number`, or -1.
    int RowOfRecord(qint32 number) const;
    void OnReset();
    void OnCallAdded(qint32 number);
    void OnCallChanged(qint32 number);
    void OnCallsRemoved(const std::vector<qint32>& numbers);
    void RecordNumbersChanged();
    // Replaces every row with those `feed` hands to the row builder.
    void BuildRows(const QString& folder,
                   const std::function<void(const std::function<void(const CallRecord&)>&)>& feed);
    int IconOf(const Row& row, int column) const;
    // Returns the old place in rows_ of each row, in the new order.
    std::vector<int> SortRows();

    std::unique_ptr<CallStore> ownStore_;
    CallStore* store_ = nullptr;
    QLocale locale_;
    QString folder_;
    qint32 damaged_ = 0;
    QString damageToldFolder_;
    qint32 damageTold_ = 0;
    bool damageNews_ = false;
    std::vector<DeletedCalls> undo_;
    // Every listed call in the current sort; shown_ holds the places of
    // those shown, ascending: view row r is rows_[shown_[r]].
    std::vector<Row> rows_;
    std::vector<int> shown_;
    CallsFilter filter_;
    NumberPlan plan_;
    CallsMatcher matcher_;
    std::function<QString(const QString&)> nameFor_;
    bool restoring_ = false;  // UndoDelete is bringing calls back
    bool deleting_ = false;   // DeleteCalls is removing calls
    // View row and place in rows_ by record number, made when asked after
    // rows moved.
    mutable std::vector<int> rowOfRecord_;
    mutable std::vector<int> positionOfRecord_;
    mutable bool rowOfRecordValid_ = false;
    QString sortState_;
    int sortColumn_ = -1;
    int sortHeader_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

}  // namespace orvane
