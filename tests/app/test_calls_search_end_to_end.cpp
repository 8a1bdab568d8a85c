// The search through the real main window: words typed into the search
// field narrow the calls list as they are typed, the status bar counts the
// calls shown, Delete takes exactly the call shown (record and recording)
// and Esc brings every call back.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDeadlineTimer>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QToolButton>
#include <functional>

#include "app/calls_list/calls_list_view.h"
#include "app/calls_list/calls_search_bar.h"
#include "app/main_window.h"
#include "app/program.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "core/product.h"
#include "settings/names/language.h"
#include "settings/names/main_menus.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_store.h"
#include "telephony/tapi.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scripted_line_backend.h"
#include "tests/support/test_environment.h"
#include "tests/telephony/telephony_test_support.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

namespace col = calls_column;

CallRecord Call(const QString& name, const QString& number, const QString& note, int day) {
    CallRecord record;
    record.Set(CallField::CallKind, QStringLiteral("3"));
    record.Set(CallField::CallerName, name);
    record.Set(CallField::CallerNumber, number);
    record.Set(CallField::CallDate, QStringLiteral("12/%1/26").arg(day));
    record.Set(CallField::CallTime, QStringLiteral("4:00:00 PM"));
    record.Set(CallField::Duration, QStringLiteral("0:00:10"));
    record.Set(CallField::ReadFlag, QStringLiteral("1"));
    record.Set(CallField::ExtraText,
               QStringLiteral("2026-12-%1T16:00:00").arg(day, 2, 10, QLatin1Char('0')));
    if (!note.isEmpty()) {
        record.Set(CallField::Notes, note);
    }
    return record;
}

// Keys as the user types them.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

void Press(QWidget* widget, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

class CallsSearchEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        env_.makeProgramFolders();
        for (const QString& subkey : {QString(), kLanguageKey, kTabDevices, kTabGeneral, kTabLog,
                                      kTabIncomingCall, kTabDisconnectCall}) {
            RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
        }
        ResetStringTableForTesting();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ResetMessageSeam();
        TrayIcon::OverrideAvailability(true);
        env_.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
        Program::SetTapiFactory(
            [this](QObject* parent) { return testing::CreateScriptedTapi(backend_, parent); });
    }
    void TearDown() override {
        Program::SetTapiFactory({});
        TrayIcon::OverrideAvailability(std::nullopt);
        ResetMessageSeam();
    }

    QStringList StoredCallers() const {
        QStringList names;
        for (const CallRecord& record : ReadAllCallRecords(folder_)) {
            names << record.Get(CallField::CallerName);
        }
        return names;
    }
    static QStringList ListedCallers(const CallsListModel& list) {
        QStringList names;
        for (int row = 0; row < list.rowCount(); ++row) {
            names << list.CellText(row, col::kCallerName);
        }
        return names;
    }

    testing::TestEnvironment env_;
    testing::ScriptedLineBackend* backend_ = nullptr;
    QString folder_;
};

