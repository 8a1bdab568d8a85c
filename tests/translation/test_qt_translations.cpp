// Qt's own texts (message box buttons, key names) follow the language the
// user selected, and follow it again when it changes.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>

#include "app/startup.h"
#include "core/product.h"
#include "settings/names/language.h"
#include "settings/store/registry_routines.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_environment.h"
#include "translation/qt_translations.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

struct Naming {
    const char* name;
    const char* locale;  // empty: no Qt translations
};

void PrintTo(const Naming& n, std::ostream* os) {
    *os << '"' << n.name << '"';
}

const Naming kNamings[] = {
    {"English", "en_US"},
    {"German", "de_DE"},
    {"german", "de_DE"},
    {"Deutsch", "de_DE"},
    {"Hebrew", "he_IL"},
    {"עברית", "he_IL"},
    {" French ", "fr_FR"},
    {"de", "de_DE"},
    {"pt_BR", "pt_BR"},
    {"pt-BR", "pt_BR"},
    {"German (formal)", "de_DE"},
    {"Hebrew-2", "he_IL"},
    {"My own words", ""},
    {"Germanic", ""},
    {"xx", ""},
    {"", ""},
    {"../German", ""},
};

class QtLocaleTest : public ::testing::TestWithParam<Naming> {};

TEST_P(QtLocaleTest, ALanguageFileNameGivesItsQtLocaleOrNone) {
    EXPECT_EQ(QtLocaleForLanguage(QString::fromUtf8(GetParam().name)),
              QString::fromLatin1(GetParam().locale));
}

INSTANTIATE_TEST_SUITE_P(Names, QtLocaleTest, ::testing::ValuesIn(kNamings));

struct QtTexts {
    const char* language;
    bool installed;
    const char* yes;
    const char* no;
    const char* saveKey;
};

// What a question box and a shortcut read, the language changing between
// rows as it may while the program runs; an unknown language falls back
// to Qt's English.
const QtTexts kSwitches[] = {
    {"German", true, "&Ja", "&Nein", "Strg+S"},       {"English", true, "&Yes", "&No", "Ctrl+S"},
    {"Hebrew", true, "&כן", "&לא", "Ctrl+\u202aS"},   {"Deutsch", true, "&Ja", "&Nein", "Strg+S"},
    {"My own words", false, "&Yes", "&No", "Ctrl+S"},
};

TEST(QtTranslationsTest, QtsOwnTextsFollowTheSelectedLanguage) {
    for (const QtTexts& row : kSwitches) {
        SCOPED_TRACE(row.language);
        // Fails, not skips, where Qt's translations are not installed.
        EXPECT_EQ(UseQtTranslationsFor(QString::fromUtf8(row.language)), row.installed);
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QString::fromUtf8(row.yes));
        EXPECT_EQ(box.button(QMessageBox::No)->text(), QString::fromUtf8(row.no));
        EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_S).toString(QKeySequence::NativeText),
                  QString::fromUtf8(row.saveKey));
        // Qt's Hebrew would turn every window right-to-left.
        EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight);
    }
    UseQtTranslationsFor(QString());
}

TEST(QtTranslationsTest, TheLanguageSelectedAtStartTranslatesQt) {
    testing::TestEnvironment env;
    env.makeProgramFolders();
    env.writeFile(QStringLiteral("program/Trans/Deutsch"), QByteArray("0\r\n"));
    RegistryRoutines language(kHkeyLocalMachine, product::kRootKey, kLanguageKey);
    language.CreateKey();
    ASSERT_TRUE(language.SetRegistryValue(setting::kSelect, QStringLiteral("Deutsch"), kRegSz));
    LoadSelectedLanguage();
    EXPECT_EQ(QKeySequence(Qt::CTRL | Qt::Key_S).toString(QKeySequence::NativeText),
              QStringLiteral("Strg+S"));
    UseQtTranslationsFor(QString());
    ResetStringTableForTesting();
}

}  // namespace
}  // namespace orvane
