#include "calls/list/calls_list_model.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <limits>
#include <numeric>
#include <utility>

#include "calls/store/call_store.h"
#include "calls/store/unrecorded_calls.h"
#include "core/clock.h"
#include "core/stored_moment.h"
#include "journal/journal_writer.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kSortDescending = QStringLiteral("DESC");
// How many deletes Edit > Undo delete can bring back, newest first.
constexpr size_t kUndoDepth = 20;
constexpr int kNoteExtraHeights[] = {2, 18, 30, 42, 54};
constexpr qint64 kSecondsPerDay = 86400;
// A row's texts are indexed by 16-bit ends: a phone-book name, which comes
// from outside, is cut to this many characters, and so is a folded text
// that decomposition made longer.
constexpr qsizetype kBookNameLimit = 256;
constexpr qsizetype kSearchPartLimit = 8192;

// Day and time apart: a moment in a zone's clock change gap stays as stored.
QDate DayOf(qint64 seconds) {
    return QDate::fromJulianDay(seconds / kSecondsPerDay);
}

QTime TimeOf(qint64 seconds) {
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(seconds % kSecondsPerDay) * 1000);
}

QString SortedText(qint64 seconds) {
    const QDate day = QDate::fromJulianDay(seconds / kSecondsPerDay);
    const int second = static_cast<int>(seconds % kSecondsPerDay);
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(day.month(), 2, 10, QLatin1Char('0'))
        .arg(day.day(), 2, 10, QLatin1Char('0'))
        .arg(day.year(), 4, 10, QLatin1Char('0'))
        .arg(second / 3600, 2, 10, QLatin1Char('0'))
        .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(second % 60, 2, 10, QLatin1Char('0'));
}

qint8 KindNumber(std::string_view kind) {
    if (kind.size() == 1 && kind.front() >= '2' && kind.front() <= '4') {
        return static_cast<qint8>(kind.front() - '0');
    }
    return 0;
}

// UTF-8 text onto `text`; ASCII, the common case, needs no decoding.
void AppendUtf8(QString& text, std::string_view utf8) {
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        text += QLatin1StringView(utf8.data(), static_cast<qsizetype>(utf8.size()));
    } else {
        text += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    }
}

int KindIconOf(qint8 kind, bool unread) {
    switch (kind) {
        case 2:
            return unread ? calls_icon::kAnsweredUnread : calls_icon::kAnsweredRead;
        case 3:
            return calls_icon::kIncoming;
        case 4:
            return calls_icon::kOutgoing;
        default:
            return calls_icon::kNone;
    }
}

const QString kUnrecordedMomentForm = QStringLiteral("yyyy-MM-ddTHH:mm:ss");

QString UnrecordedKindText(UnrecordedKind kind) {
    return Text(kind == UnrecordedKind::kBlocked ? ids::kCallBlocked : ids::kCallNotRecorded);
}

}  // namespace

int NotesExtraHeight(const QString& note) {
    const qsizetype pieces = note.count(kCrLf) + 1;
    const qsizetype last = std::size(kNoteExtraHeights) - 1;
    return kNoteExtraHeights[std::min(pieces, last + 1) - 1];
}

bool NotePresent(const QString& notes) {
    const QString trimmed = notes.trimmed();
    return !trimmed.isEmpty() && !trimmed.at(0).isNull();
}

int KindIcon(const QString& kind, bool unread) {
    const QByteArray utf8 = kind.trimmed().toUtf8();
    return KindIconOf(
        KindNumber(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size()))), unread);
}

QString SortedDateText(const QString& date, const QString& time, const QLocale& locale) {
    StoredMomentReader reader(locale);
    qint64 seconds = 0;
    if (reader.Read({}, date, time, seconds)) {
        return SortedText(seconds);
    }
    return date + QLatin1Char(' ') + time;
}

CallsListModel::CallsListModel(CallStore& store, QObject* parent)
    : QAbstractTableModel(parent), store_(&store) {
    connect(store_, &CallStore::callsReset, this, &CallsListModel::OnReset);
    connect(store_, &CallStore::callAdded, this, &CallsListModel::OnCallAdded);
    connect(store_, &CallStore::callChanged, this, &CallsListModel::OnCallChanged);
    connect(store_, &CallStore::callsRemoved, this, &CallsListModel::OnCallsRemoved);
}

CallsListModel::CallsListModel(CallStoreOps ops, QObject* parent)
    : CallsListModel(*new CallStore(std::move(ops)), parent) {
    ownStore_.reset(store_);
}

CallsListModel::~CallsListModel() = default;

void CallsListModel::CreateCallsList(const QString& folder) {
    store_->Open(folder);
}

void CallsListModel::SetRecords(const std::vector<CallRecord>& records, const QString& folder) {
    store_->Replace(records, folder);
}

