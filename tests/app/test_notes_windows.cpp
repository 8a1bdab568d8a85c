// The note editor and the general notes window, driven offscreen: typing at
// the limits, Add and Cancel on a real index file, the row's height in the
// real calls list, the notes file written on close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include "app/calls_list/calls_list_view.h"
#include "app/main_window.h"
#include "app/notes/call_notes_window.h"
#include "app/notes/notes_window.h"
#include "app/program.h"
#include "calls/list/calls_list_model.h"
#include "calls/notes/general_notes.h"
#include "calls/store/call_store.h"
#include "core/product.h"
#include "settings/names/devices.h"
#include "settings/names/disconnect_call.h"
#include "settings/names/general.h"
#include "settings/names/incoming_call.h"
#include "settings/names/language.h"
#include "settings/names/log.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_store.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "translation/bidi_text.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/tray_icon.h"

namespace orvane {
namespace {

const QString kAleph = QStringLiteral("\u05d0");

void Key(QWidget* widget, int key, const QString& text = {},
         Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &event);
}

// The balloon's label goes only after a delay when hidden; each case
// starts without one.
void DropBalloon() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("qtooltip_label")) {
            delete widget;
        }
    }
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class NotesWindowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        environment_.makeProgramFolders();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"));
        ResetMessageSeam();
        folder_ = environment_.root() + QStringLiteral("/calls/");
        ASSERT_TRUE(QDir().mkpath(folder_));
        for (const char* name : {"Ann", "Bob"}) {
            CallRecord record;
            record.Set(CallField::CallKind, QStringLiteral("3"));
            record.Set(CallField::CallerName, QString::fromLatin1(name));
            record.Set(CallField::Notes, QStringLiteral("old"));
            ASSERT_TRUE(AppendCallRecord(record, folder_));
        }
        list_.CreateCallsList(folder_);
    }
    void TearDown() override {
        ResetMessageSeam();
        ResetStringTableForTesting();
        DropBalloon();
    }
    QString StoredNote(qint32 number) {
        CallRecord record;
        EXPECT_TRUE(ReadCallRecord(record, folder_, number));
        return record.Get(CallField::Notes);
    }
    QString ShownMessage() {
        const std::vector<orvane::ShownMessage> shown = TakeShownMessages();
        return shown.size() == 1 ? shown.front().text
                                 : QStringLiteral("<%1 boxes>").arg(shown.size());
    }

    testing::TestEnvironment environment_;
    QString folder_;
    CallsListModel list_{FileCallStore()};
};

TEST_F(NotesWindowsTest, TypingAtTheLimitsShowsTheBalloon) {
    const QString a = QStringLiteral("a");
    const struct {
        QString note;
        int key;
        QString text;
        QString after;
        int balloon;  // text id, 0 for none
    } cases[] = {
        {a.repeated(256), Qt::Key_X, QStringLiteral("x"), a.repeated(256), ids::kNoteFullText},
        {a.repeated(256), Qt::Key_Backspace, QStringLiteral("\b"), a.repeated(255), 0},
        {a.repeated(5), Qt::Key_Return, QStringLiteral("\r"), a.repeated(5) + "\r\n", 0},
        {kAleph.repeated(128), Qt::Key_X, QStringLiteral("x"), kAleph.repeated(128),
         ids::kNoteBytesFullText},
    };
    for (const auto& c : cases) {
        CallNotesWindow window(list_, 0);
        window.show();
        DropBalloon();
        window.NoteBox()->SetNote(c.note);
        Key(window.NoteBox(), c.key, c.text);
        EXPECT_EQ(window.NoteBox()->Note(), c.after) << c.note.size() << " " << c.key;
        if (c.balloon != 0) {
            EXPECT_TRUE(QToolTip::isVisible());
            EXPECT_TRUE(QToolTip::text().contains(Text(c.balloon).toHtmlEscaped()))
                << QToolTip::text().toStdString();
            EXPECT_TRUE(QToolTip::text().contains(Text(ids::kNoteFullTitle)));
        } else {
            EXPECT_FALSE(QToolTip::isVisible()) << QToolTip::text().toStdString();
        }
    }
}