TEST_F(CallsSearchEndToEnd, TypingNarrowsTheListDeleteTakesTheCallShownAndEscBringsAllBack) {
    folder_ = env_.root() + QStringLiteral("/calls/");
    ASSERT_TRUE(QDir().mkpath(folder_));
    const CallRecord calls[] = {
        Call(QStringLiteral("Ann Smith"), QStringLiteral("030 1234"), QStringLiteral("Offer"), 1),
        Call(QStringLiteral("Zoë Müller"), QStringLiteral("040 777"), QStringLiteral("Rückruf"), 2),
        Call(QStringLiteral("Zoran Bob"), QStringLiteral("089 555"), {}, 3),
    };
    for (const CallRecord& record : calls) {
        ASSERT_TRUE(AppendCallRecord(record, folder_));
        env_.writeFile(QStringLiteral("calls/") + CallFileName(record), "RIFF");
    }

    Program program;
    program.Load(true);
    MainWindow& window = program.Window();
    CallsListModel& list = program.CallsList();
    list.CreateCallsList(folder_);
    CallsSearchBar* bar = window.CallsSearch();
    ASSERT_NE(bar, nullptr);
    auto* field = bar->findChild<QLineEdit*>(QStringLiteral("searchField"));
    auto* count = window.findChild<QLabel*>(QStringLiteral("statusPanel2"));
    ASSERT_NE(field, nullptr);
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(count->text(), QString());

    // Edit > Find is Ctrl+F and puts the keys in the search field.
    auto* find = window.menuBar()->findChild<QAction*>(QStringLiteral("Find"));
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(find->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    window.show();
    window.activateWindow();
    const QDeadlineTimer limit(10000);
    while (!window.isActiveWindow() && !limit.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    ASSERT_TRUE(window.isActiveWindow());
    find->trigger();
    EXPECT_EQ(QApplication::focusWidget(), field);
    // Each key narrows the list; accents and case do not matter.
    Type(field, QStringLiteral("ZO"));
    EXPECT_EQ(ListedCallers(list), QStringList({"Zoë Müller", "Zoran Bob"}));
    EXPECT_EQ(count->text(), QStringLiteral("2 of 3 calls"));
    Type(field, QStringLiteral("e ruck"));
    EXPECT_EQ(field->text(), QStringLiteral("ZOe ruck"));
    EXPECT_EQ(ListedCallers(list), QStringList{"Zoë Müller"});
    EXPECT_EQ(count->text(), QStringLiteral("1 of 3 calls"));

    // Delete takes the call shown, and only it: record and recording.
    CallsListView& view = *window.CallsList()->View();
    view.SetCurrentRow(0);
    SetNextMessageAnswer(kAnswerYes);
    Press(&view, Qt::Key_Delete);
    ASSERT_EQ(TakeShownMessages().size(), 1u);
    EXPECT_EQ(StoredCallers(), QStringList({"Ann Smith", "Zoran Bob"}));
    EXPECT_EQ(QDir(folder_).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name),
              QStringList({CallFileName(calls[0]), CallFileName(calls[2])}));
    EXPECT_EQ(list.rowCount(), 0);
    EXPECT_EQ(count->text(), QStringLiteral("0 of 2 calls"));
    auto* hint = window.findChild<QLabel*>(QStringLiteral("callsAreaHint"));
    ASSERT_NE(hint, nullptr);
    EXPECT_EQ(hint->text(), Text(ids::kSearchNoMatch));

    // Esc clears the search: every call is back and nothing is counted.
    Press(field, Qt::Key_Escape);
    EXPECT_EQ(field->text(), QString());
    EXPECT_EQ(QApplication::focusWidget(), window.CallsList()->View());
    EXPECT_EQ(ListedCallers(list), QStringList({"Ann Smith", "Zoran Bob"}));
    EXPECT_EQ(count->text(), QString());
    EXPECT_TRUE(TakeShownMessages().empty());
    window.UnLoadApp();
}

// Each control of the bar sets its own part of the list's filter, and Esc
// from any of them clears them all.
TEST(CallsSearchBar, EachControlSetsItsPartOfTheFilterAndEscClearsAll) {
    ResetStringTableForTesting();
    LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
    CallsListModel model;
    CallsSearchBar bar(model);
    const auto child = [&bar](const char* name) {
        return bar.findChild<QWidget*>(QString::fromLatin1(name));
    };
    auto* unread = bar.findChild<QToolButton*>(QStringLiteral("searchUnread"));
    auto* marked = bar.findChild<QToolButton*>(QStringLiteral("searchMarked"));
    auto* kind = bar.findChild<QComboBox*>(QStringLiteral("searchKind"));
    auto* dates = bar.findChild<QCheckBox*>(QStringLiteral("searchDates"));
    auto* from = bar.findChild<QDateEdit*>(QStringLiteral("searchFrom"));
    auto* to = bar.findChild<QDateEdit*>(QStringLiteral("searchTo"));
    ASSERT_TRUE(unread && marked && kind && dates && from && to);
    ASSERT_EQ(kind->count(), 6);
    EXPECT_FALSE(model.Filter().IsActive());
    const struct {
        const char* what;
        std::function<void()> act;
        std::function<void(CallsFilter&)> expected;  // on the filter before
        const char* escFrom;
    } steps[] = {
        {"unread", [&] { unread->click(); }, [](CallsFilter& f) { f.unreadOnly = true; },
         "searchUnread"},
        {"marked", [&] { marked->click(); }, [](CallsFilter& f) { f.markedOnly = true; },
         "searchMarked"},
        {"incoming", [&] { kind->setCurrentIndex(1); },
         [](CallsFilter& f) { f.kind = CallKindChoice::kIncoming; }, "searchKind"},
        {"outgoing", [&] { kind->setCurrentIndex(2); },
         [](CallsFilter& f) { f.kind = CallKindChoice::kOutgoing; }, "searchKind"},
        {"answered", [&] { kind->setCurrentIndex(3); },
         [](CallsFilter& f) { f.kind = CallKindChoice::kAnswered; }, "searchKind"},
        {"blocked", [&] { kind->setCurrentIndex(4); },
         [](CallsFilter& f) { f.kind = CallKindChoice::kBlocked; }, "searchKind"},
        {"not recorded", [&] { kind->setCurrentIndex(5); },
         [](CallsFilter& f) { f.kind = CallKindChoice::kNotRecorded; }, "searchKind"},
        {"dates",
         [&] {
             from->setDate(QDate(2026, 12, 1));
             to->setDate(QDate(2026, 12, 7));
             dates->click();
         },
         [](CallsFilter& f) {
             f.from = QDate(2026, 12, 1);
             f.to = QDate(2026, 12, 7);
         },
         "searchTo"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        CallsFilter expected;
        step.expected(expected);
        step.act();
        EXPECT_EQ(model.Filter(), expected);
        EXPECT_EQ(bar.Filter(), expected);
        Press(child(step.escFrom), Qt::Key_Escape);
        EXPECT_EQ(model.Filter(), CallsFilter{});
        EXPECT_FALSE(dates->isChecked());
    }
}

}  // namespace
}  // namespace orvane