void CallsListModel::OnReset() {
    BuildRows(store_->Folder(), [this](const std::function<void(const CallRecord&)>& take) {
        for (qint32 number = 1; number <= store_->Count(); ++number) {
            take(store_->Record(number));
        }
    });
}

bool CallsListModel::MakeDatedRow(const CallRecord& record, qint32 number, Row& row) const {
    if (!IsReadableCallRecord(record)) {
        return false;
    }
    row = MakeRow(record, number);
    StoredMomentReader reader(locale_);
    row.datedOk = reader.Read(row.Get(Part::Extra), row.Get(Part::Date), row.Get(Part::Time),
                              row.sortSeconds);
    return true;
}

void CallsListModel::RecordNumbersChanged() {
    rowOfRecordValid_ = false;
    if (!rows_.empty()) {
        Q_EMIT dataChanged(index(0, calls_column::kIndex),
                           index(rowCount() - 1, calls_column::kIndex));
    }
}

void CallsListModel::OnCallAdded(qint32 number) {
    bool moved = false;
    for (Row& row : rows_) {
        if (row.record >= number) {
            ++row.record;
            moved = true;
        }
    }
    rowOfRecordValid_ = false;
    Row added;
    if (!MakeDatedRow(store_->Record(number), number, added)) {
        ++damaged_;
        if (moved) {
            RecordNumbersChanged();
        }
        return;
    }
    // Calls brought back by undo were shown when they were deleted.
    added.shown = restoring_ || Matches(added);
    InsertRow(std::move(added));
    if (moved) {
        RecordNumbersChanged();
    }
    Q_EMIT CountsChanged();
}

void CallsListModel::InsertRow(Row added) {
    const bool shown = added.shown;
    // Its place among rows already sorted: a binary search, not a sort.
    const SortKey key = KeyOf(added);
    const auto place = std::upper_bound(
        rows_.begin(), rows_.end(), key,
        [this](const SortKey& k, const Row& row) { return Before(k, KeyOf(row)); });
    const int position = static_cast<int>(place - rows_.begin());
    const int at = ViewRowOfPosition(position);
    if (shown) {
        beginInsertRows({}, at, at);
    }
    // A call not shown goes in unseen: the shown rows keep their calls.
    rows_.insert(place, std::move(added));
    for (auto later = shown_.begin() + at; later != shown_.end(); ++later) {
        ++*later;
    }
    if (shown) {
        shown_.insert(shown_.begin() + at, position);
    }
    rowOfRecordValid_ = false;
    if (shown) {
        endInsertRows();
    }
}

void CallsListModel::OnCallChanged(qint32 number) {
    const int position = PositionOfRecord(number);
    Row changed;
    if (position < 0 || !MakeDatedRow(store_->Record(number), number, changed)) {
        return;
    }
    // The row stays where it is: a mark or a note does not move it. A call
    // shown stays shown (the user is acting on it); a call not shown comes
    // in when it matches now.
    Row& row = rows_[static_cast<size_t>(position)];
    const bool wasShown = row.shown;
    changed.shown = wasShown || Matches(changed);
    const int at = ViewRowOfPosition(position);
    if (wasShown) {
        row = std::move(changed);
        Q_EMIT dataChanged(index(at, 0), index(at, calls_column::kCount - 1));
        return;
    }
    if (!changed.shown) {
        row = std::move(changed);
        return;
    }
    beginInsertRows({}, at, at);
    row = std::move(changed);
    shown_.insert(shown_.begin() + at, position);
    rowOfRecordValid_ = false;
    endInsertRows();
    Q_EMIT CountsChanged();
}

void CallsListModel::OnCallsRemoved(const std::vector<qint32>& numbers) {
    if (!deleting_) {
        // Someone else's removal (the retention rules): the deletes the
        // user may undo follow it, or their calls would come back elsewhere.
        FollowRemovedRecords(undo_, numbers);
    }
    std::vector<bool> removed(rows_.size(), false);
    size_t found = 0;
    for (qint32 number : numbers) {
        if (const int position = PositionOfRecord(number); position >= 0) {
            removed[static_cast<size_t>(position)] = true;
            ++found;
        }
    }
    ErasePositions(removed);
    damaged_ = std::max<qint32>(0, damaged_ - static_cast<qint32>(numbers.size() - found));
    for (Row& row : rows_) {
        const auto before = std::lower_bound(numbers.begin(), numbers.end(), row.record);
        row.record -= static_cast<qint32>(before - numbers.begin());
    }
    RecordNumbersChanged();
    Q_EMIT CountsChanged();
}

