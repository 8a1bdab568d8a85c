// The calls list on screen (offscreen platform): bold unread rows, the note
// line's height, numbers kept left-to-right, the empty panel and the keys.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

#include "app/calls_list/calls_list_view.h"
#include "app/calls_list/recordings_drag.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "calls/store/unrecorded_calls.h"
#include "tests/support/qt_printers.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

namespace col = calls_column;
const QString kFolder = QStringLiteral("/calls/");

CallRecord Record(const QString& read, const QString& notes = {}) {
    CallRecord record;
    record.Set(CallField::CallKind, QStringLiteral("3"));
    record.Set(CallField::CallerName, QStringLiteral("Ann"));
    record.Set(CallField::CallerNumber, QStringLiteral("+1 555 0100"));
    record.Set(CallField::CallDate, QStringLiteral("12/7/26"));
    record.Set(CallField::CallTime, QStringLiteral("4:34:54 PM"));
    record.Set(CallField::ReadFlag, read);
    if (!notes.isEmpty()) {
        record.Set(CallField::Notes, notes);
    }
    return record;
}

void Click(QWidget* widget, QPoint at) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
}

void Press(QWidget* widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Dark pixels of one cell: bold text leaves more ink.
int Ink(CallsListView& view, int row, int column) {
    const QRect cell = view.visualRect(view.model()->index(row, column));
    const QImage image = view.viewport()->grab(cell).toImage();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return ink;
}

// The two narrow icon columns draw their icon in the header and name it in
// words for the tool tip and screen readers; text columns keep their text.
TEST(CallsListView, TheIconColumnsShowAndNameTheirHeaders) {
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English")), 0);
    CallsListModel model;
    CallsListPanel panel(model);
    panel.resize(700, 400);
    panel.show();
    model.SetRecords({Record(QStringLiteral("1"))}, kFolder);
    QHeaderView* header = panel.View()->horizontalHeader();
    const struct {
        int column;
        int name;  // 0: none
        bool coloured;
    } cases[] = {{col::kUserMark, ids::kHeaderUserMark, true},
                 {col::kKind, ids::kHeaderKind, true},
                 {col::kCaller, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.column);
        const QString name = c.name != 0 ? Text(c.name) : QString();
        EXPECT_EQ(model.headerData(c.column, Qt::Horizontal, Qt::ToolTipRole).toString(), name);
        EXPECT_EQ(model.headerData(c.column, Qt::Horizontal, Qt::AccessibleTextRole).toString(),
                  name);
        const QRect section(header->sectionViewportPosition(c.column), 0,
                            header->sectionSize(c.column), header->height());
        const QImage image = header->viewport()->grab(section).toImage();
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                coloured += QColor(image.pixel(x, y)).hsvSaturation() > 120 ? 1 : 0;
            }
        }
        EXPECT_EQ(coloured > 10, c.coloured) << coloured;
    }
    EXPECT_FALSE(Text(ids::kHeaderUserMark).isEmpty());
}

