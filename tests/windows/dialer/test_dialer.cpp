// The dialer: the file of the last numbers, and the window placing calls
// only with what a modem can dial.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "calls/call_state.h"
#include "calls/last_numbers.h"
#include "telephony/line_backend.h"
#include "tests/support/file_size_limit.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "windows/dialer/dialer_window.h"

namespace orvane {
namespace {

QByteArray Lines(int from, int to) {
    QByteArray bytes;
    for (int n = from; n <= to; ++n) {
        bytes += QByteArray::number(n) + "\r\n";
    }
    return bytes;
}

void Press(QWidget* widget, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

struct FileCase {
    const char* label;
    std::optional<QByteArray> before;  // none: no file
    QString number;
    QByteArray after;
};

TEST(LastNumbers, PuttingANumberFirstKeepsTheFileShortAndWithoutRepeats) {
    const FileCase cases[] = {
        {"missing file", std::nullopt, "555", "555\r\n"},
        {"fifth moves up, count kept", "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n", "5",
         "5\r\n1\r\n2\r\n3\r\n4\r\n6\r\n"},
        {"first stays", "1\r\n2\r\n", "1", "1\r\n2\r\n"},
        {"new at the head of 30, the 30th dropped", Lines(1, 30), "99", "99\r\n" + Lines(1, 29)},
        {"empty changes nothing", "1\r\n2\r\n", "", "1\r\n2\r\n"},
        {"a line break changes nothing", "1\r\n", "2\r\n3", "1\r\n"},
        {"comparison is exact", "abc\r\n", "ABC", "ABC\r\nabc\r\n"},
        {"LF ends and blank lines read", "1\n\n2\n", "3", "3\r\n1\r\n2\r\n"},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.label);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("DialCalls"));
        if (c.before) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(*c.before);
        }
        ASSERT_TRUE(PutNumberFirst(path, c.number));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.after);
    }
}

TEST(LastNumbers, AMissingFileIsCreatedEmptyAndAnUnwritableOneFails) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("DialCalls"));
    EXPECT_TRUE(ReadLastNumbers(path).isEmpty());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_FALSE(PutNumberFirst(dir.filePath(QStringLiteral("no/such/DialCalls")), "1"));

    // A full disk while the new list is written keeps the old list whole
    // (the bytes are still in the writer's buffer when the disk refuses).
    ASSERT_TRUE(PutNumberFirst(path, "5551234"));
    ASSERT_TRUE(PutNumberFirst(path, "5550000"));
    {
        const testing::FileSizeLimit full(4);
        EXPECT_FALSE(PutNumberFirst(path, "5559999"));
    }
    EXPECT_EQ(ReadLastNumbers(path), QStringList({"5550000", "5551234"}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"DialCalls"});
}

class DialerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English")), 0);
        path_ = dir_.filePath(QStringLiteral("DialCalls"));
        DialerWindow::Line line;
        line.makeCall = [this](const QString& number) {
            dialled_.append(number);
            return makeCallResult_;
        };
        line.drop = [this] { ++drops_; };
        window_ = std::make_unique<DialerWindow>(state_, std::move(line), path_);
        window_->Open(QString());
    }
    void TearDown() override {
        window_.reset();
        ResetMessageSeam();
        ResetStringTableForTesting();
    }
    template <typename T>
    T* Child(const char* name) {
        return window_->findChild<T*>(QLatin1String(name));
    }
    QString Status() { return Child<QStatusBar>("vbalStatusBar1")->findChild<QLabel*>()->text(); }

    QTemporaryDir dir_;
    QString path_;
    CallState state_;
    QStringList dialled_;
    qint32 makeCallResult_ = 0;
    int drops_ = 0;
    std::unique_ptr<DialerWindow> window_;
};

struct PlaceCase {
    const char* label;
    QString typed;
    bool record;
    qint32 lineResult;
    QString dialled;  // empty: nothing reaches the line
    int messageId;    // 0: no message
    bool flagSet;
    QByteArray filed;
};