void CallsListModel::ErasePositions(const std::vector<bool>& removed) {
    std::vector<int> gone;  // view rows
    for (size_t position = 0; position < rows_.size(); ++position) {
        if (removed[position] && rows_[position].shown) {
            gone.push_back(ViewRowOfPosition(static_cast<int>(position)));
        }
    }
    std::sort(gone.begin(), gone.end());
    // From the bottom up, neighbouring rows as one removal. Views see the
    // rows through shown_ alone, so rows_ is compacted after them.
    for (auto last = gone.rbegin(); last != gone.rend();) {
        auto first = last;
        while (std::next(first) != gone.rend() && *std::next(first) == *first - 1) {
            ++first;
        }
        beginRemoveRows({}, *first, *last);
        shown_.erase(shown_.begin() + *first, shown_.begin() + *last + 1);
        rowOfRecordValid_ = false;
        endRemoveRows();
        last = std::next(first);
    }
    std::vector<int> newPosition(rows_.size(), -1);
    size_t kept = 0;
    for (size_t position = 0; position < rows_.size(); ++position) {
        if (removed[position]) {
            continue;
        }
        newPosition[position] = static_cast<int>(kept);
        if (kept != position) {
            rows_[kept] = std::move(rows_[position]);
        }
        ++kept;
    }
    rows_.erase(rows_.begin() + static_cast<qsizetype>(kept), rows_.end());
    for (int& position : shown_) {
        position = newPosition[static_cast<size_t>(position)];
    }
    rowOfRecordValid_ = false;
}

void CallsListModel::MakeRecordMaps() const {
    if (rowOfRecordValid_) {
        return;
    }
    qint32 highest = 0;
    for (const Row& row : rows_) {
        highest = std::max(highest, row.record);
    }
    const size_t size = static_cast<size_t>(std::max<qint32>(highest, 0)) + 1;
    positionOfRecord_.assign(size, -1);
    rowOfRecord_.assign(size, -1);
    for (size_t i = 0; i < rows_.size(); ++i) {
        const auto record = static_cast<size_t>(rows_[i].record);
        if (record < size) {
            positionOfRecord_[record] = static_cast<int>(i);
        }
    }
    for (size_t row = 0; row < shown_.size(); ++row) {
        const auto record = static_cast<size_t>(rows_[static_cast<size_t>(shown_[row])].record);
        if (record < size) {
            rowOfRecord_[record] = static_cast<int>(row);
        }
    }
    rowOfRecordValid_ = true;
}

int CallsListModel::RowOfRecord(qint32 number) const {
    MakeRecordMaps();
    return number > 0 && static_cast<size_t>(number) < rowOfRecord_.size()
               ? rowOfRecord_[static_cast<size_t>(number)]
               : -1;
}

int CallsListModel::PositionOfRecord(qint32 number) const {
    MakeRecordMaps();
    return number > 0 && static_cast<size_t>(number) < positionOfRecord_.size()
               ? positionOfRecord_[static_cast<size_t>(number)]
               : -1;
}

int CallsListModel::ViewRowOfPosition(int position) const {
    return static_cast<int>(std::lower_bound(shown_.begin(), shown_.end(), position) -
                            shown_.begin());
}

void CallsListModel::RebuildShown() {
    shown_.clear();
    shown_.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].shown) {
            shown_.push_back(static_cast<int>(i));
        }
    }
    rowOfRecordValid_ = false;
}

bool CallsListModel::Matches(const Row& row) const {
    if (row.unrecorded == 0 && matcher_.MatchesAll()) {
        return true;
    }
    CallFacts facts;
    facts.folded = row.Get(Part::Folded);
    facts.digits = row.Get(Part::Digits);
    facts.normal = row.Get(Part::Normal);
    facts.kind = row.kind;
    facts.unrecorded = row.unrecorded;
    facts.unread = row.unread;
    facts.marked = row.userMark;
    facts.day = row.datedOk ? row.sortSeconds / kSecondsPerDay : 0;
    return matcher_.Matches(facts);
}

void CallsListModel::SetFilter(const CallsFilter& filter) {
    if (filter == filter_) {
        return;
    }
    // A reset: views keep the chosen calls that stay by RefOf and RowOf.
    beginResetModel();
    filter_ = filter;
    matcher_ = CallsMatcher(filter_, plan_);
    for (Row& row : rows_) {
        row.shown = Matches(row);
    }
    RebuildShown();
    endResetModel();
    Q_EMIT CountsChanged();
}

void CallsListModel::SetCallerNames(std::function<QString(const QString& number)> nameFor) {
    nameFor_ = std::move(nameFor);
}

void CallsListModel::SetNumberPlan(const NumberPlan& plan) {
    if (plan == plan_) {
        return;
    }
    plan_ = plan;
    matcher_ = CallsMatcher(filter_, plan_);
    RefreshCallerNames();
}

