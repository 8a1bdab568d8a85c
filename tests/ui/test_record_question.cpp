// The record question in the caller display: what each state shows, and the
// answers given with the mouse or the keyboard.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/record_question.h"

namespace orvane {
namespace {

TEST(RecordQuestionBar, ShowsTheQuestionOrTheChoiceAndOffersTheOtherAnswer) {
    ResetStringTableForTesting();
    ASSERT_EQ(LoadTranslation(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English")), 0);
    QWidget display;
    auto* bar = new RecordQuestionBar(&display);
    display.show();
    auto* text = bar->findChild<QLabel*>(QStringLiteral("recordQuestionText"));
    auto* keep = bar->findChild<QPushButton*>(QStringLiteral("recordQuestionKeep"));
    auto* discard = bar->findChild<QPushButton*>(QStringLiteral("recordQuestionDiscard"));
    ASSERT_TRUE(text && keep && discard);
    EXPECT_FALSE(bar->isVisible()) << "no question before an ask call";
    const struct {
        RecordQuestion state;
        int text;
        bool keepShown;
        bool discardShown;
    } cases[] = {
        {RecordQuestion::kOpen, ids::kAskRecordThisCall, true, true},
        {RecordQuestion::kKeep, ids::kAskRecordingKept, false, true},
        {RecordQuestion::kDiscard, ids::kAskRecordingNotKept, true, false},
    };
    QSignalSpy answered(bar, &RecordQuestionBar::Answered);
    for (const auto& c : cases) {
        const int state = static_cast<int>(c.state);
        bar->Show(c.state);
        EXPECT_TRUE(bar->isVisible()) << state;
        EXPECT_EQ(text->text(), Text(c.text)) << state;
        EXPECT_FALSE(text->text().isEmpty()) << state;
        EXPECT_EQ(keep->isVisible(), c.keepShown) << state;
        EXPECT_EQ(discard->isVisible(), c.discardShown) << state;
        EXPECT_EQ(keep->text(), Text(ids::kAskKeepButton));
        EXPECT_EQ(discard->text(), Text(ids::kAskDontRecordButton));
        // Each shown button answers, by click and by Space once focused.
        for (QPushButton* button : {keep, discard}) {
            if (!button->isVisible()) {
                continue;
            }
            answered.clear();
            QTest::mouseClick(button, Qt::LeftButton);
            button->setFocus();
            QTest::keyClick(button, Qt::Key_Space);
            ASSERT_EQ(answered.size(), 2) << state;
            for (const QList<QVariant>& signal : answered) {
                EXPECT_EQ(signal.at(0).toBool(), button == keep) << state;
            }
        }
    }
    bar->Show(RecordQuestion::kHidden);
    EXPECT_FALSE(bar->isVisible());
    ResetStringTableForTesting();
}

}  // namespace
}  // namespace orvane
