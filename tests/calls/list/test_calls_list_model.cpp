#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "calls/list/calls_columns_state.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "core/clock.h"
#include "core/stored_moment.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

namespace col = calls_column;

const QString kFolder = QStringLiteral("/calls/");
const QLocale kUnitedStates(QLocale::English, QLocale::UnitedStates);

struct Call {
    QString kind = QStringLiteral("3");
    QString name = QStringLiteral("Ann");
    QString number = QStringLiteral("555");
    QString date = QStringLiteral("12/7/26");
    QString time = QStringLiteral("4:34:54 PM");
    QString read = QStringLiteral("0");
    QString mark = QStringLiteral("0");
    QString notes;  // empty: never noted (NULs)
};

CallRecord Make(const Call& call) {
    CallRecord record;
    record.Set(CallField::UserMark, call.mark);
    record.Set(CallField::CallKind, call.kind);
    record.Set(CallField::CallerName, call.name);
    record.Set(CallField::CallerNumber, call.number);
    record.Set(CallField::CallDate, call.date);
    record.Set(CallField::CallTime, call.time);
    record.Set(CallField::Duration, QStringLiteral("0:01:23"));
    record.Set(CallField::ReadFlag, call.read);
    if (!call.notes.isEmpty()) {
        record.Set(CallField::Notes, call.notes);
    }
    return record;
}

// A store that keeps what the list asks of it.
struct FakeStore {
    std::vector<std::pair<qint32, QString>> flags;
    std::vector<std::pair<qint32, QString>> marks;
    std::vector<std::vector<qint32>> deletes;
    QStringList discarded;
    bool refuseDelete = false;

    CallStoreOps Ops() {
        CallStoreOps ops;
        ops.setReadFlag = [this](qint32 n, const QString& folder, const QString& v) {
            EXPECT_EQ(folder, kFolder);
            flags.emplace_back(n, v);
            return true;
        };
        ops.setUserMark = [this](qint32 n, const QString&, const QString& v) {
            marks.emplace_back(n, v);
            return true;
        };
        ops.deleteCalls =
            [this](std::vector<CallRef> calls, const QString& folder,
                   const std::function<void(int)>& progress) -> std::optional<DeletedCalls> {
            std::vector<qint32> numbers;
            for (const CallRef& call : calls) {
                numbers.push_back(call.number);
            }
            deletes.push_back(std::move(numbers));
            if (refuseDelete) {
                return std::nullopt;
            }
            DeletedCalls deleted;
            deleted.folder = folder;
            int at = 0;
            for (const CallRef& call : calls) {
                discarded << folder + call.fileName;
                DeletedCall gone;
                gone.number = call.number;
                gone.fileName = call.fileName;
                deleted.calls.push_back(gone);
                if (progress) {
                    progress(++at);
                }
            }
            return deleted;
        };
        return ops;
    }
};

class CallsListModelTest : public ::testing::Test {
  protected:
    CallsListModelTest() : model(store.Ops()) { model.SetLocale(kUnitedStates); }

    void Load(const std::vector<Call>& calls) {
        std::vector<CallRecord> records;
        for (const Call& call : calls) {
            records.push_back(Make(call));
        }
        model.SetRecords(records, kFolder);
    }
    QStringList Column(int column) const {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row) {
            texts << model.CellText(row, column);
        }
        return texts;
    }
    int Icon(int row, int column) const {
        return model.data(model.index(row, column), CallsListModel::kIconRole).toInt();
    }

    FakeStore store;
    CallsListModel model;
};

TEST_F(CallsListModelTest, KindGivesIconAndLengthAndReadLookSwapsOnlyTheAnsweredIcon) {
    struct Case {
        const char* kind;
        const char* read;
        int icon;
        int iconAfterToggle;
        bool length;
    } cases[] = {
        {"2", "0", calls_icon::kAnsweredUnread, calls_icon::kAnsweredRead, true},
        {"2", "1", calls_icon::kAnsweredRead, calls_icon::kAnsweredUnread, true},
        {"3", "0", calls_icon::kIncoming, calls_icon::kIncoming, true},
        {"4", "1", calls_icon::kOutgoing, calls_icon::kOutgoing, true},
        {"0", "0", calls_icon::kNone, calls_icon::kNone, false},
        {"7", "0", calls_icon::kNone, calls_icon::kNone, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + "/" + c.read);
        Call call;
        call.kind = QString::fromLatin1(c.kind);
        call.read = QString::fromLatin1(c.read);
        Load({call});
        EXPECT_EQ(Icon(0, col::kKind), c.icon);
        EXPECT_EQ(model.CellText(0, col::kKind).isEmpty(), !c.length);
        const bool unread = call.read != QLatin1String("1");
        EXPECT_EQ(model.data(model.index(0, col::kCaller), CallsListModel::kBoldRole).toBool(),
                  unread);
        model.MarkRows({0}, unread);  // the look follows the store's write
        EXPECT_EQ(Icon(0, col::kKind), c.iconAfterToggle);
    }
    EXPECT_EQ(store.flags.size(), std::size(cases));
}