void CallsListModel::RefreshCallerNames() {
    // Names may change the caller column's order and what the filter finds.
    beginResetModel();
    for (Row& row : rows_) {
        SetSearchParts(row);
        row.shown = Matches(row);
    }
    if (sortColumn_ >= 0) {
        SortRows();
    } else {
        RebuildShown();
    }
    endResetModel();
    Q_EMIT CountsChanged();
}

void CallsListModel::BuildRows(
    const QString& folder,
    const std::function<void(const std::function<void(const CallRecord&)>&)>& feed) {
    if (folder != folder_ && !undo_.empty()) {
        undo_.clear();  // the deletes of another folder
        Q_EMIT UndoDeleteAvailable(false);
    }
    beginResetModel();
    folder_ = folder;
    rows_.clear();
    shown_.clear();
    rowOfRecordValid_ = false;
    StoredMomentReader reader(locale_);
    qint32 number = 0;
    damaged_ = 0;
    feed([&](const CallRecord& record) {
        ++number;  // a damaged record keeps its place: numbers are positions
        if (!IsReadableCallRecord(record)) {
            ++damaged_;
            return;
        }
        Row row = MakeRow(record, number);
        row.datedOk = reader.Read(row.Get(Part::Extra), row.Get(Part::Date), row.Get(Part::Time),
                                  row.sortSeconds);
        row.shown = Matches(row);
        rows_.push_back(std::move(row));
    });
    for (const UnrecordedCall& call : ReadUnrecordedCalls(folder).calls) {
        Row row = MakeUnrecordedRow(call);
        row.shown = Matches(row);
        rows_.push_back(std::move(row));
    }
    if (sortColumn_ < 0) {
        // In record order they follow the records by their moment.
        const auto key = [](const Row& row) {
            return std::pair(row.unrecorded != 0, row.unrecorded != 0 ? row.sortSeconds : 0);
        };
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&key](const Row& a, const Row& b) { return key(a) < key(b); });
    }
    // Until the user first clicks a header the rows stay in record order.
    if (sortColumn_ >= 0) {
        SortRows();
    } else {
        RebuildShown();
    }
    endResetModel();
    Q_EMIT CountsChanged();
    if (damaged_ > 0 && (folder != damageToldFolder_ || damaged_ != damageTold_)) {
        WriteSysLog(QStringLiteral("The call index %1 looks damaged: %2 of %3 records could not be "
                                   "read and are not listed; the file is left as it is")
                        .arg(CallIndexFile(folder))
                        .arg(damaged_)
                        .arg(number),
                    0, QStringLiteral("CreateCallsList"));
        damageNews_ = true;
    }
    damageToldFolder_ = folder;
    damageTold_ = damaged_;
}

qint32 CallsListModel::TakeDamageReport() {
    return std::exchange(damageNews_, false) ? damaged_ : 0;
}

QStringView CallsListModel::Row::Get(Part which) const {
    const int at = static_cast<int>(which);
    const qsizetype begin = at == 0 ? 0 : ends[at - 1];
    return QStringView(texts).sliced(begin, ends[at] - begin);
}

CallsListModel::Row CallsListModel::MakeRow(const CallRecord& record, qint32 number) const {
    // Straight from the stored bytes: a rebuild of 100,000 calls must not
    // make a dozen short-lived strings per call.
    const auto is = [&record](CallField field, std::string_view value) {
        return record.GetBytes(field) == value;
    };
    Row row;
    row.record = number;
    row.spareMark = is(CallField::SpareMark, "1");
    row.userMark = is(CallField::UserMark, "1");
    row.kind = KindNumber(record.GetBytes(CallField::CallKind));
    row.unread = !is(CallField::ReadFlag, "1");
    const std::string_view notesBytes = record.GetBytes(CallField::Notes);
    // A never-noted call's field is NULs; only a real note is decoded.
    QString notes;
    if (!notesBytes.empty() && notesBytes.front() != '\0') {
        notes = QString::fromUtf8(notesBytes.data(), static_cast<qsizetype>(notesBytes.size()));
        if (NotePresent(notes)) {
            row.noteExtra = static_cast<qint8>(NotesExtraHeight(notes));
        } else {
            notes.clear();
        }
    }
    const std::string_view parts[] = {
        row.kind != 0 ? record.GetBytes(CallField::Duration) : std::string_view(),
        record.GetBytes(CallField::CallerName),
        record.GetBytes(CallField::CallerNumber),
        record.GetBytes(CallField::CallDate),
        record.GetBytes(CallField::CallTime),
        record.GetBytes(CallField::ExtraText),
    };
    qsizetype length = notes.size();
    for (std::string_view part : parts) {
        length += static_cast<qsizetype>(part.size());
    }
    row.texts.reserve(length);
    int at = 0;
    for (std::string_view part : parts) {
        AppendUtf8(row.texts, part);
        row.ends[at++] = static_cast<quint16>(row.texts.size());
    }
    row.texts += notes;
    row.ends[at] = static_cast<quint16>(row.texts.size());
    SetSearchParts(row);
    return row;
}