TEST(CallsListView, BoldUnreadNoteLineHeightEmptyPanelAndKeys) {
    std::vector<std::pair<qint32, QString>> marks;
    std::vector<qint32> deleted;
    CallStoreOps ops;
    ops.setUserMark = [&](qint32 n, const QString&, const QString& v) {
        marks.emplace_back(n, v);
        return true;
    };
    ops.deleteCalls = [&](std::vector<CallRef> calls, const QString& folder,
                          const std::function<void(int)>&) -> std::optional<DeletedCalls> {
        deleted.clear();
        for (const CallRef& call : calls) {
            deleted.push_back(call.number);
        }
        return DeletedCalls{folder, {}};
    };
    CallsListModel model(ops);
    // The date column shows the running locale's form; the texts below are en_US.
    model.SetLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    CallsListPanel panel(model);
    QProgressBar progress;
    panel.SetProgressBar(&progress);
    panel.resize(700, 400);
    panel.show();
    auto* empty = panel.findChild<QFrame*>(QStringLiteral("picNoItems"));
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isVisible());
    EXPECT_FALSE(panel.View()->isVisible());
    panel.ButtonClicked(CallsListPanel::kDelete);  // nothing to act on
    EXPECT_TRUE(deleted.empty());

    // An empty folder's first call shows the list.
    ops.appendRecord = [](const CallRecord&, const QString&) { return true; };
    model.SetStoreOps(ops);
    model.SetRecords({}, kFolder);
    ASSERT_TRUE(model.Store().Append(Record(QStringLiteral("0")), kFolder));
    EXPECT_FALSE(empty->isVisible());
    EXPECT_TRUE(panel.View()->isVisible());
    EXPECT_EQ(panel.View()->CurrentRow(), 0);

    model.SetRecords({Record(QStringLiteral("0")), Record(QStringLiteral("1"), "a\r\nb\r\nc")},
                     kFolder);
    EXPECT_FALSE(empty->isVisible());
    CallsListView& view = *panel.View();
    ASSERT_TRUE(view.isVisible());
    EXPECT_GT(Ink(view, 0, col::kCaller), Ink(view, 1, col::kCaller) + 10);
    EXPECT_EQ(view.rowHeight(0), kCallsDefaultRowHeight);
    EXPECT_EQ(view.rowHeight(1), view.fontMetrics().height() + kCallsDefaultRowHeight + 30);
    EXPECT_TRUE(view.isColumnHidden(col::kSpareMark));
    EXPECT_FALSE(view.isColumnHidden(col::kUserMark));
    EXPECT_TRUE(view.isColumnHidden(col::kSortedDate));
    EXPECT_EQ(view.DisplayText(0, col::kCaller), QStringLiteral("Ann - ") + QChar(0x2066) +
                                                     QStringLiteral("+1 555 0100") + QChar(0x2069));

    // A click on the mark sets it and leaves the row, not the mark, current.
    const QRect mark = view.visualRect(model.index(1, col::kUserMark));
    Click(view.viewport(), mark.topLeft() + QPoint(4, 4));
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0], std::make_pair(qint32{2}, QStringLiteral("1")));
    EXPECT_EQ(view.currentIndex().row(), 1);
    EXPECT_NE(view.currentIndex().column(), col::kUserMark);

    // The date header sorts by its hidden twin and shows the arrow itself.
    view.horizontalHeader()->sectionClicked(col::kDateTime);
    EXPECT_TRUE(view.horizontalHeader()->isSortIndicatorShown());
    EXPECT_EQ(view.horizontalHeader()->sortIndicatorSection(), col::kDateTime);

    std::vector<int> notes;
    QObject::connect(&panel, &CallsListPanel::OpenNoteRequested,
                     [&](int row) { notes.push_back(row); });
    view.SetCurrentRow(0);
    Press(&view, Qt::Key_Return);
    EXPECT_EQ(notes, (std::vector<int>{0}));
    // Delete asks first; No keeps the call.
    ResetMessageSeam();
    SetNextMessageAnswer(kAnswerNo);
    Press(&view, Qt::Key_Delete);
    EXPECT_TRUE(deleted.empty());
    EXPECT_EQ(model.rowCount(), 2);
    SetNextMessageAnswer(kAnswerYes);
    Press(&view, Qt::Key_Delete);
    EXPECT_EQ(deleted, (std::vector<qint32>{1}));  // equal dates keep record order
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_FALSE(progress.isVisible());
    const std::vector<ShownMessage> asked = TakeShownMessages();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(asked[0].text.contains(QStringLiteral("4:34:54 PM")));
}

// Calls told apart by their time, one a minute from 10:00.
CallRecord Timed(int minute) {
    CallRecord record = Record(QStringLiteral("0"));
    record.Set(CallField::CallerName, QStringLiteral("Caller %1").arg(minute));
    record.Set(CallField::CallTime,
               QStringLiteral("10:%1:00 AM").arg(minute, 2, 10, QLatin1Char('0')));
    return record;
}