TEST_F(DialerWindowTest, OnlyDiallingCharactersReachTheLineAndFailuresSetNoFlag) {
    const PlaceCase cases[] = {
        {"formatting dropped", "(555) 123-4567", false, 0, "5551234567", 0, true,
         "(555) 123-4567\r\n"},
        {"modifiers kept, upper case", "+1 555 w 12,p3t4 #*", true, 0, "+1555W12,P3T4#*", 0, true,
         "+1 555 w 12,p3t4 #*\r\n"},
        {"a call back without a number", "UNKNOWN", false, 0, "", ids::kMsgNothingToDial, false,
         ""},
        {"empty box", "  ", true, 0, "", 0, false, ""},
        {"line closed", "5551234", false, line_error::kNotOpen, "5551234", ids::kMsgCallNotPlaced,
         false, "5551234\r\n"},
        {"modem gone", "5551234", true, line_error::kDeviceLost, "5551234", ids::kMsgCallNotPlaced,
         false, "5551234\r\n"},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.label);
        QFile::remove(path_);
        state_ = CallState{};
        dialled_.clear();
        makeCallResult_ = c.lineResult;
        SetNextMessageAnswer(kAnswerOk);
        Child<QComboBox>("cmbCallNumber")->setEditText(c.typed);
        window_->PlaceCall(c.record);

        EXPECT_EQ(dialled_, c.dialled.isEmpty() ? QStringList() : QStringList{c.dialled});
        const std::vector<ShownMessage> shown = TakeShownMessages();
        ASSERT_EQ(shown.size(), c.messageId ? 1u : 0u);
        if (c.messageId) {
            EXPECT_TRUE(shown[0].text.startsWith(Text(c.messageId).left(20)));
        }
        if (c.lineResult != 0) {
            EXPECT_EQ(Status(), LineErrorText(c.lineResult));
        }
        EXPECT_EQ(c.record ? state_.recordCall : state_.standardCall, c.flagSet);
        EXPECT_FALSE(c.record ? state_.standardCall : state_.recordCall);
        QFile file(path_);
        EXPECT_EQ(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), c.filed);
        ResetMessageSeam();
    }
}

TEST_F(DialerWindowTest, ASecondCallWaitsForEndAndTheKeypadAndKeysWork) {
    for (const char* key : {"cmd1", "cmd2", "cmdAsterisk", "cmdLadder"}) {
        Child<QPushButton>(key)->click();
    }
    EXPECT_EQ(window_->NumberText(), QStringLiteral("12*#"));
    Child<QComboBox>("cmbCallNumber")->setEditText(QString());
    for (const QChar digit : QStringLiteral("0123")) {
        Press(Child<QComboBox>("cmbCallNumber")->lineEdit(), Qt::Key_0 + digit.digitValue(),
              QString(digit));
    }
    Press(Child<QComboBox>("cmbCallNumber")->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(dialled_, QStringList{"0123"});
    EXPECT_TRUE(state_.standardCall);

    // Busy with a call: both buttons do nothing until End.
    Child<QPushButton>("cmdRecCall")->click();
    Child<QPushButton>("cndSend")->click();
    EXPECT_EQ(dialled_.size(), 1);
    Child<QPushButton>("cmdEnd")->click();
    EXPECT_EQ(drops_, 1);
    EXPECT_FALSE(state_.standardCall || state_.recordCall);
    Child<QPushButton>("cmdRecCall")->click();
    EXPECT_EQ(dialled_.size(), 2);
    EXPECT_TRUE(state_.recordCall);

    // Dialling disables all three; the end of the call brings End back too.
    window_->EnableCallButtons(false);
    window_->EnableEndButton(false);
    window_->EnableCallButtons(true);
    EXPECT_TRUE(Child<QPushButton>("cmdEnd")->isEnabled());

    // The number just dialled heads the list the next opening shows.
    window_->close();
    QFile::remove(path_);
    window_->Open(QString());
    EXPECT_EQ(Child<QComboBox>("cmbCallNumber")->count(), 0) << "a deleted file starts empty";
    EXPECT_TRUE(QFile::exists(path_));

    Press(Child<QComboBox>("cmbCallNumber")->lineEdit(), Qt::Key_Escape);
    EXPECT_FALSE(window_->IsLoaded());
}

TEST_F(DialerWindowTest, TheKeypadReadsLeftToRightInARightToLeftLanguage) {
    window_->close();
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/Hebrew")), 0);
    ASSERT_TRUE(IsRightToLeft());
    window_->Open(QStringLiteral("5551234"));
    EXPECT_EQ(window_->layoutDirection(), Qt::RightToLeft);
    EXPECT_LT(Child<QPushButton>("cmd1")->x(), Child<QPushButton>("cmd3")->x());
    EXPECT_EQ(window_->NumberText(), QStringLiteral("5551234"));
    EXPECT_EQ(Status(), Text(ids::kStatusNoCall));
}

TEST_F(DialerWindowTest, TheNumberShownIsReplacedAndAConnectedCallIsSaidInTheStatusLine) {
    window_->close();
    ASSERT_TRUE(PutNumberFirst(path_, QStringLiteral("555-0123")));
    window_->Open(QString());
    EXPECT_EQ(Child<QComboBox>("cmbCallNumber")->lineEdit()->selectedText(),
              QStringLiteral("555-0123"));
    Child<QPushButton>("cmd7")->click();
    EXPECT_EQ(window_->NumberText(), QStringLiteral("7")) << "the keypad types over it too";

    SetNextMessageAnswer(kAnswerOk);  // a box would be recorded, not shown
    window_->CallReady();
    EXPECT_EQ(Status(), Text(ids::kMsgStandardCallConnected));
    EXPECT_TRUE(TakeShownMessages().empty());
}

}  // namespace
}  // namespace orvane
