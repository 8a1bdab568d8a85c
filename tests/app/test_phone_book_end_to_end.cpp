// The phone book on the emulated line: a vCard imported through the phone
// book window names the caller on the ringing display, in the desktop
// notice and in the calls journal, while the stored call keeps what the
// line sent; "Name this number" on the call's row renames it.
#include <gtest/gtest.h>

#include <QAction>
#include <QDBusConnection>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "app/calls_list/calls_list_view.h"
#include "app/main_window.h"
#include "app/program.h"
#include "calls/list/calls_filter.h"
#include "calls/list/calls_list_model.h"
#include "calls/phonebook/phone_book.h"
#include "calls/store/call_store.h"
#include "journal/journal_writer.h"
#include "settings/names/general.h"
#include "settings/names/incoming_call.h"
#include "settings/names/log.h"
#include "tests/support/fake_notifications.h"
#include "tests/support/program_on_emulator.h"
#include "translation/show_message.h"
#include "ui/common_widgets.h"
#include "windows/phone_book/phone_book_window.h"

namespace orvane {
namespace {

class PhoneBookEndToEnd : public testing::ProgramOnEmulatorTest<> {};

QString CallsJournal() {
    QFile file(ProgramJournal().folder() + ProgramJournal().callsFileName());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST_F(PhoneBookEndToEnd, AnImportedCardNamesTheCallerTheRecordKeepsTheLinesName) {
    testing::FakeNotifications service;
    if (service.Address().isEmpty()) {
        GTEST_SKIP() << "no private session bus: dbus-daemon (package dbus) is missing";
    }
    ASSERT_TRUE(service.Register());
    env_.setVariable("DBUS_SESSION_BUS_ADDRESS", service.Address());
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    Store(kTabIncomingCall, "chkViewCD_IC", QStringLiteral("1"));
    Store(kTabLog, "chkLogCalls", QStringLiteral("1"));
    Store(kTabGeneral, "PhoneCountry", QStringLiteral("DE"));
    Store(kTabGeneral, "PhoneAreaCode", QStringLiteral("030"));
    const QString card = env_.root() + QStringLiteral("/contacts.vcf");
    {
        QFile file(card);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Berg;Anna\r\nFN:Anna Berg\r\n"
            "TEL;TYPE=HOME,VOICE:+49 30 1234\r\nEND:VCARD\r\n");
    }
    // The line sends the network's short name.
    ASSERT_TRUE(
        sim_.Start(link_, QStringLiteral("voice pattern; wait-command VCID=1; "
                                         "call rings=2 every=300 name=\"BERG A\" number=0301234; "
                                         "pickup; wait-command VRX; sleep 1500; "
                                         "remote-hangup busy; wait-hangup timeout 20000; "
                                         "sleep 120000")));
    Program program;
    program.Load(true);
    MainWindow& window = program.Window();

    // Imported before the line's events are handled: they wait for the loop.
    window.MenuClick(QStringLiteral("PhoneBook"));
    PhoneBookWindow* book = program.PhoneBookWindowShown();
    ASSERT_NE(book, nullptr);
    const FileDialogHook before =
        SetFileDialogHook([&card](const FileDialogRequest&) { return card; });
    SetNextMessageAnswer(kAnswerOk);
    book->findChild<QPushButton*>(QStringLiteral("cmdImport"))->click();
    SetFileDialogHook(before);
    EXPECT_EQ(TakeShownMessages().size(), 1u);
    const auto* contacts = book->findChild<QTreeWidget*>(QStringLiteral("lstContacts"));
    ASSERT_EQ(contacts->topLevelItemCount(), 1);
    EXPECT_EQ(contacts->topLevelItem(0)->text(0), QStringLiteral("Anna Berg"));
    book->hide();

    const auto* name = window.findChild<QLabel*>(QStringLiteral("lblCallerName"));
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(PumpUntil([&] { return name->text() == QLatin1String("Anna Berg"); }))
        << name->text().toStdString();
    EXPECT_TRUE(PumpUntil([&] {
        return !service.calls.isEmpty() &&
               service.calls.last().body == QLatin1String("Anna Berg - 0301234");
    }));
    ASSERT_TRUE(PumpUntil([&] { return Journal().contains(QStringLiteral("End Of Call")); }))
        << Journal().toStdString();
    EXPECT_TRUE(CallsJournal().contains(QStringLiteral("Anna Berg - 0301234")))
        << CallsJournal().toStdString();

    const std::vector<CallRecord> records = ReadAllCallRecords(folder_);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Get(CallField::CallerName), QStringLiteral("BERG A"));
    EXPECT_EQ(records[0].Get(CallField::CallerNumber), QStringLiteral("0301234"));

    // "Name this number" on the call's row offers the book's name.
    ASSERT_TRUE(PumpUntil([&] { return program.CallsList().rowCount() == 1; }));
    auto* panel = window.findChild<CallsListPanel*>(QStringLiteral("callsArea"));
    ASSERT_NE(panel, nullptr);
    panel->View()->SetCurrentRow(0);
    // The list names the caller as the ringing display did, and the search
    // finds the call by the book's name and by the number in another form.
    CallsListModel& list = program.CallsList();
    EXPECT_EQ(list.CellText(0, calls_column::kCaller), QStringLiteral("Anna Berg - 0301234"));
    EXPECT_EQ(list.CellText(0, calls_column::kCallerName), QStringLiteral("BERG A"));
    for (const char* words : {"anna", "+49 30 1234"}) {
        CallsFilter filter;
        filter.words = QString::fromUtf8(words);
        list.SetFilter(filter);
        EXPECT_EQ(list.rowCount(), 1) << words;
    }
    list.SetFilter(CallsFilter{});
    panel->View()->SetCurrentRow(0);
    QAction* nameThis = window.findChild<QAction*>(QStringLiteral("actNameThisNumber"));
    ASSERT_NE(nameThis, nullptr);
    EXPECT_TRUE(nameThis->isEnabled());
    QString offered;
    const NameDialogHook previous = SetNameDialogHook([&offered](const QString&, const QString& o) {
        offered = o;
        return std::optional<QString>(QStringLiteral("Aunt Anna"));
    });
    nameThis->trigger();
    SetNameDialogHook(previous);
    EXPECT_EQ(offered, QStringLiteral("Anna Berg"));
    EXPECT_EQ(program.Book()->NameFor(QStringLiteral("+49301234")), QStringLiteral("Aunt Anna"));
    EXPECT_EQ(list.CellText(0, calls_column::kCaller), QStringLiteral("Aunt Anna - 0301234"));
    window.UnLoadApp();
}

}  // namespace
}  // namespace orvane