QStringList SelectedNames(const CallsListView& view, const CallsListModel& model) {
    QStringList names;
    for (int row : view.SelectedRows()) {
        names << model.CellText(row, col::kCallerName);
    }
    return names;
}

// A store over `file` that records each delete it is asked for in `deleted`.
CallStoreOps RecordingStore(std::vector<CallRecord>& file,
                            std::vector<std::vector<CallRef>>& deleted) {
    CallStoreOps ops;
    ops.forEachRecord = [&file](const QString&,
                                const std::function<void(const CallRecord&)>& visit) {
        for (const CallRecord& record : file) {
            visit(record);
        }
    };
    ops.deleteCalls = [&deleted](std::vector<CallRef> calls, const QString& folder,
                                 const std::function<void(int)>&) -> std::optional<DeletedCalls> {
        deleted.push_back(calls);
        return DeletedCalls{folder, {}};
    };
    ops.appendRecord = [&file](const CallRecord& record, const QString&) {
        file.push_back(record);
        return true;
    };
    return ops;
}

// Calls selected while the list is read again, or while a call is stored:
// the same calls stay selected, current and in view, wherever their rows
// go, and Delete then takes exactly those.
TEST(CallsListView, ARebuildKeepsTheChosenCallsSelectedCurrentAndInView) {
    std::vector<CallRecord> file;
    for (int minute = 0; minute < 40; ++minute) {
        file.push_back(Timed(minute));
    }
    std::vector<std::vector<CallRef>> deleted;
    const CallStoreOps ops = RecordingStore(file, deleted);
    CallsListModel model(ops);
    model.SetLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    CallsListPanel panel(model);
    panel.resize(700, 300);
    panel.show();
    model.CreateCallsList(kFolder);
    CallsListView& view = *panel.View();
    ASSERT_EQ(view.CurrentRow(), 0);  // the first listing starts at the first call
    // Newest first, as the testers had it.
    view.horizontalHeader()->sectionClicked(col::kDateTime);
    view.horizontalHeader()->sectionClicked(col::kDateTime);
    ASSERT_EQ(model.CellText(0, col::kCallerName), QStringLiteral("Caller 39"));

    // Two calls far down the list, the view scrolled to them.
    view.SetCurrentRow(30);
    view.selectionModel()->select(model.index(31, col::kCaller),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    view.scrollTo(model.index(30, 0), QAbstractItemView::PositionAtTop);
    const int topBefore = view.rowAt(0);
    const QString topCall = model.CellText(topBefore, col::kCallerName);
    const int offset = view.rowViewportPosition(topBefore);
    ASSERT_EQ(SelectedNames(view, model), QStringList({"Caller 9", "Caller 8"}));

    // The next call is stored: newest first, it is the new first row.
    file.push_back(Timed(41));
    model.CreateCallsList(kFolder);
    EXPECT_EQ(model.CellText(0, col::kCallerName), QStringLiteral("Caller 41"));
    EXPECT_EQ(SelectedNames(view, model), QStringList({"Caller 9", "Caller 8"}));
    EXPECT_EQ(model.CellText(view.CurrentRow(), col::kCallerName), QStringLiteral("Caller 9"));
    EXPECT_EQ(model.CellText(view.rowAt(0), col::kCallerName), topCall);
    EXPECT_EQ(view.rowViewportPosition(view.rowAt(0)), offset);

    // The program's way: the store announces the next call and one row comes
    // in above; the same calls stay chosen and in the same place on screen.
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, &view, [&resets] { ++resets; });
    ASSERT_TRUE(model.Store().Append(Timed(42), kFolder));
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(model.CellText(0, col::kCallerName), QStringLiteral("Caller 42"));
    EXPECT_EQ(SelectedNames(view, model), QStringList({"Caller 9", "Caller 8"}));
    EXPECT_EQ(model.CellText(view.CurrentRow(), col::kCallerName), QStringLiteral("Caller 9"));
    EXPECT_EQ(model.CellText(view.rowAt(0), col::kCallerName), topCall);
    EXPECT_EQ(view.rowViewportPosition(view.rowAt(0)), offset);

    // Delete takes the chosen calls, not the new ones.
    SetNextMessageAnswer(kAnswerYes);
    panel.ButtonClicked(CallsListPanel::kDelete);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0],
              (std::vector<CallRef>{{9, CallFileName(Timed(8))}, {10, CallFileName(Timed(9))}}));
    TakeShownMessages();

    // A call gone from the file leaves nothing selected rather than
    // another call; the other folder starts at its first call.
    view.SetCurrentRow(5);
    const QString gone = model.CellText(5, col::kCallerName);
    file.erase(
        std::remove_if(file.begin(), file.end(),
                       [&](const CallRecord& r) { return r.Get(CallField::CallerName) == gone; }),
        file.end());
    model.CreateCallsList(kFolder);
    EXPECT_TRUE(view.SelectedRows().empty());
    EXPECT_EQ(view.CurrentRow(), -1);
    model.CreateCallsList(QStringLiteral("/other/"));
    EXPECT_EQ(view.CurrentRow(), 0);
}