TEST_F(NotesWindowsTest, AddSavesTheNoteAndSizesTheRowCancelTouchesNothing) {
    CallsListPanel panel(list_);
    CallsListView& view = *panel.View();
    const int line = view.fontMetrics().height();

    CallNotesWindow tooLong(list_, 1);
    tooLong.show();
    EXPECT_EQ(tooLong.NoteBox()->Note(), QStringLiteral("old"));
    tooLong.NoteBox()->SetNote(QString(156, QLatin1Char('n')));
    SetNextMessageAnswer(kAnswerOk);
    tooLong.AddButton()->click();
    EXPECT_EQ(ShownMessage(), Text(ids::kMsgNoteTooLong));
    EXPECT_TRUE(tooLong.isVisible());
    EXPECT_EQ(StoredNote(2), QStringLiteral("old"));

    // 155 characters go in as they are, through Ctrl+Enter.
    CallNotesWindow longest(list_, 1);
    longest.show();
    longest.NoteBox()->SetNote(QString(155, QLatin1Char('n')));
    Key(longest.NoteBox(), Qt::Key_Return, QStringLiteral("\r"), Qt::ControlModifier);
    EXPECT_FALSE(longest.isVisible());
    EXPECT_EQ(longest.result(), QDialog::Accepted);
    EXPECT_EQ(StoredNote(2), QString(155, QLatin1Char('n')));

    const struct {
        QString note;
        int height;
    } heights[] = {
        {QStringLiteral("one\r\ntwo"), line + 22 + 18},
        {QString(), 22},
    };
    for (const auto& c : heights) {
        CallNotesWindow window(list_, 1);
        window.show();
        window.NoteBox()->SetNote(c.note);
        window.AddButton()->click();
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(StoredNote(2), c.note);
        EXPECT_EQ(view.verticalHeader()->sectionSize(1), c.height) << c.note.toStdString();
        EXPECT_EQ(view.verticalHeader()->sectionSize(0), line + 22 + 2);
    }

    CallNotesWindow cancelled(list_, 0);
    cancelled.show();
    Key(cancelled.NoteBox(), Qt::Key_X, QStringLiteral("x"));
    Key(cancelled.NoteBox(), Qt::Key_Escape);
    EXPECT_FALSE(cancelled.isVisible());
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_EQ(StoredNote(1), QStringLiteral("old"));
    EXPECT_EQ(list_.CellText(0, calls_column::kBody), QStringLiteral("old"));
    EXPECT_TRUE(TakeShownMessages().empty());
}

TEST_F(NotesWindowsTest, AStoreFailureIsReportedAndKeepsTheText) {
    CallNotesWindow window(list_, 0);
    window.show();
    window.NoteBox()->SetNote(QStringLiteral("new"));
    ASSERT_TRUE(QFile::remove(CallIndexFile(folder_)));
    SetNextMessageAnswer(kAnswerOk);
    window.AddButton()->click();
    EXPECT_EQ(ShownMessage(), Text(ids::kMsgNoteNotSaved));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.NoteBox()->Note(), QStringLiteral("new"));
    EXPECT_EQ(list_.CellText(0, calls_column::kBody), QStringLiteral("old"));
}

// A call stored while the editor is open rebuilds the sorted list under it.
TEST_F(NotesWindowsTest, TheNoteGoesToItsCallAfterARebuild) {
    list_.HeaderClicked(calls_column::kCaller);  // Ann, Bob
    CallNotesWindow bob(list_, 1);
    CallRecord al;
    al.Set(CallField::CallerName, QStringLiteral("Al"));
    ASSERT_TRUE(AppendCallRecord(al, folder_));
    list_.CreateCallsList(folder_);  // Al, Ann, Bob
    bob.NoteBox()->SetNote(QStringLiteral("for Bob"));
    bob.Add();
    EXPECT_EQ(StoredNote(1), QStringLiteral("old"));
    EXPECT_EQ(StoredNote(2), QStringLiteral("for Bob"));
    EXPECT_EQ(list_.CellText(2, calls_column::kBody), QStringLiteral("for Bob"));

    CallNotesWindow gone(list_, 0);
    list_.CreateCallsList(QString());  // the folder changed
    SetNextMessageAnswer(kAnswerOk);
    gone.Add();
    EXPECT_EQ(ShownMessage(), Text(ids::kMsgNoteNotSaved));
    EXPECT_EQ(gone.result(), QDialog::Rejected);
}

// The program's way: the store announces a stored call and its row comes in
// above the call being noted.
TEST_F(NotesWindowsTest, TheNoteGoesToItsCallWhenAStoredCallsRowComesInAboveIt) {
    list_.HeaderClicked(calls_column::kCaller);  // Ann, Bob
    CallNotesWindow bob(list_, 1);
    CallRecord al;
    al.Set(CallField::CallerName, QStringLiteral("Al"));
    ASSERT_TRUE(list_.Store().Append(al, folder_));  // Al, Ann, Bob
    bob.NoteBox()->SetNote(QStringLiteral("for Bob"));
    bob.Add();
    EXPECT_EQ(StoredNote(1), QStringLiteral("old"));
    EXPECT_EQ(StoredNote(2), QStringLiteral("for Bob"));
    EXPECT_EQ(list_.CellText(2, calls_column::kBody), QStringLiteral("for Bob"));
}

