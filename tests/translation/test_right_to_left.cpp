#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "tests/support/qt_printers.h"
#include "tests/translation/language_fixture.h"
#include "translation/right_to_left.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

// A window like the dialer: a label, a list, and a keypad and number box
// that must read left-to-right in every language.
struct SmallWindow {
    SmallWindow() {
        label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        KeepLeftToRight(number);
    }
    QDialog window;
    QLabel* label = new QLabel("Date", &window);
    QComboBox* kinds = new QComboBox(&window);
    QComboBox* number = new QComboBox(&window);
    QFrame* keypad = new QFrame(&window);
    QLabel* keypadLabel = new QLabel("1", keypad);
    QPushButton* key = new QPushButton("2", keypad);
};

bool RightAligned(const QLabel* label) {
    return QStyle::visualAlignment(label->layoutDirection(), label->alignment()) & Qt::AlignRight;
}

class RightToLeftTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetStringTableForTesting(); }
    void TearDown() override { ResetStringTableForTesting(); }

    void LoadDirection(const QByteArray& direction) {
        ASSERT_EQ(LoadTranslation(testing::WriteBytes(dir_.path(), "lang",
                                                      testing::LanguageLines(1000, direction))),
                  0);
    }

    QTemporaryDir dir_;
};

TEST_F(RightToLeftTest, LeftToRightLanguageChangesNothing) {
    LoadDirection("LTR");
    SmallWindow w;
    ApplyRightToLeft(&w.window);
    EXPECT_EQ(w.window.layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(w.label->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(w.label->alignment(), Qt::AlignLeft | Qt::AlignBottom);
    EXPECT_EQ(w.kinds->layoutDirection(), Qt::LeftToRight);
    EXPECT_FALSE(w.label->testAttribute(Qt::WA_SetLayoutDirection));
}

TEST_F(RightToLeftTest, RightToLeftLanguageMirrorsAllButTheKeptParts) {
    LoadDirection("RTL");
    SmallWindow w;
    ApplyRightToLeft(&w.window);
    EXPECT_EQ(w.window.layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(w.label->layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(RightAligned(w.label));
    EXPECT_EQ(w.label->alignment() & Qt::AlignVertical_Mask, Qt::AlignBottom);
    EXPECT_EQ(w.kinds->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(w.number->layoutDirection(), Qt::LeftToRight);

    // Kept after the window turned: the keypad and its label come back.
    KeepLeftToRight(w.keypad);
    EXPECT_EQ(w.key->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(w.keypadLabel->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(w.keypadLabel->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
}

TEST(LeftToRightIsolateTest, WrapsTheTextInAnIsolate) {
    EXPECT_EQ(LeftToRightIsolate("+49 30 1234"),
              QStringView(u"\u2066+49 30 1234\u2069").toString());
}

}  // namespace
}  // namespace orvane