// The question may stay open while the recorder stores a call and the list
// is rebuilt: Yes then deletes the calls selected when Delete was pressed.
TEST(CallsListView, DeleteTakesTheCallsChosenBeforeTheQuestionWhateverHappensMeanwhile) {
    std::vector<CallRecord> file = {Timed(1), Timed(2), Timed(3)};
    std::vector<std::vector<CallRef>> deleted;
    const CallStoreOps ops = RecordingStore(file, deleted);
    CallsListModel model(ops);
    CallsListPanel panel(model);
    panel.show();
    model.CreateCallsList(kFolder);
    panel.View()->SetCurrentRow(1);  // Caller 2

    // The real box, answered by a timer once the list was rebuilt under it.
    ResetMessageSeam();
    bool rebuilt = false;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        if (!rebuilt) {
            // Written before the chosen call by something else: its record
            // number moves, its file's name finds it.
            file.insert(file.begin(), Timed(0));
            model.CreateCallsList(kFolder);
            rebuilt = true;
            return;
        }
        box->button(QMessageBox::Yes)->click();
    });
    answer.start();
    panel.ButtonClicked(CallsListPanel::kDelete);
    answer.stop();
    ASSERT_TRUE(rebuilt);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0], (std::vector<CallRef>{{3, CallFileName(Timed(2))}}));
}

QStringList EntryNames(const QMenu& menu) {
    QStringList names;
    for (const QAction* action : menu.actions()) {
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    }
    return names;
}

QAction* Entry(const QMenu& menu, const char* name) {
    for (QAction* action : menu.actions()) {
        if (action->objectName() == QLatin1String(name)) {
            return action;
        }
    }
    return nullptr;
}

