// What the testers did, through the whole program on the emulated line: a
// call is selected, the emulator's next call is stored (one row comes in,
// the list is not read again), and Save a copy and Delete still act on the
// call the user chose. Delete asks first; Edit > Undo delete brings the call back,
// record and file.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>

#include "app/calls_list/calls_list_view.h"
#include "app/main_window.h"
#include "app/program.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_store.h"
#include "journal/journal_writer.h"
#include "settings/global_options.h"
#include "telephony/tapi.h"
#include "tests/support/program_on_emulator.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/modemsim_process.h"
#include "translation/show_message.h"
#include "translation/string_table.h"
#include "ui/common_widgets.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

namespace col = calls_column;

QString Call(const char* name, const char* number) {
    return QStringLiteral(
               "call rings=2 every=300 name=\"%1\" number=%2; pickup; "
               "wait-command VRX; sleep 1500; remote-hangup busy; "
               "wait-hangup timeout 20000; ")
        .arg(QLatin1String(name), QLatin1String(number));
}

class CallsDeleteEndToEnd : public testing::ProgramOnEmulatorTest<> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramOnEmulatorTest::SetUp());
        ResetStringTableForTesting();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ResetMessageSeam();
        SetFileDialogHook([this](const FileDialogRequest& request) {
            proposed_ << ProposedSavePath(request);
            return QString();  // cancelled
        });
    }
    void TearDown() override {
        SetFileDialogHook({});
        ResetMessageSeam();
        ProgramOnEmulatorTest::TearDown();
    }

    // Two calls come and go here: a minute each.
    template <typename Predicate>
    static bool PumpUntil(Predicate done, int limitMs = 60000) {
        return ProgramOnEmulator::PumpUntil(done, limitMs);
    }
    QStringList Callers() const {
        QStringList names;
        for (const CallRecord& record : ReadAllCallRecords(folder_)) {
            names << record.Get(CallField::CallerName);
        }
        return names;
    }
    QStringList Waves() const {
        return QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
    }
    QStringList Trashed() const {
        return QDir(env_.dataHome() + QStringLiteral("/Trash/files")).entryList(QDir::Files);
    }
    static QStringList SelectedCallers(Program& program) {
        CallsListView& view = *program.Window().CallsList()->View();
        QStringList names;
        for (int row : view.SelectedRows()) {
            names << program.CallsList().CellText(row, col::kCallerName);
        }
        return names;
    }

    QStringList proposed_;
};

TEST_F(CallsDeleteEndToEnd, DeleteTakesTheChosenCallAfterTheNextCallIsStoredAndUndoBringsItBack) {
    ASSERT_TRUE(
        sim_.Start(link_, QStringLiteral("voice pattern; wait-command VCID=1; ") +
                              Call("Early Caller", "5550001") + QStringLiteral("sleep 4000; ") +
                              Call("Later Caller", "5550002") + QStringLiteral("sleep 120000")));
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    CallsListModel& list = program.CallsList();
    CallsListView& view = *window.CallsList()->View();

    // The first call is stored and listed; the user sorts newest first, as
    // the testers had it, and selects it.
    ASSERT_TRUE(PumpUntil([&] { return list.rowCount() == 1; })) << Journal().toStdString();
    view.horizontalHeader()->sectionClicked(col::kDateTime);
    view.horizontalHeader()->sectionClicked(col::kDateTime);
    view.SetCurrentRow(0);
    ASSERT_EQ(SelectedCallers(program), QStringList{"Early Caller"});
    int resets = 0;
    int inserted = 0;
    const QMetaObject::Connection counted[] = {
        QObject::connect(&list, &QAbstractItemModel::modelReset, [&] { ++resets; }),
        QObject::connect(
            &list, &QAbstractItemModel::rowsInserted,
            [&](const QModelIndex&, int first, int last) { inserted += last - first + 1; }),
    };

    // The next call is stored: its one new row comes first and the
    // selection stays on the call the user chose.
    ASSERT_TRUE(PumpUntil([&] { return list.rowCount() == 2; })) << Journal().toStdString();
    ASSERT_EQ(Callers(), QStringList({"Early Caller", "Later Caller"}));
    EXPECT_EQ(list.CellText(0, col::kCallerName), QStringLiteral("Later Caller"));
    EXPECT_EQ(SelectedCallers(program), QStringList{"Early Caller"});
    EXPECT_EQ(list.CellText(view.CurrentRow(), col::kCallerName), QStringLiteral("Early Caller"));
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(inserted, 1);
    for (const QMetaObject::Connection& connection : counted) {
        QObject::disconnect(connection);
    }
    const CallRecord early = ReadAllCallRecords(folder_).at(0);
    const CallRecord later = ReadAllCallRecords(folder_).at(1);

    // Save a copy offers the chosen call's file.
    window.MenuClick(QStringLiteral("SaveToPC"));
    ASSERT_EQ(proposed_.size(), 1);
    EXPECT_TRUE(proposed_[0].endsWith(QLatin1Char('/') + CallFileName(early)))
        << proposed_[0].toStdString();

    // Delete asks; the answer Yes takes the chosen call, record and file.
    SetNextMessageAnswer(kAnswerYes);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    const std::vector<ShownMessage> asked = TakeShownMessages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].text.contains(QStringLiteral("Early Caller")))
        << asked[0].text.toStdString();
    EXPECT_EQ(Callers(), QStringList{"Later Caller"});
    EXPECT_EQ(Waves(), QStringList{CallFileName(later)});
    EXPECT_EQ(Trashed(), QStringList{CallFileName(early)});
    EXPECT_TRUE(
        QFile::exists(env_.dataHome() + "/Trash/info/" + CallFileName(early) + ".trashinfo"));
    EXPECT_FALSE(QFile::exists(folder_ + QStringLiteral("Data.pending")));
    ASSERT_EQ(list.rowCount(), 1);
    EXPECT_EQ(list.CellText(0, col::kCallerName), QStringLiteral("Later Caller"));

    // Edit > Undo delete: the record and the file come back, selected.
    auto* undo = window.menuBar()->findChild<QAction*>(QStringLiteral("Undo"));
    ASSERT_NE(undo, nullptr);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->trigger();
    EXPECT_EQ(Callers(), QStringList({"Early Caller", "Later Caller"}));
    EXPECT_EQ(ReadAllCallRecords(folder_).at(0).Bytes(), early.Bytes());
    QStringList both = {CallFileName(early), CallFileName(later)};
    both.sort();
    EXPECT_EQ(Waves(), both);
    EXPECT_TRUE(Trashed().isEmpty());
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(SelectedCallers(program), QStringList{"Early Caller"});
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(TakeShownMessages().empty());
    window.UnLoadApp();
}

}  // namespace
}  // namespace orvane