TEST(CallsListNotes, ExtraHeightByLinesAndPresence) {
    const std::pair<const char*, int> heights[] = {
        {"one", 2},
        {"a\r\nb", 18},
        {"a\r\nb\r\nc", 30},
        {"a\r\nb\r\nc\r\nd", 42},
        {"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7", 54},
        {"lf\nonly", 2},
    };
    for (const auto& [note, height] : heights) {
        EXPECT_EQ(NotesExtraHeight(QString::fromLatin1(note)), height) << note;
    }
    EXPECT_FALSE(NotePresent(QString(256, QChar(0))));
    EXPECT_FALSE(NotePresent(QStringLiteral("   ")));
    EXPECT_TRUE(NotePresent(QStringLiteral(" call back ")));
}

TEST_F(CallsListModelTest, RowsCarryTheColumnsOtherCommandsReadBack) {
    Call noted;
    noted.notes = QStringLiteral("a\r\nb\r\nc");
    Load({Call{}, noted});
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 13);
    EXPECT_EQ(model.CellText(1, col::kCaller), QStringLiteral("Ann - 555"));
    EXPECT_EQ(model.CellText(1, col::kMsgFile), CallFileName(Make(noted)));
    EXPECT_EQ(model.CellText(1, col::kMsgPath), kFolder);
    EXPECT_EQ(Column(col::kIndex), QStringList({"1", "2"}));
    EXPECT_EQ(model.CellText(1, col::kBody), noted.notes);
    EXPECT_FALSE(model.HasNote(0));  // never noted: NULs
    EXPECT_EQ(model.data(model.index(1, col::kBody), CallsListModel::kNoteExtraHeightRole), 30);

    // Text beyond ASCII reads back whole; a note of line breaks only is none.
    Call foreign;
    foreign.name = QStringLiteral("Zoë Ōta");
    foreign.number = QStringLiteral("+81 3");
    foreign.notes = QStringLiteral("\r\n");
    Load({foreign});
    EXPECT_EQ(model.CellText(0, col::kCaller), QStringLiteral("Zoë Ōta - +81 3"));
    EXPECT_FALSE(model.HasNote(0));
    EXPECT_TRUE(model.CellText(0, col::kBody).isEmpty());
}

TEST(CallsListSortedDate, ReadsTheLocalesShortDateAndLongTime) {
    const QLocale german(QLocale::German, QLocale::Germany);
    struct Case {
        QLocale locale;
        const char* date;
        const char* time;
        const char* sorted;
    } cases[] = {
        {kUnitedStates, "12/7/26", "4:34:54 PM", "12/07/2026 16:34:54"},
        {kUnitedStates, "1/2/99", "12:05:01 AM", "01/02/1999 00:05:01"},
        {german, "07.12.26", "16:34:54", "12/07/2026 16:34:54"},
        // Forms of other locales read under any locale.
        {german, "12/13/26", "4:34:54 PM", "12/13/2026 16:34:54"},
        {kUnitedStates, "07.12.2026", "16:34:54", "12/07/2026 16:34:54"},
        {kUnitedStates, "7 Dec 2026", "16:34:54", "12/07/2026 16:34:54"},
        {kUnitedStates, "7. Dez. 2026", "16:34:54", "12/07/2026 16:34:54"},
        {kUnitedStates, "2026-12-07", "16:34:54", "12/07/2026 16:34:54"},
        {kUnitedStates, "\u200f7.12.2026", "4:34:54 \u05d0\u05d7\u05d4\u05f4\u05e6",
         "12/07/2026 16:34:54"},
        {QLocale(QStringLiteral("ko_KR")), "26. 12. 7.", "4:34:54 PM", "12/07/2026 16:34:54"},
        // Day and month: a number past 12 decides, else the running locale.
        {kUnitedStates, "13/12/2026", "16:34:54", "12/13/2026 16:34:54"},
        {kUnitedStates, "07/12/2026", "16:34:54", "07/12/2026 16:34:54"},
        {QLocale(QStringLiteral("en_GB")), "07/12/2026", "16:34:54", "12/07/2026 16:34:54"},
        {kUnitedStates, "someday", "4:34:54 PM", "someday 4:34:54 PM"},
        {kUnitedStates, "12/7/26", "teatime", "12/7/26 teatime"},
        {kUnitedStates, "12/7/26", "25:00:00", "12/7/26 25:00:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SortedDateText(QString::fromUtf8(c.date), QString::fromUtf8(c.time), c.locale),
                  QString::fromUtf8(c.sorted))
            << c.date << " " << c.time;
    }
}

