// The phone book window over a book in memory: the filter by name or by
// digits, and Add, Edit and Remove changing the book and the list.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QLineEdit>
#include <QTreeWidget>

#include "translation/show_message.h"
#include "windows/phone_book/phone_book_window.h"

namespace orvane {
namespace {

using namespace Qt::StringLiterals;

class PhoneBookWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        book_.SetPlan(PlanFor(u"DE", u"30"));
        QBuffer cards;
        cards.setData(
            "BEGIN:VCARD\nFN:Anna Berg\nTEL:030 1234\nTEL:0170 555\nEND:VCARD\n"
            "BEGIN:VCARD\nFN:Ben Ohr\nTEL:+44 20 7946 0000\nEND:VCARD\n"
            "BEGIN:VCARD\nFN:Çelik\nTEL:089 4711\nEND:VCARD\n");
        cards.open(QIODevice::ReadOnly);
        book_.Import(ReadVCards(cards));
    }
    void TearDown() override {
        PhoneBookWindow::SetEntryDialogHook({});
        ResetMessageSeam();
    }
    QStringList Names() const {
        QStringList names;
        const auto* list = window_.findChild<QTreeWidget*>(u"lstContacts"_s);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            names << list->topLevelItem(i)->text(0);
        }
        return names;
    }
    void Select(int row) {
        auto* list = window_.findChild<QTreeWidget*>(u"lstContacts"_s);
        list->setCurrentItem(list->topLevelItem(row));
    }

    PhoneBook book_;
    PhoneBookWindow window_{book_};
};

TEST_F(PhoneBookWindowTest, TheFilterFindsNamesAndDigits) {
    const struct {
        const char* typed;
        QStringList shown;
    } cases[] = {
        {"", {u"Anna Berg"_s, u"Ben Ohr"_s, u"Çelik"_s}},
        {"be", {u"Anna Berg"_s, u"Ben Ohr"_s}},
        {"çel", {u"Çelik"_s}},
        {"555", {u"Anna Berg"_s}},
        {"20 7946", {u"Ben Ohr"_s}},
        {"nobody", {}},
    };
    for (const auto& c : cases) {
        window_.findChild<QLineEdit*>(u"txtFilter"_s)->setText(QString::fromUtf8(c.typed));
        EXPECT_EQ(Names(), c.shown) << c.typed;
    }
}

TEST_F(PhoneBookWindowTest, AddEditAndRemoveChangeTheBook) {
    PhoneBookWindow::SetEntryDialogHook([](const PhoneBookEntry&) {
        return std::optional<PhoneBookEntry>(PhoneBookEntry{u"Doctor"_s, {{u"030 9999"_s, {}}}});
    });
    window_.Add();
    EXPECT_EQ(book_.NameFor(u"+49309999"_s), u"Doctor"_s);
    EXPECT_EQ(Names().size(), 4);

    // Edit keeps what the editor did not change and hands the row's entry.
    window_.SetFilter(u"Anna"_s);
    Select(0);
    QString edited;
    PhoneBookWindow::SetEntryDialogHook([&edited](const PhoneBookEntry& shown) {
        edited = shown.name;
        PhoneBookEntry entry = shown;
        entry.name = u"Anna B."_s;
        entry.phones.pop_back();
        return std::optional<PhoneBookEntry>(entry);
    });
    window_.Edit();
    EXPECT_EQ(edited, u"Anna Berg"_s);
    EXPECT_EQ(book_.NameFor(u"1234"_s), u"Anna B."_s);
    EXPECT_EQ(book_.NameFor(u"0170555"_s), QString());

    window_.SetFilter(QString());
    Select(0);
    SetNextMessageAnswer(kAnswerNo);
    window_.Remove();
    EXPECT_EQ(Names().size(), 4);
    Select(0);
    SetNextMessageAnswer(kAnswerYes);
    window_.Remove();
    EXPECT_EQ(Names().size(), 3);
    EXPECT_EQ(book_.NameFor(u"1234"_s), QString());
}

TEST_F(PhoneBookWindowTest, NameThisNumberOffersTheBooksNameElseTheLinesIfItIsOne) {
    const struct {
        const char* number;
        const char* lineName;
        const char* offered;  // nullptr: not asked
    } cases[] = {
        {"+49301234", "BERG A", "Anna Berg"}, {"0309999", "BERG A", "BERG A"},
        {"0308888", "UNAVAILABLE", ""},       {"0307777", "PRIVATE", ""},
        {"0306666", "UNKNOWN", ""},           {"P", "PRIVATE", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        std::optional<QString> offered;
        const NameDialogHook before =
            SetNameDialogHook([&offered](const QString&, const QString& o) {
                offered = o;
                return std::optional<QString>(u"Named"_s);
            });
        NameThisNumber(book_, QString::fromLatin1(c.number), QString::fromLatin1(c.lineName),
                       nullptr);
        SetNameDialogHook(before);
        ASSERT_EQ(offered.has_value(), c.offered != nullptr);
        if (offered) {
            EXPECT_EQ(*offered, QString::fromLatin1(c.offered));
            EXPECT_EQ(book_.NameFor(QString::fromLatin1(c.number)), u"Named"_s);
        }
    }
}

}  // namespace
}  // namespace orvane