void CallsListModel::SetSearchParts(Row& row) const {
    constexpr int kFirst = static_cast<int>(Part::BookName);
    row.texts.truncate(row.ends[kFirst - 1]);
    QString book = nameFor_ ? nameFor_(row.Get(Part::Number).toString()) : QString();
    book.truncate(kBookNameLimit);
    CallSearchKeys keys = MakeSearchKeys(row.Get(Part::Name), row.Get(Part::Number), book,
                                         row.Get(Part::Notes), plan_);
    keys.folded.truncate(kSearchPartLimit);
    row.texts.reserve(row.texts.size() + book.size() + keys.folded.size() + keys.digits.size() +
                      keys.normal.size());
    int at = kFirst;
    for (const QString* part : {&book, &keys.folded, &keys.digits, &keys.normal}) {
        row.texts += *part;
        row.ends[at++] = static_cast<quint16>(row.texts.size());
    }
}

int CallsListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int CallsListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : calls_column::kCount;
}

QString CallsListModel::CellText(int row, int column) const {
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    return CellTextOf(At(row), column);
}

QString CallsListModel::CellTextOf(const Row& r, int column) const {
    const auto text = [&r](Part which) { return r.Get(which).toString(); };
    namespace c = calls_column;
    switch (column) {
        case c::kKind:
            return text(Part::Duration);
        case c::kCaller:
            // The user's name for the number before what the line sent.
            return (r.Get(Part::BookName).isEmpty() ? text(Part::Name) : text(Part::BookName)) +
                   QStringLiteral(" - ") + text(Part::Number);
        case c::kDateTime:
            // Every row in the running locale's form, whatever locale wrote
            // it; a text no form reads is shown as stored.
            if (r.datedOk) {
                return ShortDateText(DayOf(r.sortSeconds), locale_) + QLatin1Char(' ') +
                       LongTimeText(TimeOf(r.sortSeconds), locale_);
            }
            return text(Part::Date) + QLatin1Char(' ') + text(Part::Time);
        case c::kExtra:
            return text(Part::Extra);
        case c::kMsgFile:
            if (r.unrecorded != 0) {
                return {};  // no recording
            }
            // Derived, as the store derives it, only when asked for.
            return CallFileNameIn(folder_, text(Part::Name), text(Part::Number), text(Part::Date),
                                  text(Part::Time));
        case c::kMsgPath:
            return folder_;
        case c::kIndex:
            return QString::number(r.record);
        case c::kBody:
            return text(Part::Notes);
        case c::kCallerName:
            return text(Part::Name);
        case c::kCallerNumber:
            return text(Part::Number);
        case c::kSortedDate:
            return r.datedOk ? SortedText(r.sortSeconds)
                             : text(Part::Date) + QLatin1Char(' ') + text(Part::Time);
        default:
            return {};
    }
}

int CallsListModel::IconOf(const Row& row, int column) const {
    switch (column) {
        case calls_column::kSpareMark:
            return row.spareMark ? calls_icon::kSpareMark : calls_icon::kNone;
        case calls_column::kUserMark:
            return row.userMark ? calls_icon::kUserMark : calls_icon::kNone;
        case calls_column::kKind:
            return KindIconOf(row.kind, row.unread);
        default:
            return calls_icon::kNone;
    }
}

QVariant CallsListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= calls_column::kCount) {
        return {};
    }
    const Row& row = At(index.row());
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return CellText(index.row(), column);
        case Qt::ToolTipRole:
            return column == calls_column::kCaller ? CellText(index.row(), column) : QVariant();
        case kIconRole:
            return IconOf(row, column);
        case kBoldRole:
            return row.unread;
        case Qt::FontRole:
            if (column <= calls_column::kExtra && row.unread) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ForegroundRole:
            if (column == calls_column::kBody) {
                return QColor(kCallsNoteRed, kCallsNoteGreen, kCallsNoteBlue);
            }
            return {};
        case kNoteExtraHeightRole:
            return static_cast<int>(row.noteExtra);
        case kRecordNumberRole:
            return row.record;
        default:
            return {};
    }
}

