// The calls list over a CallStore on a real folder: each change of the store
// reaches the rows as the smallest model change (one row inserted at its
// sorted place, the deleted rows removed, one row changed), checked by Qt's
// model tester; the row of a chosen call stays on that call throughout, and
// only someone else's write makes the list read everything again. With a
// filter on, the rows are the matching calls through all of that.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <functional>
#include <vector>

#include "calls/list/calls_list_model.h"
#include "calls/store/call_store.h"
#include "calls/store/stored_calls.h"
#include "calls/store/unrecorded_calls.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

namespace col = calls_column;

CallRecord Call(const QString& name, int day) {
    CallRecord record;
    record.Set(CallField::CallKind, QStringLiteral("3"));
    record.Set(CallField::CallerName, name);
    record.Set(CallField::CallerNumber, QStringLiteral("555"));
    record.Set(CallField::CallDate, QStringLiteral("12/%1/26").arg(day));
    record.Set(CallField::CallTime, QStringLiteral("4:00:00 PM"));
    record.Set(CallField::Duration, QStringLiteral("0:00:10"));
    record.Set(CallField::ReadFlag, QStringLiteral("0"));
    record.Set(CallField::ExtraText,
               QStringLiteral("2026-12-%1T16:00:00").arg(day, 2, 10, QChar('0')));
    return record;
}

// What the model told its views.
struct Announced {
    int resets = 0;
    std::vector<int> inserted;  // rows, one entry per inserted row
    int removed = 0;
    std::vector<std::pair<int, int>> changed;  // first and last row of each whole-row change
    int counts = 0;                            // CountsChanged
    QObject context;                           // ends the connections with this object

    explicit Announced(CallsListModel& model) {
        QObject::connect(&model, &QAbstractItemModel::modelReset, &context, [this] { ++resets; });
        QObject::connect(&model, &CallsListModel::CountsChanged, &context, [this] { ++counts; });
        QObject::connect(&model, &QAbstractItemModel::rowsInserted, &context,
                         [this](const QModelIndex&, int first, int last) {
                             for (int row = first; row <= last; ++row) {
                                 inserted.push_back(row);
                             }
                         });
        QObject::connect(
            &model, &QAbstractItemModel::rowsRemoved, &context,
            [this](const QModelIndex&, int first, int last) { removed += last - first + 1; });
        QObject::connect(&model, &QAbstractItemModel::dataChanged, &context,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             if (from.column() == 0) {  // renumbering touches INDEX alone
                                 changed.emplace_back(from.row(), to.row());
                             }
                         });
    }
};

// Four calls in a fresh folder, listed through the store under Qt's model
// tester. Record order Bob, Ann, Cid, Dee; days 2, 1, 4, 3.
struct Listed {
    QTemporaryDir root;
    QString folder = root.path() + QLatin1Char('/');
    CallStore store;
    CallsListModel model{store};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};

    Listed() {
        for (const auto& [name, day] : {std::pair{"Bob", 2}, {"Ann", 1}, {"Cid", 4}, {"Dee", 3}}) {
            EXPECT_TRUE(AppendCallRecord(Call(QString::fromLatin1(name), day), folder));
        }
        model.CreateCallsList(folder);
    }

    QStringList Callers() const {
        QStringList names;
        for (int row = 0; row < model.rowCount(); ++row) {
            names << model.CellText(row, col::kCallerName);
        }
        return names;
    }
    int RowOf(const char* name) const { return static_cast<int>(Callers().indexOf(name)); }
    // Each row names the record at its number in the file.
    void ExpectRowsMatchTheFile() const {
        const std::vector<CallRecord> records = ReadAllCallRecords(folder);
        ASSERT_EQ(static_cast<size_t>(model.rowCount()), records.size());
        for (int row = 0; row < model.rowCount(); ++row) {
            const qint32 number = model.RecordNumber(row);
            ASSERT_TRUE(number >= 1 && static_cast<size_t>(number) <= records.size());
            EXPECT_EQ(model.CellText(row, col::kCallerName),
                      records[static_cast<size_t>(number - 1)].Get(CallField::CallerName))
                << "row " << row;
        }
    }
    // The same for the rows a filter shows, and every call of the file is
    // counted.
    void ExpectShownRowsMatchTheFile() const {
        const std::vector<CallRecord> records = ReadAllCallRecords(folder);
        EXPECT_EQ(static_cast<size_t>(model.TotalCount()), records.size());
        for (int row = 0; row < model.rowCount(); ++row) {
            const qint32 number = model.RecordNumber(row);
            ASSERT_TRUE(number >= 1 && static_cast<size_t>(number) <= records.size());
            EXPECT_EQ(model.CellText(row, col::kCallerName),
                      records[static_cast<size_t>(number - 1)].Get(CallField::CallerName))
                << "row " << row;
        }
    }
    CallRef RefOfRecord(qint32 number) const {
        return {number, CallFileName(store.Record(number))};
    }
    QString ReadFlag(const char* name) const {
        for (const CallRecord& record : ReadAllCallRecords(folder)) {
            if (record.Get(CallField::CallerName) == QLatin1String(name)) {
                return record.Get(CallField::ReadFlag);
            }
        }
        return {};
    }
};