// Calls recorded while LANG changed, listed under yet another locale as the
// program gets it (QLocale's default): newest first, one form for all rows.
TEST(CallsListAcrossLocales, SortAndShowByTheMomentNotByTheWritersLocale) {
    struct Written {
        const char* locale;
        QDateTime moment;
        bool iso;  // a new record carries the moment as ISO text too
    };
    const Written written[] = {
        {"C", QDateTime(QDate(2026, 12, 9), QTime(18, 5, 7)), false},
        {"en_US", QDateTime(QDate(2026, 12, 10), QTime(9, 0, 0)), true},  // "12/10/26"
        {"de_DE", QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59)), false},
        {"en_US", QDateTime(QDate(2026, 11, 30), QTime(13, 0, 0)), false},
        {"he_IL", QDateTime(QDate(2026, 12, 11), QTime(7, 30, 0)), false},
    };
    const QStringList newestFirst = {"4", "1", "0", "2", "3"};
    for (const char* running : {"en_GB", "C", "he_IL"}) {
        std::vector<CallRecord> records;
        for (size_t i = 0; i < std::size(written); ++i) {
            const QLocale writer(QString::fromLatin1(written[i].locale));
            Call call;
            call.name = QString::number(i);
            call.date = ShortDateText(written[i].moment.date(), writer);
            call.time = LongTimeText(written[i].moment.time(), writer);
            CallRecord record = Make(call);
            if (written[i].iso) {
                record.Set(CallField::ExtraText, IsoMomentText(written[i].moment));
            }
            records.push_back(record);
        }
        const QLocale locale{QString::fromLatin1(running)};
        QLocale::setDefault(locale);
        CallsListModel model;
        model.SetRecords(records, kFolder);
        model.HeaderClicked(col::kDateTime);
        model.HeaderClicked(col::kDateTime);
        QLocale::setDefault(QLocale::system());
        for (int row = 0; row < model.rowCount(); ++row) {
            const size_t which = model.CellText(row, col::kCallerName).toUInt();
            EXPECT_EQ(model.CellText(row, col::kCallerName), newestFirst[row]) << running;
            EXPECT_EQ(model.CellText(row, col::kDateTime),
                      ShortDateText(written[which].moment.date(), locale) + QLatin1Char(' ') +
                          LongTimeText(written[which].moment.time(), locale))
                << running;
        }
    }
}