QVariant CallsListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    namespace c = calls_column;
    if (orientation == Qt::Horizontal &&
        (role == kIconRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)) {
        // The two narrow icon columns carry an icon, and name it in words
        // for the tool tip and for screen readers.
        const bool mark = section == c::kUserMark;
        if (!mark && section != c::kKind) {
            return role == kIconRole ? QVariant(calls_icon::kNone) : QVariant();
        }
        if (role == kIconRole) {
            return mark ? calls_icon::kUserMark : calls_icon::kIncoming;
        }
        return Text(mark ? ids::kHeaderUserMark : ids::kHeaderKind);
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case c::kCaller:
            return Text(ids::kHeaderCaller);
        case c::kDateTime:
            return Text(ids::kHeaderDateTime);
        case c::kExtra:
            return Text(ids::kHeaderExtra);
        case c::kMsgFile:
            return QStringLiteral("MSGFILE");
        case c::kMsgPath:
            return QStringLiteral("MSGPATH");
        case c::kIndex:
            return QStringLiteral("INDEX");
        case c::kCallerName:
            return QStringLiteral("CALLERNAME");
        case c::kCallerNumber:
            return QStringLiteral("CALLERNUMBER");
        case c::kSortedDate:
            return QStringLiteral("SORTEDDATE");
        default:
            return QString();
    }
}

qint32 CallsListModel::RecordNumber(int row) const {
    return row >= 0 && row < rowCount() ? At(row).record : 0;
}

CallRef CallsListModel::RefOf(int row) const {
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    return {At(row).record, FileKeyOf(At(row))};
}

QString CallsListModel::FileKeyOf(const Row& row) const {
    if (row.unrecorded == 0) {
        return CellTextOf(row, calls_column::kMsgFile);
    }
    // No file name holds a tab (caller ID's control characters become "_"),
    // so this names a call without a recording and never a file.
    return QStringLiteral("\t%1\t%2\t%3\t%4")
        .arg(row.unrecorded)
        .arg(row.Get(Part::Extra), row.Get(Part::Number), row.Get(Part::Name));
}

bool CallsListModel::HasRecording(int row) const {
    return row >= 0 && row < rowCount() && At(row).unrecorded == 0;
}

int CallsListModel::UnrecordedCount(UnrecordedKind kind) const {
    return static_cast<int>(std::count_if(rows_.begin(), rows_.end(), [kind](const Row& row) {
        return row.unrecorded == static_cast<quint8>(kind);
    }));
}

void CallsListModel::AddUnrecordedCall(const QString& folder, const UnrecordedCall& call) {
    if (folder != folder_) {
        return;  // entered in the folder it belongs to, which is not listed
    }
    Row row = MakeUnrecordedRow(call);
    row.shown = Matches(row);
    InsertRow(std::move(row));
    Q_EMIT CountsChanged();
}

CallsListModel::Row CallsListModel::MakeUnrecordedRow(const UnrecordedCall& call) const {
    Row row;
    row.unrecorded = static_cast<quint8>(call.kind);
    row.unread = false;
    const QString parts[] = {
        UnrecordedKindText(call.kind),  // in place of a length
        call.name,
        call.number,
        call.moment.date().toString(Qt::ISODate),
        call.moment.time().toString(QStringLiteral("HH:mm:ss")),
        call.moment.toString(kUnrecordedMomentForm),
        QString(),  // no note
    };
    int at = 0;
    for (const QString& part : parts) {
        row.texts += part;
        row.ends[at++] = static_cast<quint16>(row.texts.size());
    }
    row.datedOk = call.moment.isValid();
    row.sortSeconds = call.moment.date().toJulianDay() * kSecondsPerDay +
                      call.moment.time().msecsSinceStartOfDay() / 1000;
    SetSearchParts(row);
    return row;
}

int CallsListModel::RowOf(const CallRef& call) const {
    return RowsOf({call}).front();
}

std::vector<int> CallsListModel::RowsOf(const std::vector<CallRef>& calls) const {
    std::vector<int> found(calls.size(), -1);
    if (calls.empty() || rows_.empty()) {
        return found;
    }
    // Record numbers first, and a file name made only for the rows asked
    // about.
    bool missing = false;
    for (size_t i = 0; i < calls.size(); ++i) {
        const int row = RowOfRecord(calls[i].number);
        if (row >= 0 && FileKeyOf(At(row)) == calls[i].fileName) {
            found[i] = row;
        } else {
            missing = true;
        }
    }
    if (!missing) {
        return found;
    }
    // A record that moved in the file (written by something else meanwhile)
    // is found by its file's name, when one row alone has it.
    QHash<QString, int> rowOfFile;
    QSet<QString> shared;
    for (int row = 0; row < rowCount(); ++row) {
        const QString name = FileKeyOf(At(row));
        if (rowOfFile.contains(name)) {
            shared.insert(name);
        }
        rowOfFile.insert(name, row);
    }
    for (size_t i = 0; i < calls.size(); ++i) {
        if (found[i] < 0 && !shared.contains(calls[i].fileName)) {
            found[i] = rowOfFile.value(calls[i].fileName, -1);
        }
    }
    return found;
}

bool CallsListModel::IsUnread(int row) const {
    return row >= 0 && row < rowCount() && At(row).unread;
}

