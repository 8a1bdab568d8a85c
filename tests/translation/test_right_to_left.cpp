#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "tests/support/qt_printers.h"
#include "tests/support/reading_order.h"
#include "tests/translation/language_fixture.h"
#include "translation/bidi_text.h"
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

// A Hebrew sentence with a Latin word, as the General page's first choice.
const QString kMixed = QStringLiteral("הפעל את Orvane בכניסה למערכת");
const QStringList kMixedWords = {QStringLiteral("הפעל"), QStringLiteral("Orvane"),
                                 QStringLiteral("בכניסה")};

struct MixedCase {
    const char* label;
    const char* direction;       // of the language file
    bool windowKeptLeftToRight;  // as the translation editor's
    bool isolated;
};

// Every text of the window reads in order whether the widget lays out its
// line left-to-right (check boxes, and every widget of a left-to-right
// window) or right-to-left; texts without Hebrew are left alone.
TEST_F(RightToLeftTest, AHebrewSentenceWithALatinWordReadsInOrderInEveryWidget) {
    const MixedCase cases[] = {
        {"RightToLeftWindow", "RTL", false, true},
        {"WindowKeptLeftToRight", "RTL", true, true},
        {"LeftToRightLanguage", "LTR", false, false},
    };
    for (const MixedCase& c : cases) {
        SCOPED_TRACE(c.label);
        ResetStringTableForTesting();  // a load never clears right-to-left
        LoadDirection(c.direction);
        QDialog window;
        auto* label = new QLabel(kMixed, &window);
        auto* check = new QCheckBox(kMixed, &window);
        auto* button = new QPushButton(kMixed, &window);
        auto* group = new QGroupBox(kMixed, &window);
        auto* latin = new QCheckBox(QStringLiteral("Orvane"), &window);
        auto* rich = new QLabel(QStringLiteral("<b>") + kMixed + QStringLiteral("</b>"), &window);
        if (c.windowKeptLeftToRight) {
            IsolateRightToLeftTexts(&window);
        } else {
            ApplyRightToLeft(&window);
        }
        const QStringList texts = {label->text(), check->text(), button->text(), group->title()};
        for (const QString& text : texts) {
            if (!c.isolated) {
                EXPECT_EQ(text, kMixed);
                continue;
            }
            for (Qt::LayoutDirection line : {Qt::LeftToRight, Qt::RightToLeft}) {
                EXPECT_TRUE(
                    testing::InReadingOrder(testing::WordMiddles(text, kMixedWords, line), true))
                    << text.toStdString() << (line == Qt::LeftToRight ? " in LTR" : " in RTL");
            }
        }
        EXPECT_EQ(latin->text(), QStringLiteral("Orvane"));
        EXPECT_TRUE(rich->text().startsWith(QStringLiteral("<b>")));
    }
}

}  // namespace
}  // namespace orvane