void SendContextMenu(CallsListView& view, int row) {
    const QPoint at = view.visualRect(view.model()->index(row, col::kCaller)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(view.viewport(), &event);
}

// The rows' context menu: the list's own commands first, each enabled as it
// applies to the calls selected, with the key that runs it elsewhere; the
// window's own commands after a separator. A right press, the Menu key and
// Shift+F10 open it; its commands act on every call selected.
TEST(CallsListView, TheContextMenuOffersWhatAppliesToTheSelectedCalls) {
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English")), 0);
    std::vector<std::pair<qint32, QString>> marks;
    CallStoreOps ops;
    ops.setUserMark = [&](qint32 n, const QString&, const QString& v) {
        marks.emplace_back(n, v);
        return true;
    };
    CallsListModel model(ops);
    CallsListPanel panel(model);
    panel.resize(700, 400);
    panel.show();
    // Newest first by time: row 0 is record 3.
    CallRecord read = Timed(3);  // read, no mark, a number
    read.Set(CallField::ReadFlag, QStringLiteral("1"));
    CallRecord marked = Timed(2);  // unread, marked, the number withheld
    marked.Set(CallField::UserMark, QStringLiteral("1"));
    marked.Set(CallField::CallerNumber, QStringLiteral("P"));
    model.SetRecords({Timed(1), marked, read}, kFolder);
    CallsListView& view = *panel.View();
    view.horizontalHeader()->sectionClicked(col::kDateTime);
    view.horizontalHeader()->sectionClicked(col::kDateTime);
    bool playing = false;
    int plays = 0;
    panel.SetPlaybackCommands({[&] { ++plays; }, {}, [&] { return playing; }, [] { return true; }});
    QAction exportCalls(QStringLiteral("Export"));
    exportCalls.setObjectName(QStringLiteral("export"));
    panel.AddContextAction(&exportCalls);
    QMenu& menu = *panel.ContextMenu();
    EXPECT_EQ(menu.objectName(), QStringLiteral("callsContextMenu"));

    const QStringList order = {"callsMenuPlay",
                               "-",
                               "callsMenuNotes",
                               "callsMenuSaveCopy",
                               "callsMenuDelete",
                               "-",
                               "callsMenuMarkRead",
                               "callsMenuMarkUnread",
                               "callsMenuUserMark",
                               "-",
                               "callsMenuCallBack",
                               "-",
                               "export"};
    const struct {
        std::vector<int> rows;
        const char* enabled;  // play notes save delete read unread mark callBack, as 0 and 1
        const char* save;
        const char* mark;
    } cases[] = {
        {{0}, "11110111", "Save a copy…", "Add your mark"},
        {{1}, "11111010", "Save a copy…", "Remove your mark"},
        {{0, 1, 2}, "00111110", "Save copies…", "Add your mark"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows.size() == 1 ? c.rows[0] : -1);
        view.SetCurrentRow(c.rows.front());
        for (int row : c.rows) {
            view.selectionModel()->select(model.index(row, col::kCaller),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        // A right press inside the selection keeps it.
        SendContextMenu(view, c.rows.back());
        ASSERT_TRUE(menu.isVisible());
        EXPECT_EQ(view.SelectedRows(), c.rows);
        EXPECT_EQ(EntryNames(menu), order);
        QString enabled;
        for (const char* name : {"callsMenuPlay", "callsMenuNotes", "callsMenuSaveCopy",
                                 "callsMenuDelete", "callsMenuMarkRead", "callsMenuMarkUnread",
                                 "callsMenuUserMark", "callsMenuCallBack"}) {
            enabled += Entry(menu, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        }
        EXPECT_EQ(enabled, QLatin1String(c.enabled));
        EXPECT_EQ(Entry(menu, "callsMenuSaveCopy")->text(),
                  QString::fromUtf8(c.save) + QStringLiteral("\tCtrl+S"));
        EXPECT_EQ(Entry(menu, "callsMenuUserMark")->text(), QString::fromUtf8(c.mark));
        menu.hide();
    }
    EXPECT_EQ(Entry(menu, "callsMenuPlay")->text(), QStringLiteral("Play\tSpace"));
    EXPECT_EQ(Entry(menu, "callsMenuDelete")->text(), QStringLiteral("Delete\tDel"));
    EXPECT_EQ(Entry(menu, "callsMenuNotes")->text(), QStringLiteral("Notes…\tCtrl+E"));

    // The mark, on all three (two without it): all marked; then, all
    // marked, all unmarked.
    Entry(menu, "callsMenuUserMark")->trigger();
    EXPECT_EQ(marks, (std::vector<std::pair<qint32, QString>>{{3, "1"}, {2, "1"}, {1, "1"}}));
    marks.clear();
    SendContextMenu(view, 2);
    EXPECT_EQ(Entry(menu, "callsMenuUserMark")->text(), QStringLiteral("Remove your mark"));
    Entry(menu, "callsMenuUserMark")->trigger();
    EXPECT_EQ(marks, (std::vector<std::pair<qint32, QString>>{{3, "0"}, {2, "0"}, {1, "0"}}));
    menu.hide();

    // A right press outside the selection chooses that call alone; Save a
    // copy then offers one recording, with several selected all of them.
    QStringList one;
    QStringList several;
    QObject::connect(&panel, &CallsListPanel::SaveToPcRequested,
                     [&](const QString& path) { one << path; });
    QObject::connect(&panel, &CallsListPanel::SaveCopiesRequested,
                     [&](const QStringList& paths) { several = paths; });
    Entry(menu, "callsMenuSaveCopy")->trigger();
    EXPECT_EQ(several.size(), 3);
    view.SetCurrentRow(0);
    SendContextMenu(view, 1);
    EXPECT_EQ(view.SelectedRows(), std::vector<int>{1});
    EXPECT_EQ(view.CurrentRow(), 1);
    Entry(menu, "callsMenuSaveCopy")->trigger();
    EXPECT_EQ(one, QStringList{kFolder + model.CellText(1, col::kMsgFile)});
    Entry(menu, "callsMenuPlay")->trigger();
    EXPECT_EQ(plays, 1);
    menu.hide();

    // While a call plays, Pause (or Resume) follows Play.
    playing = true;
    view.SetCurrentRow(0);
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        bool opens;
    } keys[] = {{Qt::Key_Menu, Qt::NoModifier, true},
                {Qt::Key_F10, Qt::ShiftModifier, true},
                {Qt::Key_F10, Qt::NoModifier, false}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.key);
        QKeyEvent press(QEvent::KeyPress, k.key, k.modifiers);
        QApplication::sendEvent(&view, &press);
        EXPECT_EQ(menu.isVisible(), k.opens);
        if (k.opens) {
            EXPECT_EQ(EntryNames(menu).mid(0, 2), QStringList({"callsMenuPlay", "callsMenuPause"}));
            EXPECT_EQ(Entry(menu, "callsMenuPause")->text(), QStringLiteral("Resume\tSpace"));
            // Under the current call, not wherever the mouse is.
            EXPECT_TRUE(view.viewport()
                            ->rect()
                            .translated(view.viewport()->mapToGlobal(QPoint()))
                            .contains(menu.pos()));
        }
        menu.hide();
    }

    // A language file without these entries (made by an earlier version)
    // leaves none of them blank.
    ResetStringTableForTesting();
    SendContextMenu(view, 0);
    for (const QAction* action : menu.actions()) {
        EXPECT_TRUE(action->isSeparator() ||
                    !action->text().section(QLatin1Char('\t'), 0, 0).isEmpty())
            << action->objectName().toStdString();
    }
    menu.hide();
}

// A blocked call's row has no recording: of the menu only Delete and Call
// back apply, and the mark writes no record.
TEST(CallsListView, ACallWithoutARecordingOffersOnlyDeleteAndCallBack) {
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English")), 0);
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(AddUnrecordedCall(
        folder, {QDateTime(QDate(2026, 12, 9), QTime(9, 0)), UnrecordedKind::kBlocked,
                 QStringLiteral("0900 1"), QStringLiteral("ACME")}));
    int marks = 0;
    CallStoreOps ops;
    ops.setUserMark = [&](qint32, const QString&, const QString&) { return ++marks > 0; };
    CallsListModel model(ops);
    {
        // A folder of blocked calls alone is a folder without calls under "All".
        model.SetRecords({}, folder);
        CallsListPanel empty(model);
        EXPECT_EQ(empty.findChild<QLabel*>(QStringLiteral("callsAreaHint"))->text(),
                  Text(ids::kCallsAreaEmpty));
    }
    model.SetRecords({Timed(1)}, folder);
    CallsFilter blocked;
    blocked.kind = CallKindChoice::kBlocked;
    model.SetFilter(blocked);
    ASSERT_EQ(model.rowCount(), 1);
    CallsListPanel panel(model);
    panel.resize(700, 400);
    panel.show();
    panel.SetPlaybackCommands({[] {}, {}, [] { return false; }, [] { return true; }});
    CallsListView& view = *panel.View();
    view.SetCurrentRow(0);
    SendContextMenu(view, 0);
    QMenu& menu = *panel.ContextMenu();
    ASSERT_TRUE(menu.isVisible());
    QString enabled;
    for (const char* name :
         {"callsMenuPlay", "callsMenuNotes", "callsMenuSaveCopy", "callsMenuDelete",
          "callsMenuMarkRead", "callsMenuMarkUnread", "callsMenuUserMark", "callsMenuCallBack"}) {
        enabled += Entry(menu, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    }
    EXPECT_EQ(enabled, QStringLiteral("00010001"));
    menu.hide();
    panel.ToggleUserMarkSelected();
    EXPECT_EQ(marks, 0);
}

// Dragging selected calls out carries their recordings, as copies only;
// a press on the mark never drags, and a click inside the selection still
// selects that call alone.
TEST(CallsListView, DraggingCallsOutCarriesTheirRecordingsAsCopies) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path() + QLatin1Char('/');
    const QString elsewhere = dir.path() + QStringLiteral("/elsewhere.wav");
    QFile(elsewhere).open(QIODevice::WriteOnly);
    CallsListModel model;
    model.SetRecords({Timed(1), Timed(2), Timed(3), Timed(4)}, folder);
    // Rows 0 and 2 have their recording; row 1's is missing; row 3's is a
    // link planted in the folder.
    for (int row : {0, 2}) {
        QFile file(folder + model.CellText(row, col::kMsgFile));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(elsewhere, folder + model.CellText(3, col::kMsgFile)));
    const auto path = [&](int row) { return folder + model.CellText(row, col::kMsgFile); };

    const std::unique_ptr<QMimeData> data =
        RecordingsMimeData({path(0), path(1), path(2), path(3)});
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->urls(),
              QList<QUrl>({QUrl::fromLocalFile(path(0)), QUrl::fromLocalFile(path(2))}));
    EXPECT_EQ(data->text(), path(0) + QLatin1Char('\n') + path(2));
    EXPECT_EQ(RecordingsMimeData({path(1), path(3)}), nullptr);

    CallsListPanel panel(model);
    panel.resize(700, 400);
    panel.show();
    CallsListView& view = *panel.View();
    std::vector<std::pair<QList<QUrl>, Qt::DropActions>> drags;
    CallsListView::SetDragHookForTesting([&](const QMimeData& mime, Qt::DropActions actions) {
        drags.emplace_back(mime.urls(), actions);
    });
    const auto drag = [&](int row, int column) {
        const QPoint from = view.visualRect(model.index(row, column)).center();
        const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, view.viewport()->mapToGlobal(at),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                              Qt::NoModifier);
            QApplication::sendEvent(view.viewport(), &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, from + QPoint(2, 0), Qt::LeftButton);
        send(QEvent::MouseMove, from + QPoint(0, 3 * QApplication::startDragDistance()),
             Qt::LeftButton);
        send(QEvent::MouseButtonRelease, from + QPoint(0, 3 * QApplication::startDragDistance()),
             Qt::NoButton);
    };
    view.selectAll();
    drag(2, col::kCaller);
    ASSERT_EQ(drags.size(), 1u);
    EXPECT_EQ(drags[0].first,
              QList<QUrl>({QUrl::fromLocalFile(path(0)), QUrl::fromLocalFile(path(2))}));
    EXPECT_EQ(drags[0].second, Qt::DropActions(Qt::CopyAction));
    EXPECT_EQ(view.SelectedRows().size(), 4u);  // the drag kept the selection
    drag(1, col::kUserMark);
    EXPECT_EQ(drags.size(), 1u);
    view.selectAll();
    Click(view.viewport(), view.visualRect(model.index(2, col::kCaller)).center());
    EXPECT_EQ(view.SelectedRows(), std::vector<int>{2});
    CallsListView::SetDragHookForTesting({});
}

}  // namespace
}  // namespace orvane