bool CallsListModel::HasNote(int row) const {
    return row >= 0 && row < rowCount() && At(row).noteExtra != 0;
}

int CallsListModel::HeaderClicked(int column) {
    if (column < 0 || column >= calls_column::kCount) {
        return -1;
    }
    // Another column sorts ascending first; the same column again turns
    // its direction round.
    const bool again = column == sortHeader_ && sortOrder_ == Qt::AscendingOrder;
    return SortByHeader(column, again ? Qt::DescendingOrder : Qt::AscendingOrder);
}

int CallsListModel::SortByHeader(int column, Qt::SortOrder order) {
    if (column < 0 || column >= calls_column::kCount) {
        return -1;
    }
    const bool ascending = order == Qt::AscendingOrder;
    sortState_ = ascending ? kSortDescending : QString();
    sort(column == calls_column::kDateTime ? calls_column::kSortedDate : column, order);
    sortHeader_ = column;
    // Icon-only headers carry no arrow, also when a language leaves a text
    // header empty.
    return column <= calls_column::kKind ? -1 : column;
}

void CallsListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= calls_column::kCount) {
        return;
    }
    sortColumn_ = column;
    sortOrder_ = order;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> positions;  // in rows_
    positions.reserve(static_cast<size_t>(before.size()));
    for (const QModelIndex& index : before) {
        positions.push_back(shown_[static_cast<size_t>(index.row())]);
    }
    // Each row's new place by its old one: calls without a recording have
    // no record number to be found by.
    const std::vector<int> was = SortRows();
    std::vector<int> moved(was.size());
    for (size_t i = 0; i < was.size(); ++i) {
        moved[static_cast<size_t>(was[i])] = static_cast<int>(i);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const int row =
            ViewRowOfPosition(moved[static_cast<size_t>(positions[static_cast<size_t>(i)])]);
        after.push_back(index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

Qt::ItemFlags CallsListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() != calls_column::kUserMark) {
        flags |= Qt::ItemIsDragEnabled;
    }
    return flags;
}

CallsListModel::SortKey CallsListModel::KeyOf(const Row& row) const {
    namespace c = calls_column;
    if (sortColumn_ < 0 || sortColumn_ == c::kIndex) {
        // Calls without a recording after the records, by their moment.
        return {
            row.unrecorded == 0 ? row.record : std::numeric_limits<qint32>::max() + row.sortSeconds,
            {}};
    }
    if (sortColumn_ == c::kDateTime || sortColumn_ == c::kSortedDate) {
        // Dated rows first by their moment, then undated ones by their text
        // (a folder written under another locale may have no date this one
        // can read).
        if (row.datedOk) {
            return {row.sortSeconds, {}};
        }
        return {std::numeric_limits<qint64>::max(), CellTextOf(row, c::kDateTime)};
    }
    return {IconOf(row, sortColumn_), CellTextOf(row, sortColumn_).toCaseFolded()};
}

bool CallsListModel::Before(const SortKey& a, const SortKey& b) const {
    const SortKey& first = sortOrder_ == Qt::DescendingOrder ? b : a;
    const SortKey& second = sortOrder_ == Qt::DescendingOrder ? a : b;
    if (first.number != second.number) {
        return first.number < second.number;
    }
    return first.text < second.text;
}

std::vector<int> CallsListModel::SortRows() {
    const size_t count = rows_.size();
    // Each row's key made once, then an index vector sorted over them.
    std::vector<SortKey> keys(count);
    for (size_t i = 0; i < count; ++i) {
        keys[i] = KeyOf(rows_[i]);
    }
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return Before(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
    });
    std::vector<Row> sorted;
    sorted.reserve(count);
    for (int i : order) {
        sorted.push_back(std::move(rows_[static_cast<size_t>(i)]));
    }
    rows_ = std::move(sorted);
    RebuildShown();
    return order;
}

void CallsListModel::ToggleUserMark(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    const Row& r = At(row);
    if (r.record <= 0) {
        return;
    }
    // The store's callChanged redraws the row once the file took it.
    store_->SetUserMark(r.record, r.userMark ? QStringLiteral("0") : QStringLiteral("1"));
}

bool CallsListModel::HasUserMark(int row) const {
    return row >= 0 && row < rowCount() && At(row).userMark;
}

void CallsListModel::ToggleUserMarks(const std::vector<int>& rows) {
    std::vector<qint32> records;
    bool anyUnmarked = false;
    for (int row : rows) {
        // A call without a recording has no record to mark.
        if (row >= 0 && row < rowCount() && At(row).record > 0) {
            records.push_back(At(row).record);
            anyUnmarked = anyUnmarked || !HasUserMark(row);
        }
    }
    // By record number: each write's callChanged may move rows.
    const QString mark = anyUnmarked ? QStringLiteral("1") : QStringLiteral("0");
    for (qint32 record : records) {
        store_->SetUserMark(record, mark);
    }
}

