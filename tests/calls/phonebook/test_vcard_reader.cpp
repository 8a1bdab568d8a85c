#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include "calls/phonebook/vcard_reader.h"

namespace orvane {
using namespace Qt::StringLiterals;
namespace {

VCardReadResult Read(const QByteArray& text, const VCardLimits& limits = {}) {
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return ReadVCards(buffer, limits);
}

struct FormCase {
    const char* what;
    QByteArray text;
    QString name;
    QString number;
    QStringList types;
};

TEST(VCardReader, ReadsTheFormsPhonesAndProgramsWrite) {
    const FormCase cases[] = {
        {"3.0 types in one list",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Berg\r\nTEL;TYPE=HOME,VOICE:030 "
         "1234\r\nEND:VCARD\r\n",
         u"Anna Berg"_s,
         u"030 1234"_s,
         {u"home"_s, u"voice"_s}},
        {"3.0 repeated TYPE",
         "BEGIN:VCARD\nVERSION:3.0\nFN:Anna\nTEL;TYPE=home;TYPE=cell:0170 555\nEND:VCARD\n",
         u"Anna"_s,
         u"0170 555"_s,
         {u"home"_s, u"cell"_s}},
        {"2.1 bare types",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Berg;Anna\r\nTEL;HOME;VOICE:030 1234\r\nEND:VCARD\r\n",
         u"Anna Berg"_s,
         u"030 1234"_s,
         {u"home"_s, u"voice"_s}},
        {"4.0 tel URI, quoted types",
         "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Joe\r\nTEL;VALUE=uri;TYPE=\"voice,home\":tel:+1-555-555-"
         "5555;ext=12\r\nEND:VCARD\r\n",
         u"Joe"_s,
         u"+1-555-555-5555"_s,
         {u"voice"_s, u"home"_s}},
        {"property group",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nitem1.FN:Joe\r\nitem1.TEL;type=pref:555\r\nitem1.X-ABLabel:"
         "x\r\nEND:VCARD\r\n",
         u"Joe"_s,
         u"555"_s,
         {}},
        {"folded with CR LF and space, LF and tab",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna-Maria\r\n  von Berg\r\nTEL:030\n\t "
         "1234\r\nEND:VCARD\r\n",
         u"Anna-Maria von Berg"_s,
         u"030 1234"_s,
         {}},
        {"quoted-printable UTF-8 with a soft break",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen "
         "M=\r\n"
         "=C3=BCller\r\nTEL:1\r\nEND:VCARD\r\n",
         u"Jürgen Müller"_s,
         u"1"_s,
         {}},
        {"2.1 bare QUOTED-PRINTABLE in ISO-8859-1",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:M=FCller;J=FCrgen\r\n"
         "TEL;CELL:2\r\nEND:VCARD\r\n",
         u"Jürgen Müller"_s,
         u"2"_s,
         {u"cell"_s}},
        {"Windows-1252",
         "BEGIN:VCARD\r\nFN;CHARSET=windows-1252:\x80 \x93Shop\x94\r\nTEL:3\r\nEND:VCARD\r\n",
         u"€ “Shop”"_s,
         u"3"_s,
         {}},
        {"raw Latin-1 without a charset",
         "BEGIN:VCARD\r\nFN:G\xF6tz\r\nTEL:4\r\nEND:VCARD\r\n",
         u"Götz"_s,
         u"4"_s,
         {}},
        {"raw UTF-8 without a charset",
         "\xEF\xBB\xBF"
         "BEGIN:VCARD\r\nFN:\xD7\xA9\xD7\xA8\xD7\x94\r\nTEL:5\r\nEND:VCARD\r\n",
         u"שרה"_s,
         u"5"_s,
         {}},
        {"escapes",
         "BEGIN:VCARD\r\nFN:Berg\\, Anna\\; Dr.\\\\x\r\nTEL:6\r\nEND:VCARD\r\n",
         u"Berg, Anna; Dr.\\x"_s,
         u"6"_s,
         {}},
        {"name from N in spoken order",
         "BEGIN:VCARD\r\nN:Doe;John;Q;Dr.;Jr.\r\nTEL:7\r\nEND:VCARD\r\n",
         u"Dr. John Q Doe Jr."_s,
         u"7"_s,
         {}},
        {"name from ORG",
         "BEGIN:VCARD\r\nORG:Acme\\, Inc.;Sales\r\nTEL:8\r\nEND:VCARD\r\n",
         u"Acme, Inc."_s,
         u"8"_s,
         {}},
        {"a 2.1 AGENT's card is not the contact",
         "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Boss\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\nTEL:111\r\n"
         "END:VCARD\r\nTEL:9\r\nEND:VCARD\r\n",
         u"Boss"_s,
         u"9"_s,
         {}},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.what);
        const VCardReadResult read = Read(c.text);
        EXPECT_EQ(read.outcome, VCardOutcome::kRead);
        ASSERT_EQ(read.contacts.size(), 1u);
        EXPECT_EQ(read.contacts[0].name, c.name);
        ASSERT_EQ(read.contacts[0].phones.size(), 1u);
        EXPECT_EQ(read.contacts[0].phones[0].number, c.number);
        EXPECT_EQ(read.contacts[0].phones[0].types, c.types);
    }
}

TEST(VCardReader, ManyCardsAndWhatIsSkipped) {
    const VCardReadResult read = Read(
        "BEGIN:VCARD\nFN:One\nTEL:1\nTEL:11\nEND:VCARD\n"
        "BEGIN:VCARD\nFN:No number\nEMAIL:a@b\nTEL:P\nEND:VCARD\n"
        "BEGIN:VCARD\nTEL:2\nEND:VCARD\n"
        "BEGIN:VCARD\nFN:Two\nPHOTO;ENCODING=b:" +
        QByteArray(300 * 1024, 'A') + "\nTEL:3\nEND:VCARD\n");
    EXPECT_EQ(read.outcome, VCardOutcome::kRead);
    EXPECT_EQ(read.cards, 4);
    EXPECT_EQ(read.cardsWithoutNumber, 1);
    EXPECT_EQ(read.cardsWithoutName, 1);
    EXPECT_EQ(read.longProperties, 1);
    ASSERT_EQ(read.contacts.size(), 2u);
    EXPECT_EQ(read.contacts[0].phones.size(), 2u);
    EXPECT_EQ(read.contacts[1].name, u"Two"_s);
}

struct HostileCase {
    const char* what;
    QByteArray text;
    VCardLimits limits;
    VCardOutcome outcome;
    size_t contacts;
};

QByteArray Nested(int depth) {
    QByteArray text = "BEGIN:VCARD\r\nFN:Kept\r\nTEL:1\r\nEND:VCARD\r\n";
    for (int i = 0; i < depth; ++i) {
        text += "BEGIN:VCARD\r\nFN:Deep\r\nTEL:2\r\n";
    }
    return text;
}

TEST(VCardReader, HostileFilesAreRefusedOrStopped) {
    const QByteArray five = QByteArray("BEGIN:VCARD\nFN:A\nTEL:1\nEND:VCARD\n").repeated(5);
    const HostileCase cases[] = {
        {"binary",
         QByteArray("BEGIN:VCARD\nFN:A\nTEL:1\nEND:VCARD\n\x7f"
                    "ELF\0\0\x01",
                    40),
         {},
         VCardOutcome::kNotText,
         0},
        {"text that is no vCard", "Name,Number\nAnna,030 1234\n", {}, VCardOutcome::kNotVCard, 0},
        {"empty", "", {}, VCardOutcome::kNotVCard, 0},
        {"deep nesting", Nested(1000), {}, VCardOutcome::kTooDeep, 1},
        {"over the size cap", five, {.maxFileBytes = 40}, VCardOutcome::kTooLarge, 0},
        {"over the card cap", five, {.maxCards = 3}, VCardOutcome::kTooManyCards, 3},
        {"cut off in a card", "BEGIN:VCARD\nFN:A\nTEL:1\n", {}, VCardOutcome::kRead, 0},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        const VCardReadResult read = Read(c.text, c.limits);
        EXPECT_EQ(read.outcome, c.outcome);
        EXPECT_EQ(read.contacts.size(), c.contacts);
    }
}

// A file of a prefix, `unit` `count` times and a suffix, made as it is read.
class GeneratedFile final : public QIODevice {
  public:
    GeneratedFile(QByteArray prefix, QByteArray unit, qint64 count, QByteArray suffix)
        : prefix_(std::move(prefix)),
          unit_(std::move(unit)),
          suffix_(std::move(suffix)),
          size_(prefix_.size() + unit_.size() * count + suffix_.size()) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

