#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <vector>

#include "core/product.h"
#include "tests/support/qt_printers.h"
#include "tests/translation/language_fixture.h"
#include "translation/show_message.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

class ShowMessageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetStringTableForTesting();
        ResetMessageSeam();
    }
    void TearDown() override {
        ResetStringTableForTesting();
        ResetMessageSeam();
    }
};

TEST_F(ShowMessageTest, SeamAnswersAndRecordsTheBox) {
    SetNextMessageAnswer(kAnswerOk);
    SetNextMessageAnswer(kAnswerNo);
    EXPECT_EQ(ShowMessage("Saved <b>x</b>", false), kAnswerOk);
    EXPECT_EQ(ShowMessage("Delete it?", true), kAnswerNo);

    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "Saved <b>x</b>");
    EXPECT_EQ(shown[0].format, Qt::PlainText);  // outside text is never markup
    EXPECT_EQ(shown[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(shown[1].buttons, QMessageBox::Yes | QMessageBox::No);
    for (const ShownMessage& box : shown) {
        EXPECT_EQ(box.caption, product::kApplicationTitle);
        EXPECT_EQ(box.icon, QMessageBox::Information);
        EXPECT_EQ(box.direction, Qt::LeftToRight);
    }
    EXPECT_TRUE(TakeShownMessages().empty());
}

TEST_F(ShowMessageTest, ReadsRightToLeftInARightToLeftLanguage) {
    QTemporaryDir dir;
    ASSERT_EQ(
        LoadTranslation(testing::WriteBytes(dir.path(), "he", testing::LanguageLines(1000, "RTL"))),
        0);
    SetNextMessageAnswer(kAnswerYes);
    EXPECT_EQ(ShowMessage("?", true), kAnswerYes);
    const std::vector<ShownMessage> shown = TakeShownMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].direction, Qt::RightToLeft);
}

// Without the seam the box is real: answer it from inside its own loop.
qint16 AnswerRealBox(bool ask, QMessageBox::StandardButton press) {
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        answered = true;
        if (press == QMessageBox::NoButton) {
            box->reject();  // Escape or the frame's close button
        } else {
            box->button(press)->click();
        }
    });
    const qint16 result = ShowMessage("real", ask);
    EXPECT_TRUE(answered);
    return result;
}

TEST_F(ShowMessageTest, AQuestionClosedForItsEndedCallAnswersNoAndAnOkBoxStays) {
    QTimer::singleShot(0, [] { CloseOpenQuestions(); });
    EXPECT_EQ(ShowMessage("Answer?", true), kAnswerNo);
    // An OK box is no question: it stays until its button is pressed.
    bool stayed = false;
    QTimer::singleShot(0, [&stayed] {
        CloseOpenQuestions();
        QApplication::processEvents();
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            stayed = box->isVisible();
            box->button(QMessageBox::Ok)->click();
        }
    });
    EXPECT_EQ(ShowMessage("Told", false), kAnswerOk);
    EXPECT_TRUE(stayed);
}

TEST_F(ShowMessageTest, RealBoxReturnsTheButtonPressed) {
    EXPECT_EQ(AnswerRealBox(true, QMessageBox::Yes), kAnswerYes);
    EXPECT_EQ(AnswerRealBox(true, QMessageBox::No), kAnswerNo);
    EXPECT_EQ(AnswerRealBox(true, QMessageBox::NoButton), kAnswerNo);
    EXPECT_EQ(AnswerRealBox(false, QMessageBox::Ok), kAnswerOk);
    EXPECT_EQ(AnswerRealBox(false, QMessageBox::NoButton), kAnswerOk);
}

TEST_F(ShowMessageTest, AnAskedQuestionAnswersLaterAndOnlyOnce) {
    enum class By { Seam, Yes, No, CallEnded };
    struct AskCase {
        const char* label;
        By by;
        bool yes;
    };
    const std::vector<AskCase> cases = {
        {"SeamYes", By::Seam, true},
        {"UserYes", By::Yes, true},
        {"UserNo", By::No, false},
        {"ClosedForItsEndedCall", By::CallEnded, false},
    };
    for (const AskCase& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.by == By::Seam) {
            SetNextMessageAnswer(kAnswerYes);
        }
        std::vector<bool> answers;
        AskQuestion("Record?", [&answers](bool yes) { answers.push_back(yes); });
        // Asking returns at once; the answer is an event of its own.
        EXPECT_TRUE(answers.empty());
        switch (c.by) {
            case By::Seam:
                EXPECT_FALSE(AnswerOpenQuestion(kAnswerNo));  // nothing was shown
                EXPECT_EQ(TakeShownMessages().size(), 1u);
                break;
            case By::Yes:
            case By::No:
                ASSERT_TRUE(AnswerOpenQuestion(c.yes ? kAnswerYes : kAnswerNo));
                break;
            case By::CallEnded:
                CloseOpenQuestions();
                break;
        }
        QApplication::processEvents();
        EXPECT_EQ(answers, std::vector<bool>{c.yes});
        EXPECT_FALSE(AnswerOpenQuestion(kAnswerYes));  // the box is gone
    }
}

}  // namespace
}  // namespace orvane