TEST_F(NotesWindowsTest, GeneralNotesAreReadOnOpenAndWrittenOnClose) {
    const QString path = GeneralNotesFile();
    ASSERT_EQ(path, environment_.dataHome() + QStringLiteral("/orvane/Notes"));
    {
        NotesWindow first;
        EXPECT_EQ(ReadBytes(path), QByteArray());  // made on the first open
        first.show();
        first.TextBox()->setPlainText(QStringLiteral("a\n\u05d1"));
        first.close();
    }
    EXPECT_EQ(ReadBytes(path), QStringLiteral("a\r\n\u05d1\r\n").toUtf8());

    NotesWindow second;
    second.show();
    EXPECT_EQ(second.TextBox()->toPlainText(), QStringLiteral("a\n\u05d1"));
    second.TextBox()->setPlainText(QString(100, QLatin1Char('x')));
    // The disk is full: No keeps the window open, Yes closes it.
    for (const qint16 answer : {kAnswerNo, kAnswerYes}) {
        SetNextMessageAnswer(answer);
        {
            testing::FileSizeLimit full(8);
            second.close();
        }
        EXPECT_EQ(ShownMessage(), Text(ids::kAskCloseNotesUnsaved));
        EXPECT_EQ(second.isVisible(), answer == kAnswerNo);
    }
    EXPECT_EQ(ReadBytes(path), QStringLiteral("a\r\n\u05d1\r\n").toUtf8());
}

TEST_F(NotesWindowsTest, AnUnreadableNotesFileIsNotWrittenOverUnchanged) {
    const QString path = environment_.dataHome() + QStringLiteral("/orvane/Notes");
    ASSERT_TRUE(QDir().mkpath(path));  // a folder in the file's place
    NotesWindow notes;
    notes.show();
    EXPECT_TRUE(notes.TextBox()->toPlainText().isEmpty());
    notes.close();
    EXPECT_FALSE(notes.isVisible());
    EXPECT_TRUE(TakeShownMessages().empty());  // nothing was tried
    EXPECT_TRUE(QFileInfo(path).isDir());
}

TEST_F(NotesWindowsTest, WindowsFollowTheLanguagesDirection) {
    const struct {
        const char* language;
        Qt::LayoutDirection direction;
    } cases[] = {{"English", Qt::LeftToRight}, {"Hebrew", Qt::RightToLeft}};
    for (const auto& c : cases) {
        ResetStringTableForTesting();
        LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/") + QLatin1String(c.language));
        CallNotesWindow editor(list_, 0);
        NotesWindow notes;
        EXPECT_EQ(editor.layoutDirection(), c.direction) << c.language;
        EXPECT_EQ(notes.layoutDirection(), c.direction) << c.language;
        // Lines start at the right only in a right-to-left language.
        EXPECT_EQ(
            editor.NoteBox()->document()->defaultTextOption().textDirection() == Qt::RightToLeft,
            c.direction == Qt::RightToLeft);
        // In a right-to-left isolate where the text is Hebrew.
        EXPECT_EQ(editor.AddButton()->text(), RightToLeftRun(Text(ids::kNotesAdd)));
        EXPECT_EQ(notes.windowTitle(), Text(ids::kMenuNotes));
    }
}

// The program opens the editor on the row the calls list asks for, and
// opens nothing without a row.
TEST_F(NotesWindowsTest, TheProgramOpensTheEditorOnTheRequestedRow) {
    environment_.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
    for (const QString& subkey : {QString(), kLanguageKey, kTabDevices, kTabGeneral, kTabLog,
                                  kTabIncomingCall, kTabDisconnectCall}) {
        RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
    }
    const auto store = [](const QString& subkey, const char* name, const QString& value) {
        RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey)
            .SetRegistryValue(QString::fromLatin1(name), value, kRegSz);
    };
    store(kTabDevices, "txtLinePorts", environment_.root() + QStringLiteral("/no-modem"));
    store(kTabGeneral, "txtPath", folder_);
    TrayIcon::OverrideAvailability(true);
    Program program;
    program.Load(true);
    CallsListPanel* calls = program.Window().CallsList();

    // Answers the editor once it runs modal: the note it shows, then Add.
    QStringList shown;
    const auto answerEditor = [&shown](const QString& note) {
        QTimer::singleShot(0, [&shown, note] {
            auto* editor = qobject_cast<CallNotesWindow*>(QApplication::activeModalWidget());
            if (editor == nullptr) {
                return;
            }
            shown << editor->NoteBox()->Note();
            editor->NoteBox()->SetNote(note);
            editor->AddButton()->click();
        });
    };
    answerEditor(QStringLiteral("from the list"));
    Q_EMIT calls->OpenNoteRequested(1);
    // The editor is open and the request has returned: no loop ran inside it.
    EXPECT_TRUE(shown.isEmpty());
    QApplication::processEvents();
    EXPECT_EQ(shown, QStringList{QStringLiteral("old")});
    EXPECT_EQ(calls->View()->CurrentRow(), 1);
    EXPECT_EQ(StoredNote(2), QStringLiteral("from the list"));

    ASSERT_TRUE(QFile::remove(CallIndexFile(folder_)));
    program.RebuildCallsList();
    ASSERT_EQ(calls->View()->CurrentRow(), -1);
    answerEditor(QStringLiteral("nowhere"));
    program.EditCallNote();
    QApplication::processEvents();  // the answer runs and finds no editor
    EXPECT_EQ(shown.size(), 1);
    TrayIcon::OverrideAvailability(std::nullopt);
}

}  // namespace
}  // namespace orvane