  protected:
    qint64 readData(char* data, qint64 max) override {
        qint64 n = 0;
        for (; n < max && at_ < size_; ++n, ++at_) {
            const qint64 bodyEnd = size_ - suffix_.size();
            data[n] = at_ < prefix_.size() ? prefix_[at_]
                      : at_ < bodyEnd      ? unit_[(at_ - prefix_.size()) % unit_.size()]
                                           : suffix_[at_ - bodyEnd];
        }
        return n == 0 && at_ >= size_ ? -1 : n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    QByteArray prefix_, unit_, suffix_;
    qint64 size_;
    qint64 at_ = 0;
};

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(VCardReader, ABigPhotoIsPassedOverInBoundedMemory) {
    const qint64 photoBytes = 24 * 1024 * 1024;
    const struct {
        const char* what;
        QByteArray unit;
    } cases[] = {{"one line", "AAAA"}, {"folded lines", "\r\n " + QByteArray(74, 'A')}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const long before = PeakKilobytes();
        GeneratedFile file("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna\r\nPHOTO;ENCODING=b;TYPE=JPEG:",
                           c.unit, photoBytes / c.unit.size(), "\r\nTEL:030 1234\r\nEND:VCARD\r\n");
        const VCardReadResult read = ReadVCards(file);
        EXPECT_LT(PeakKilobytes() - before, 8 * 1024);
        EXPECT_EQ(read.outcome, VCardOutcome::kRead);
        EXPECT_EQ(read.longProperties, 1);
        ASSERT_EQ(read.contacts.size(), 1u);
        EXPECT_EQ(read.contacts[0].phones.size(), 1u);
    }
}

TEST(VCardReader, AFileOverTheCapIsRefusedUnread) {
    QTemporaryDir dir;
    QFile file(dir.filePath(u"big.vcf"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BEGIN:VCARD\r\nFN:A\r\nTEL:1\r\nEND:VCARD\r\n");
    ASSERT_TRUE(file.resize(VCardLimits().maxFileBytes + 1));  // sparse: no disk used
    file.close();
    EXPECT_EQ(ReadVCardFile(file.fileName()).outcome, VCardOutcome::kTooLarge);
    EXPECT_EQ(ReadVCardFile(dir.filePath(u"missing.vcf"_s)).outcome, VCardOutcome::kUnreadable);
    EXPECT_EQ(ReadVCardFile(dir.path()).outcome, VCardOutcome::kUnreadable);
}

TEST(VCardReader, WrittenCardsReadBackTheSame) {
    const VCardContact contacts[] = {
        {u"Berg, Anna; Dr. \\ née Ølsen – Müller-Lüdenscheidt von und zu Hohenzollern-Sigmaringen"_s,
         {{u"+49 30 1234"_s, {u"home"_s, u"voice"_s}}, {u"0170;55,5"_s, {}}},
         true},
        {u"שרה כהן"_s, {{u"03-555-1234"_s, {u"cell"_s}}}, false},
    };
    QByteArray file;
    for (const VCardContact& contact : contacts) {
        const QByteArray card = VCardCard(contact);
        for (const QByteArray& line : card.split('\n')) {
            EXPECT_LE(line.size(), 76);  // 75 and the CR
        }
        file += card;
    }
    const VCardReadResult read = Read(file);
    ASSERT_EQ(read.contacts.size(), 2u);
    EXPECT_EQ(read.contacts[0], contacts[0]);
    EXPECT_EQ(read.contacts[1], contacts[1]);
}

}  // namespace
}  // namespace orvane