TEST_F(CallsListModelTest, HeaderClicksSortAscendingFirstAndDateSortsBySortedDate) {
    Call a, b, c;
    a.name = QStringLiteral("Cid");
    a.date = QStringLiteral("1/5/26");
    b.name = QStringLiteral("ann");
    b.date = QStringLiteral("12/7/25");  // a text sort would put it last
    c.name = QStringLiteral("Bea");
    c.date = QStringLiteral("3/1/26");
    Load({a, b, c});
    EXPECT_EQ(Column(col::kIndex), QStringList({"1", "2", "3"}));  // record order until a click

    EXPECT_EQ(model.HeaderClicked(col::kDateTime), col::kDateTime);
    EXPECT_EQ(model.SortColumn(), col::kSortedDate);
    EXPECT_EQ(model.SortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(model.SortState(), QStringLiteral("DESC"));
    EXPECT_EQ(Column(col::kIndex), QStringList({"2", "1", "3"}));

    EXPECT_EQ(model.HeaderClicked(col::kDateTime), col::kDateTime);
    EXPECT_EQ(model.SortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(Column(col::kIndex), QStringList({"3", "1", "2"}));

    // Another column sorts ascending first.
    EXPECT_EQ(model.HeaderClicked(col::kCaller), col::kCaller);
    EXPECT_EQ(model.SortOrder(), Qt::AscendingOrder);
    EXPECT_EQ(Column(col::kCallerName), QStringList({"ann", "Bea", "Cid"}));

    // Icon-only headers get no arrow; a rebuild keeps the last sort.
    EXPECT_EQ(model.HeaderClicked(col::kKind), -1);
    EXPECT_EQ(model.HeaderClicked(col::kCaller), col::kCaller);
    Load({a, b, c});
    EXPECT_EQ(Column(col::kCallerName), QStringList({"ann", "Bea", "Cid"}));

    // Dates this locale cannot read follow the dated calls, by their text.
    Call later, sooner;
    later.date = QStringLiteral("the 9th");
    sooner.date = QStringLiteral("the 10th");
    Load({a, later, b, sooner, c});
    model.HeaderClicked(col::kDateTime);
    EXPECT_EQ(Column(col::kIndex), QStringList({"3", "1", "5", "4", "2"}));
    model.HeaderClicked(col::kDateTime);
    EXPECT_EQ(Column(col::kIndex), QStringList({"2", "4", "5", "1", "3"}));
}

// A click on another header sorts it ascending; the same header again
// turns the direction round.
TEST_F(CallsListModelTest, AHeaderSortsAscendingFirstThenTogglesItsOwnDirection) {
    Load({Call{}, Call{}});
    const struct {
        int column;
        Qt::SortOrder order;
    } clicks[] = {
        {col::kCaller, Qt::AscendingOrder},    {col::kDateTime, Qt::AscendingOrder},
        {col::kDateTime, Qt::DescendingOrder}, {col::kCaller, Qt::AscendingOrder},
        {col::kKind, Qt::AscendingOrder},      {col::kKind, Qt::DescendingOrder},
        {col::kKind, Qt::AscendingOrder},      {col::kUserMark, Qt::AscendingOrder},
    };
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.column);
        model.HeaderClicked(click.column);
        EXPECT_EQ(model.SortHeader(), click.column);
        EXPECT_EQ(model.SortOrder(), click.order);
    }
}