void CallsListModel::MarkRows(const std::vector<int>& rows, bool read,
                              const std::function<void(int)>& progress) {
    const QString flag = read ? QStringLiteral("1") : QStringLiteral("0");
    // The calls first: a write may bring a row in or change rows (records
    // keep their numbers through a flag's write).
    std::vector<qint32> records;
    records.reserve(rows.size());
    for (int row : rows) {
        records.push_back(row >= 0 && row < rowCount() ? At(row).record : 0);
    }
    int position = 0;
    for (qint32 record : records) {
        ++position;
        if (record == 0) {
            continue;
        }
        if (progress) {
            progress(position);
        }
        store_->SetReadFlag(record, flag);
    }
}

bool CallsListModel::DeleteSelectedCalls(const std::vector<int>& rows,
                                         const std::function<void(int)>& progress) {
    std::vector<CallRef> calls;
    for (int row : rows) {
        if (row >= 0 && row < rowCount()) {
            calls.push_back(RefOf(row));
        }
    }
    return DeleteCalls(calls, progress);
}

bool CallsListModel::DeleteCalls(const std::vector<CallRef>& calls,
                                 const std::function<void(int)>& progress) {
    std::vector<int> chosen;
    for (int row : RowsOf(calls)) {
        if (row >= 0) {
            chosen.push_back(row);
        }
    }
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    // Calls without a recording leave their own file, for good.
    std::vector<UnrecordedCall> unrecorded;
    std::vector<CallRef> unrecordedRefs;
    std::erase_if(chosen, [&](int row) {
        const Row& r = At(row);
        if (r.unrecorded == 0) {
            return false;
        }
        unrecorded.push_back(
            {QDateTime::fromString(r.Get(Part::Extra).toString(), kUnrecordedMomentForm),
             static_cast<UnrecordedKind>(r.unrecorded), r.Get(Part::Number).toString(),
             r.Get(Part::Name).toString()});
        unrecordedRefs.push_back(RefOf(row));
        return true;
    });
    if (!unrecorded.empty()) {
        if (!RemoveUnrecordedCalls(folder_, unrecorded)) {
            return false;
        }
        std::vector<bool> removed(rows_.size(), false);
        for (int row : RowsOf(unrecordedRefs)) {
            if (row >= 0) {
                removed[static_cast<size_t>(shown_[static_cast<size_t>(row)])] = true;
            }
        }
        // The recorded calls' rows move up with the rows taken out.
        const std::vector<CallRef> recorded = [&] {
            std::vector<CallRef> refs;
            for (int row : chosen) {
                refs.push_back(RefOf(row));
            }
            return refs;
        }();
        ErasePositions(removed);
        Q_EMIT CountsChanged();
        chosen.clear();
        for (int row : RowsOf(recorded)) {
            if (row >= 0) {
                chosen.push_back(row);
            }
        }
    }
    if (chosen.empty()) {
        return true;
    }
    // The rows' calls in file order, as the progress reports them.
    std::vector<CallRef> sortedRefs;
    sortedRefs.reserve(chosen.size());
    for (int row : chosen) {
        sortedRefs.push_back(RefOf(row));
    }
    std::sort(sortedRefs.begin(), sortedRefs.end(),
              [](const CallRef& a, const CallRef& b) { return a.number < b.number; });
    // One rewrite of the index file; the WAV files follow only once their
    // records are gone, so a refused delete leaves every call playable. The
    // store's callsRemoved takes the rows out.
    deleting_ = true;
    std::optional<DeletedCalls> deleted = store_->Delete(sortedRefs, progress);
    deleting_ = false;
    if (!deleted) {
        return false;
    }
    if (!deleted->calls.empty()) {
        const bool before = !undo_.empty();
        undo_.push_back(std::move(*deleted));
        if (undo_.size() > kUndoDepth) {
            undo_.erase(undo_.begin());
        }
        if (!before) {
            Q_EMIT UndoDeleteAvailable(true);
        }
    }
    return true;
}

std::optional<RestoredCalls> CallsListModel::UndoDelete() {
    if (undo_.empty()) {
        return std::nullopt;
    }
    // The calls come back as the store's callAdded, each at its place, and
    // shown: they were when they were deleted.
    restoring_ = true;
    const auto doneRestoring = qScopeGuard([this] { restoring_ = false; });
    RestoredCalls restored = store_->Restore(undo_.back());
    if (restored.ok) {
        undo_.pop_back();
        if (undo_.empty()) {
            Q_EMIT UndoDeleteAvailable(false);
        }
    }
    return restored;
}

}  // namespace orvane
