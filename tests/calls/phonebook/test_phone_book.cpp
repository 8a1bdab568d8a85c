#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "calls/phonebook/phone_book.h"
#include "translation/string_table.h"

namespace orvane {
using namespace Qt::StringLiterals;
namespace {

VCardReadResult Cards(const QByteArray& text) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return ReadVCards(buffer);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(PhoneBook, FindsANumberHoweverTheLineWritesIt) {
    PhoneBook book;
    book.SetPlan(PlanFor(u"DE", u"30"));
    book.Import(
        Cards("BEGIN:VCARD\nFN:Anna\nTEL:030 1234\nEND:VCARD\n"
              "BEGIN:VCARD\nFN:London\nTEL;VALUE=uri:tel:+44-20-7946-0000\nEND:VCARD\n"));
    const struct {
        const char* asked;
        const char* name;
    } cases[] = {
        {"0301234", "Anna"},
        {"+49301234", "Anna"},
        {"0049 30 1234", "Anna"},
        {"1234", "Anna"},
        {"00442079460000", "London"},
        {"+442079460000", "London"},
        {"0301235", ""},
        {"P", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(book.NameFor(QString::fromLatin1(c.asked)), QString::fromLatin1(c.name))
            << c.asked;
    }
    // Another plan reads the numbers anew: "030 1234" is now a Munich number's digits.
    int changes = 0;
    QObject::connect(&book, &PhoneBook::changed, [&changes] { ++changes; });
    book.SetPlan(PlanFor(u"DE", u"89"));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(book.NameFor(u"+49301234"_s), u"Anna"_s);
    EXPECT_EQ(book.NameFor(u"1234"_s), QString());
}

TEST(PhoneBook, ImportKeepsHandNamesAndFollowsLaterImports) {
    PhoneBook book;
    book.SetPlan(PlanFor(u"DE", u"30"));
    ASSERT_TRUE(book.SetName(u"+49 30 1111"_s, u"Mum"_s));
    const PhoneBookImport first =
        book.Import(Cards("BEGIN:VCARD\nFN:Erika Muster\nTEL:030 1111\nTEL:030 2222\nEND:VCARD\n"
                          "BEGIN:VCARD\nFN:Old Name\nTEL:030 3333\nEND:VCARD\n"));
    EXPECT_EQ(first.numbersKeptByHand, 1);
    EXPECT_EQ(first.numbersAdded, 2);
    EXPECT_EQ(first.contactsAdded, 2);
    const PhoneBookImport second =
        book.Import(Cards("BEGIN:VCARD\nFN:New Name\nTEL:030 3333\nEND:VCARD\n"
                          "BEGIN:VCARD\nFN:Erika Muster\nTEL:+49302222\nEND:VCARD\n"));
    EXPECT_EQ(second.numbersUnchanged, 1);
    EXPECT_EQ(second.numbersAdded, 1);
    EXPECT_EQ(book.NameFor(u"0301111"_s), u"Mum"_s);
    EXPECT_EQ(book.NameFor(u"0302222"_s), u"Erika Muster"_s);
    EXPECT_EQ(book.NameFor(u"0303333"_s), u"New Name"_s);
    // The entry the later import emptied is gone.
    EXPECT_EQ(book.Entries().size(), 3u);
}

TEST(PhoneBook, NameThisNumber) {
    PhoneBook book;
    book.SetPlan(PlanFor(u"DE", u"30"));
    book.Import(
        Cards("BEGIN:VCARD\nFN:Family\nTEL;TYPE=home:030 1\nTEL;TYPE=cell:0170 2\nEND:VCARD\n"));
    // One number of a contact with several gets a name of its own.
    ASSERT_TRUE(book.SetName(u"+491702"_s, u"Tom's mobile"_s));
    EXPECT_EQ(book.NameFor(u"01702"_s), u"Tom's mobile"_s);
    EXPECT_EQ(book.NameFor(u"0301"_s), u"Family"_s);
    ASSERT_EQ(book.Entries().size(), 2u);
    EXPECT_EQ(book.Entries()[1].phones[0].types, QStringList{u"cell"_s});
    // A contact of one number is renamed, an empty name takes it out.
    ASSERT_TRUE(book.SetName(u"01702"_s, u"Tom"_s));
    EXPECT_EQ(book.Entries().size(), 2u);
    ASSERT_TRUE(book.SetName(u"01702"_s, QString()));
    EXPECT_EQ(book.NameFor(u"01702"_s), QString());
    EXPECT_EQ(book.Entries().size(), 1u);
    EXPECT_FALSE(book.SetName(u"P"_s, u"Nobody"_s));
}

TEST(PhoneBook, IsStoredAndReadBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"PhoneBook.vcf"_s);
    {
        PhoneBook book(path);
        EXPECT_EQ(book.Load(), PhoneBook::LoadOutcome::kMissing);
        book.Import(Cards("BEGIN:VCARD\nFN:Anna\\, B.\nTEL;TYPE=home:030 1\nEND:VCARD\n"));
        book.SetName(u"555"_s, u"Hand"_s);
        ASSERT_TRUE(book.AddEntry({u"Shop"_s, {{u"0800 1"_s, {}}, {u"x"_s, {}}}, false}));
    }
    PhoneBook again(path);
    EXPECT_EQ(again.Load(), PhoneBook::LoadOutcome::kLoaded);
    const std::vector<PhoneBookEntry> expected = {
        {u"Anna, B."_s, {{u"030 1"_s, {u"home"_s}}}, false},
        {u"Hand"_s, {{u"555"_s, {}}}, true},
        {u"Shop"_s, {{u"0800 1"_s, {}}}, true},
    };
    EXPECT_EQ(again.Entries(), expected);
    ASSERT_TRUE(again.RemoveEntry(0));
    PhoneBook third(path);
    third.Load();
    EXPECT_EQ(third.Entries().size(), 2u);
}

TEST(PhoneBook, AnUnreadableFileIsKeptBeforeTheBookIsWritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"PhoneBook.vcf"_s);
    const QByteArray damaged("BEGIN:VCARD\nFN:Anna\nTEL:1\nEND:VCARD\n\0\0garbage", 46);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    PhoneBook book(path);
    ASSERT_EQ(book.Load(), PhoneBook::LoadOutcome::kSetAside);
    EXPECT_EQ(ReadAll(book.SetAsidePath()), damaged);
    ASSERT_TRUE(book.SetName(u"2"_s, u"Ben"_s));
    EXPECT_EQ(ReadAll(book.SetAsidePath()), damaged);
    PhoneBook again(path);
    EXPECT_EQ(again.Load(), PhoneBook::LoadOutcome::kLoaded);
    EXPECT_EQ(again.NameFor(u"2"_s), u"Ben"_s);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST(PhoneBook, TheImportReportSaysWhatHappened) {
    QTemporaryDir dir;
    QStringList lines(1000);
    lines[462] = u"<%S> cards, <%S> contacts, <%S> numbers"_s;
    lines[465] = u"<%S> without number"_s;
    lines[467] = u"<%S> too long"_s;
    lines[469] = u"not text"_s;
    QFile language(dir.filePath(u"lang"_s));
    ASSERT_TRUE(language.open(QIODevice::WriteOnly));
    language.write(lines.join(u"\r\n"_s).toUtf8() + "\r\n");
    language.close();
    ASSERT_EQ(LoadTranslation(language.fileName()), 0);

    PhoneBook book;
    EXPECT_EQ(ImportReportText(book.Import(
                  Cards("BEGIN:VCARD\nFN:A\nTEL:1\nTEL:2\nPHOTO:" + QByteArray(300 * 1024, 'x') +
                        "\nEND:VCARD\nBEGIN:VCARD\nFN:B\nEND:VCARD\n"))),
              u"2 cards, 1 contacts, 2 numbers\n1 without number\n1 too long"_s);
    EXPECT_EQ(ImportReportText(book.Import(Cards(QByteArray("\0", 1)))), u"not text"_s);
    ResetStringTableForTesting();
}

}  // namespace
}  // namespace orvane