// The stored columns come back only when they name exactly the shown ones.
TEST(CallsColumnsState, AStoredStateThatDoesNotFitTheColumnsIsIgnored) {
    const std::vector<int> shown = {col::kUserMark, col::kKind, col::kCaller, col::kDateTime};
    const std::vector<CallsColumn> moved = {
        {col::kUserMark, 32}, {col::kKind, 100}, {col::kDateTime, 150}, {col::kCaller, 333}};
    EXPECT_EQ(ColumnsText(moved), QStringLiteral("2:32,3:100,5:150,4:333"));
    EXPECT_EQ(ColumnsFromText(ColumnsText(moved), shown), moved);
    for (const char* text :
         {"", "2:32,3:100,5:150", "2:32,3:100,5:150,4:333,6:10", "2:32,3:100,5:150,5:333",
          "2:32,3:100,5:150,7:333", "2:32,3:100,5:150,4:0", "2:32,3:100,5:150,4:99999",
          "2:32,3:100,5:150,4:x", "2:32;3:100;5:150;4:333", "2:32,3:100,5:150,4:+33",
          "2:32,3:100,5:150,4:33:1"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ColumnsFromText(QString::fromLatin1(text), shown), std::nullopt);
    }

    const CallsSort newest{col::kDateTime, Qt::DescendingOrder};
    EXPECT_EQ(SortText(newest), QStringLiteral("5 DESC"));
    EXPECT_EQ(SortFromText(SortText(newest), shown), newest);
    EXPECT_EQ(SortFromText(QStringLiteral("4 ASC"), shown),
              (CallsSort{col::kCaller, Qt::AscendingOrder}));
    for (const char* text : {"", "5", "5 desc", "5 DOWN", "13 ASC", "0 ASC", "5 DESC x"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(SortFromText(QString::fromLatin1(text), shown), std::nullopt);
    }
}

TEST_F(CallsListModelTest, UserMarkToggleWritesOneThenZero) {
    Call marked;
    marked.mark = QStringLiteral("1");
    Load({Call{}, marked});
    model.ToggleUserMark(1);
    EXPECT_EQ(Icon(1, col::kUserMark), calls_icon::kNone);
    model.ToggleUserMark(0);
    EXPECT_EQ(Icon(0, col::kUserMark), calls_icon::kUserMark);
    model.ToggleUserMark(7);  // no such row
    using Write = std::pair<qint32, QString>;
    EXPECT_EQ(store.marks, (std::vector<Write>{{2, "0"}, {1, "1"}}));
}

TEST_F(CallsListModelTest, MarkReadChangesOnlyTheSelectedRows) {
    Load({Call{}, Call{}, Call{}, Call{}});
    std::vector<int> progress;
    model.MarkRows({1, 3}, true, [&](int at) { progress.push_back(at); });
    EXPECT_EQ(progress, (std::vector<int>{1, 2}));
    using Write = std::pair<qint32, QString>;
    EXPECT_EQ(store.flags, (std::vector<Write>{{2, "1"}, {4, "1"}}));
    const std::vector<bool> unread = {model.IsUnread(0), model.IsUnread(1), model.IsUnread(2),
                                      model.IsUnread(3)};
    EXPECT_EQ(unread, (std::vector<bool>{true, false, true, false}));
    model.MarkRows({3}, false);
    EXPECT_TRUE(model.IsUnread(3));
    EXPECT_EQ(store.flags.back(), Write(4, "0"));
}

TEST_F(CallsListModelTest, DeletingRecordsThreeAndTwoShownNewestFirst) {
    Call first, second, third;
    first.name = QStringLiteral("One");
    first.date = QStringLiteral("1/1/26");
    second.name = QStringLiteral("Two");
    second.date = QStringLiteral("1/2/26");
    third.name = QStringLiteral("Three");
    third.date = QStringLiteral("1/3/26");
    Load({first, second, third});
    model.HeaderClicked(col::kDateTime);
    model.HeaderClicked(col::kDateTime);  // newest first
    ASSERT_EQ(Column(col::kIndex), QStringList({"3", "2", "1"}));

    store.refuseDelete = true;
    EXPECT_FALSE(model.DeleteSelectedCalls({0, 1}));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_TRUE(store.discarded.isEmpty());

    store.refuseDelete = false;
    std::vector<int> progress;
    EXPECT_TRUE(model.DeleteSelectedCalls({1, 0, 1}, [&](int at) { progress.push_back(at); }));
    EXPECT_EQ(store.deletes.back(), (std::vector<qint32>{2, 3}));  // in file order
    EXPECT_EQ(store.discarded, QStringList({kFolder + CallFileName(Make(second)),
                                            kFolder + CallFileName(Make(third))}));
    EXPECT_EQ(progress, (std::vector<int>{1, 2}));
    EXPECT_EQ(Column(col::kCallerName), QStringList({"One"}));
    EXPECT_EQ(Column(col::kIndex), QStringList({"1"}));

    // Deleting record 1 brings the later records' numbers down.
    Load({first, second, third});
    EXPECT_TRUE(model.DeleteSelectedCalls({2}));  // newest first still: record 1 is last
    EXPECT_EQ(Column(col::kIndex), QStringList({"2", "1"}));
    EXPECT_EQ(Column(col::kCallerName), QStringList({"Three", "Two"}));
}

TEST(CallsListModelStore, RebuildReadsTheFolderAndAnEmptyStoreListsNothing) {
    CallsListModel model;
    model.CreateCallsList(kFolder);
    EXPECT_EQ(model.rowCount(), 0);
    QString asked;
    CallStoreOps ops;
    ops.forEachRecord = [&](const QString& folder,
                            const std::function<void(const CallRecord&)>& visit) {
        asked = folder;
        for (const CallRecord& record : {Make(Call{}), CallRecord(), Make(Call{})}) {
            visit(record);
        }
    };
    model.SetStoreOps(ops);
    model.CreateCallsList(kFolder);
    EXPECT_EQ(asked, kFolder);
    EXPECT_EQ(model.rowCount(), 3);
    // A record never written lists with no kind, no length and an unread look.
    EXPECT_TRUE(model.CellText(1, calls_column::kKind).isEmpty());
    EXPECT_TRUE(model.IsUnread(1));
    model.DeleteSelectedCalls({0});  // no delete function: nothing goes
    EXPECT_EQ(model.rowCount(), 3);
}

// A "Data" of random bytes with some real calls in it: the calls are listed
// at their record numbers, the rest is counted, reported once and left in
// the file byte for byte.
TEST(CallsListModelStore, ADamagedIndexListsItsGoodRecordsAndCountsTheRest) {
    QTemporaryDir root;
    const QString folder = root.path() + QLatin1Char('/');
    std::mt19937 random(20);  // fixed: the same bytes every run
    QByteArray bytes;
    QStringList good;
    const int goodAt[] = {3, 17, 40};
    for (int number = 1; number <= 48; ++number) {
        if (std::find(std::begin(goodAt), std::end(goodAt), number) != std::end(goodAt)) {
            Call call;
            call.name = QString::number(number);
            good += call.name;
            const CallRecord record = Make(call);
            bytes.append(record.Bytes().data(), kCallRecordSize);
        } else {
            for (int i = 0; i < kCallRecordSize; ++i) {
                bytes.append(static_cast<char>(random() & 0xFF));
            }
        }
    }
    {
        QFile file(CallIndexFile(folder));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    CallsListModel model(FileCallStore());
    model.CreateCallsList(folder);
    QStringList names;
    QStringList numbers;
    for (int row = 0; row < model.rowCount(); ++row) {
        names += model.CellText(row, col::kCallerName);
        numbers += model.CellText(row, col::kIndex);
    }
    EXPECT_EQ(names, good);
    EXPECT_EQ(numbers, good);  // each call at its place in the file
    EXPECT_EQ(model.DamagedRecords(), 45);
    EXPECT_EQ(model.TakeDamageReport(), 45);
    EXPECT_EQ(model.TakeDamageReport(), 0);
    model.CreateCallsList(folder);  // the rebuild after a call says nothing new
    EXPECT_EQ(model.TakeDamageReport(), 0);

    model.ToggleUserMark(1);  // record 17, not a damaged neighbour
    bytes[16 * kCallRecordSize + LayoutOf(CallField::UserMark).offset] = '1';
    QFile file(CallIndexFile(folder));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == bytes);  // unchanged but for the mark
}

// The user's name for a number is shown and found in place of what the line
// sent, which the record and the hidden name column keep.
TEST_F(CallsListModelTest, APhoneBookNameStandsForTheLinesNameAndIsFound) {
    Call ann;
    ann.name = QStringLiteral("O");
    ann.number = QStringLiteral("030 1234");
    Call bob;
    bob.name = QStringLiteral("Bob");
    bob.number = QStringLiteral("089 555");
    Load({ann, bob});
    EXPECT_EQ(Column(col::kCaller), QStringList({"O - 030 1234", "Bob - 089 555"}));

    model.SetNumberPlan(PlanFor(u"DE", u"30"));
    model.SetCallerNames([](const QString& number) {
        return NormalizedNumber(number, PlanFor(u"DE", u"30")) == QLatin1String("+49301234")
                   ? QStringLiteral("Zoë Müller")
                   : QString();
    });
    model.RefreshCallerNames();
    model.HeaderClicked(col::kCaller);
    EXPECT_EQ(Column(col::kCaller), QStringList({"Bob - 089 555", "Zoë Müller - 030 1234"}));
    EXPECT_EQ(Column(col::kCallerName), QStringList({"Bob", "O"}));

    CallsFilter filter;
    filter.words = QStringLiteral("zoe +49 30 1234");
    model.SetFilter(filter);
    EXPECT_EQ(Column(col::kCallerName), QStringList{"O"});
    // A name the book drops is no longer found.
    model.SetCallerNames({});
    model.RefreshCallerNames();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.TotalCount(), 2);
    // A name of any length from outside leaves the row's other texts whole.
    model.SetFilter({});
    model.SetCallerNames([](const QString&) { return QString(70000, QLatin1Char('x')); });
    model.RefreshCallerNames();
    EXPECT_EQ(Column(col::kCaller), QStringList({QString(256, QLatin1Char('x')) + " - 030 1234",
                                                 QString(256, QLatin1Char('x')) + " - 089 555"}));
    EXPECT_EQ(Column(col::kCallerNumber), QStringList({"030 1234", "089 555"}));
}

}  // namespace
}  // namespace orvane