CallsFilter Words(const char* words) {
    CallsFilter filter;
    filter.words = QString::fromLatin1(words);
    return filter;
}

CallsFilter UnreadOnly() {
    CallsFilter filter;
    filter.unreadOnly = true;
    return filter;
}

TEST(CallsListFollowsStore, EachChangeIsTheSmallestModelChangeAndAChosenCallKeepsItsRow) {
    struct Case {
        const char* what;
        int sortColumn;  // -1: record order
        Qt::SortOrder order;
        std::function<void(Listed&)> act;
        QStringList callers;        // after
        std::vector<int> inserted;  // rows
        int removed;
        std::vector<std::pair<int, int>> changed;
    };
    const Case cases[] = {
        {"a call stored, record order: one row at the end",
         -1,
         Qt::AscendingOrder,
         [](Listed& l) { ASSERT_TRUE(l.store.Append(Call("Eve", 5), l.folder)); },
         {"Bob", "Ann", "Cid", "Dee", "Eve"},
         {4},
         0,
         {}},
        {"a call stored, newest first: one row at the top",
         col::kDateTime,
         Qt::DescendingOrder,
         [](Listed& l) { ASSERT_TRUE(l.store.Append(Call("Eve", 5), l.folder)); },
         {"Eve", "Cid", "Dee", "Bob", "Ann"},
         {0},
         0,
         {}},
        {"a call stored, by caller: one row at its place",
         col::kCaller,
         Qt::AscendingOrder,
         [](Listed& l) { ASSERT_TRUE(l.store.Append(Call("Bea", 5), l.folder)); },
         {"Ann", "Bea", "Bob", "Cid", "Dee"},
         {1},
         0,
         {}},
        {"a call stored in another folder: nothing",
         -1,
         Qt::AscendingOrder,
         [](Listed& l) {
             QTemporaryDir other;
             ASSERT_TRUE(l.store.Append(Call("Eve", 5), other.path() + QLatin1Char('/')));
         },
         {"Bob", "Ann", "Cid", "Dee"},
         {},
         0,
         {}},
        {"read flag: one row",
         col::kDateTime,
         Qt::AscendingOrder,
         [](Listed& l) { l.model.MarkRows({l.RowOf("Cid")}, true); },
         {"Ann", "Bob", "Dee", "Cid"},
         {},
         0,
         {{3, 3}}},
        {"note: one row",
         -1,
         Qt::AscendingOrder,
         [](Listed& l) {
             CallRecord record = l.store.Record(2);
             record.Set(CallField::Notes, QStringLiteral("call back"));
             ASSERT_TRUE(l.store.Write(2, record));
         },
         {"Bob", "Ann", "Cid", "Dee"},
         {},
         0,
         {{1, 1}}},
        {"delete two, newest first: their rows go",
         col::kDateTime,
         Qt::DescendingOrder,
         [](Listed& l) {
             ASSERT_TRUE(l.model.DeleteSelectedCalls({l.RowOf("Dee"), l.RowOf("Ann")}));
         },
         {"Cid", "Bob"},
         {},
         2,
         {}},
        {"delete then undo: the rows come back one by one",
         col::kCaller,
         Qt::AscendingOrder,
         [](Listed& l) {
             ASSERT_TRUE(l.model.DeleteSelectedCalls({l.RowOf("Ann"), l.RowOf("Cid")}));
             ASSERT_TRUE(l.model.UndoDelete().value().ok);
         },
         {"Ann", "Bob", "Cid", "Dee"},
         {0, 2},
         2,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Listed l;
        if (c.sortColumn >= 0) {
            l.model.SortByHeader(c.sortColumn, c.order);
        }
        // The user's chosen call: Bob, whatever happens around him.
        const QPersistentModelIndex chosen = l.model.index(l.RowOf("Bob"), col::kCaller);
        Announced announced(l.model);
        c.act(l);
        EXPECT_EQ(l.Callers(), c.callers);
        EXPECT_EQ(announced.resets, 0);
        EXPECT_EQ(announced.inserted, c.inserted);
        EXPECT_EQ(announced.removed, c.removed);
        EXPECT_EQ(announced.changed, c.changed);
        ASSERT_TRUE(chosen.isValid());
        EXPECT_EQ(l.model.CellText(chosen.row(), col::kCallerName), QStringLiteral("Bob"));
        l.ExpectRowsMatchTheFile();
    }
}

TEST(CallsListFollowsStore, OnlySomeoneElsesWriteReadsTheWholeFileAgain) {
    Listed l;
    Announced announced(l.model);
    // Its own writes the store recognizes.
    ASSERT_TRUE(l.store.SetUserMark(1, QStringLiteral("1")));
    ASSERT_TRUE(l.store.Append(Call("Eve", 5), l.folder));
    ASSERT_TRUE(l.model.DeleteSelectedCalls({0}));
    EXPECT_FALSE(l.store.CheckForOutsideChange());
    EXPECT_EQ(announced.resets, 0);

    // Another writer appends and marks; the watcher notices without being asked.
    QSignalSpy reset(&l.store, &CallStore::callsReset);
    ASSERT_TRUE(AppendCallRecord(Call("Fay", 6), l.folder));
    ASSERT_TRUE(SetReadFlag(1, l.folder, QStringLiteral("1")));
    ASSERT_TRUE(reset.wait(10000));
    EXPECT_GE(announced.resets, 1);
    EXPECT_EQ(l.Callers(), QStringList({"Ann", "Cid", "Dee", "Eve", "Fay"}));
    EXPECT_FALSE(l.model.IsUnread(0));
    l.ExpectRowsMatchTheFile();

    // A rewrite by rename (another program's delete) is seen too.
    ASSERT_TRUE(DeleteCallRecord(1, l.folder));
    ASSERT_TRUE(reset.wait(10000));
    EXPECT_EQ(l.Callers(), QStringList({"Cid", "Dee", "Eve", "Fay"}));
    l.ExpectRowsMatchTheFile();
}

TEST(CallsListFollowsStore, WithAFilterOnTheRowsAreTheMatchingCallsThroughEveryChange) {
    struct Case {
        const char* what;
        CallsFilter filter;
        int sortColumn;  // -1: record order
        std::function<void(Listed&)> act;
        QStringList callers;        // shown after
        std::vector<int> inserted;  // rows
        int removed;
        int total;  // calls listed without the filter
    };
    const Case cases[] = {
        {"a matching call stored comes in at its place",
         Words("e"),
         -1,
         [](Listed& l) { ASSERT_TRUE(l.store.Append(Call("Eve", 5), l.folder)); },
         {"Dee", "Eve"},
         {1},
         0,
         5},
        {"a call stored that does not match is only counted",
         Words("e"),
         -1,
         [](Listed& l) { ASSERT_TRUE(l.store.Append(Call("Fay", 5), l.folder)); },
         {"Dee"},
         {},
         0,
         5},
        {"a call stored, by caller descending: at its place among those shown",
         Words("d"),
         col::kCaller,
         [](Listed& l) { ASSERT_TRUE(l.store.Append(Call("Dan", 5), l.folder)); },
         {"Dee", "Dan", "Cid"},
         {1},
         0,
         5},
        {"a note that makes a call match brings its row in",
         Words("urgent"),
         -1,
         [](Listed& l) {
             CallRecord record = l.store.Record(2);
             record.Set(CallField::Notes, QStringLiteral("Urgent: call back"));
             ASSERT_TRUE(l.store.Write(2, record));
         },
         {"Ann"},
         {0},
         0,
         4},
        {"calls marked read under 'unread' stay until the filter changes",
         UnreadOnly(),
         -1,
         [](Listed& l) {
             l.model.MarkRows({l.RowOf("Bob"), l.RowOf("Cid")}, true);
             EXPECT_EQ(l.ReadFlag("Bob"), QStringLiteral("1"));
             EXPECT_EQ(l.ReadFlag("Ann"), QStringLiteral("0"));
             EXPECT_EQ(l.ReadFlag("Cid"), QStringLiteral("1"));
             EXPECT_EQ(l.ReadFlag("Dee"), QStringLiteral("0"));
         },
         {"Bob", "Ann", "Cid", "Dee"},
         {},
         0,
         4},
        {"a hidden call deleted: the rows shown keep their calls",
         Words("dee"),
         -1,
         [](Listed& l) { ASSERT_TRUE(l.store.Delete({l.RefOfRecord(2)}).has_value()); },
         {"Dee"},
         {},
         0,
         3},
        {"a shown call deleted among hidden ones",
         Words("d"),
         -1,
         [](Listed& l) { ASSERT_TRUE(l.model.DeleteSelectedCalls({l.RowOf("Cid")})); },
         {"Dee"},
         {},
         1,
         3},
        {"undo brings a deleted call back into view though it matches no more",
         UnreadOnly(),
         -1,
         [](Listed& l) {
             l.model.MarkRows({l.RowOf("Bob")}, true);
             ASSERT_TRUE(l.model.DeleteSelectedCalls({l.RowOf("Bob")}));
             ASSERT_TRUE(l.model.UndoDelete().value().ok);
         },
         {"Bob", "Ann", "Cid", "Dee"},
         {0},
         1,
         4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Listed l;
        if (c.sortColumn >= 0) {
            l.model.SortByHeader(c.sortColumn, Qt::DescendingOrder);
        }
        l.model.SetFilter(c.filter);
        // The user's chosen call: the last one shown.
        const int last = l.model.rowCount() - 1;
        const QPersistentModelIndex chosen =
            last >= 0 ? l.model.index(last, col::kCaller) : QModelIndex();
        const QString chosenName = l.model.CellText(last, col::kCallerName);
        const int shownBefore = l.model.ShownCount();
        Announced announced(l.model);
        c.act(l);
        EXPECT_EQ(l.Callers(), c.callers);
        EXPECT_EQ(announced.resets, 0);
        EXPECT_EQ(announced.inserted, c.inserted);
        EXPECT_EQ(announced.removed, c.removed);
        EXPECT_EQ(l.model.TotalCount(), c.total);
        EXPECT_EQ(l.model.ShownCount(), c.callers.size());
        // Whatever changed the counts said so.
        if (c.total != 4 || c.callers.size() != shownBefore) {
            EXPECT_GT(announced.counts, 0);
        }
        if (!chosenName.isEmpty()) {
            ASSERT_TRUE(chosen.isValid());
            EXPECT_EQ(l.model.CellText(chosen.row(), col::kCallerName), chosenName);
        }
        l.ExpectShownRowsMatchTheFile();
    }
}

TEST(CallsListFollowsStore, AFilterResetsTheRowsOnceAndACallNotShownHasNoRow) {
    Listed l;
    const CallRef ann = l.model.RefOf(l.RowOf("Ann"));
    const CallRef dee = l.model.RefOf(l.RowOf("Dee"));
    Announced announced(l.model);
    l.model.SetFilter(Words("DEE"));
    EXPECT_EQ(announced.resets, 1);
    EXPECT_EQ(l.Callers(), QStringList{"Dee"});
    EXPECT_EQ(l.model.Filter(), Words("DEE"));
    EXPECT_EQ(l.model.RowOf(ann), -1);
    EXPECT_EQ(l.model.RowsOf({ann, dee}), (std::vector<int>{-1, 0}));
    EXPECT_EQ(l.model.RecordNumber(0), 4);
    EXPECT_EQ(l.model.ShownCount(), 1);
    EXPECT_EQ(l.model.TotalCount(), 4);
    // Deleting by a call not shown leaves it alone.
    ASSERT_TRUE(l.model.DeleteCalls({ann}));
    EXPECT_EQ(l.model.TotalCount(), 4);

    l.model.SetFilter(Words("DEE"));  // the same filter again: nothing
    EXPECT_EQ(announced.resets, 1);
    l.model.SetFilter({});
    EXPECT_EQ(announced.resets, 2);
    EXPECT_EQ(l.Callers(), QStringList({"Bob", "Ann", "Cid", "Dee"}));
    EXPECT_EQ(l.model.RowOf(ann), 1);
    l.ExpectRowsMatchTheFile();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Blocked calls and calls kept unrecorded, from their own file: counted,
// listed only under their kind, and every command by row leaves the index
// alone (a mark once hit the recorded call at the same place in the list).
TEST(CallsListFollowsStore, CallsWithoutARecordingShowOnlyUnderTheirKind) {
    Listed l;
    const auto at = [](int day) { return QDateTime(QDate(2026, 12, day), QTime(9, 0)); };
    const UnrecordedCall calls[] = {
        {at(5), UnrecordedKind::kBlocked, QStringLiteral("0900 1"), QStringLiteral("Zed")},
        {at(1), UnrecordedKind::kBlocked, QStringLiteral("0900 2"), QStringLiteral("Yan")},
        {at(3), UnrecordedKind::kNotRecorded, QStringLiteral("030 7"), QStringLiteral("Xia")},
    };
    for (const UnrecordedCall& call : calls) {
        ASSERT_TRUE(AddUnrecordedCall(l.folder, call));
    }
    l.model.CreateCallsList(l.folder);
    const QByteArray index = ReadAll(CallIndexFile(l.folder));
    const auto kind = [](CallKindChoice choice, const char* words = "") {
        CallsFilter filter = Words(words);
        filter.kind = choice;
        return filter;
    };
    const struct {
        CallsFilter filter;
        QStringList callers;
    } cases[] = {
        {{}, {"Bob", "Ann", "Cid", "Dee"}},
        {kind(CallKindChoice::kIncoming), {"Bob", "Ann", "Cid", "Dee"}},
        {Words("0900"), {}},
        // After the recorded calls, by their moment.
        {kind(CallKindChoice::kBlocked), {"Yan", "Zed"}},
        {kind(CallKindChoice::kBlocked, "yan"), {"Yan"}},
        {kind(CallKindChoice::kNotRecorded), {"Xia"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.callers.join(u' ').toStdString());
        l.model.SetFilter(c.filter);
        EXPECT_EQ(l.Callers(), c.callers);
        EXPECT_EQ(l.model.UnrecordedCount(UnrecordedKind::kBlocked), 2);
        EXPECT_EQ(l.model.UnrecordedCount(UnrecordedKind::kNotRecorded), 1);
        EXPECT_EQ(l.model.TotalCount(), 7);
    }

    l.model.SetFilter(kind(CallKindChoice::kBlocked));
    for (int row = 0; row < l.model.rowCount(); ++row) {
        EXPECT_FALSE(l.model.HasRecording(row));
        EXPECT_EQ(l.model.RecordNumber(row), 0);
        EXPECT_TRUE(l.model.CellText(row, col::kMsgFile).isEmpty());
    }
    // A chosen row stays on its call through a sort.
    const QPersistentModelIndex zed = l.model.index(1, col::kCaller);
    l.model.sort(col::kCallerName, Qt::DescendingOrder);
    EXPECT_EQ(l.Callers(), QStringList({"Zed", "Yan"}));
    EXPECT_EQ(l.model.CellText(zed.row(), col::kCallerName), QStringLiteral("Zed"));
    l.model.sort(col::kDateTime, Qt::AscendingOrder);
    l.model.ToggleUserMarks({0, 1});
    l.model.ToggleUserMark(0);
    l.model.MarkRows({0, 1}, true);
    EXPECT_EQ(ReadAll(CallIndexFile(l.folder)), index);

    // A call blocked now comes in at its place; one deleted leaves the file.
    const UnrecordedCall later{at(6), UnrecordedKind::kBlocked, QStringLiteral("0900 3"),
                               QStringLiteral("Wes")};
    ASSERT_TRUE(AddUnrecordedCall(l.folder, later));
    l.model.AddUnrecordedCall(l.folder, later);
    EXPECT_EQ(l.Callers(), QStringList({"Yan", "Zed", "Wes"}));
    ASSERT_TRUE(l.model.DeleteSelectedCalls({1, 2}));
    EXPECT_EQ(l.Callers(), QStringList{"Yan"});
    EXPECT_EQ(l.model.UnrecordedCount(UnrecordedKind::kBlocked), 1);
    const std::vector<UnrecordedCall> left = ReadUnrecordedCalls(l.folder).calls;
    ASSERT_EQ(left.size(), 2U);
    EXPECT_EQ(left[0], calls[1]);
    EXPECT_EQ(left[1], calls[2]);
    EXPECT_EQ(ReadAll(CallIndexFile(l.folder)), index);
    l.model.SetFilter({});
    l.ExpectRowsMatchTheFile();
}

}  // namespace
}  // namespace orvane
