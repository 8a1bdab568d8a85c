#include <gtest/gtest.h>

#include <QFile>
#include <QRandomGenerator>

#include "settings/store/registry_file_format.h"
#include "tests/support/qt_printers.h"

namespace orvane {
namespace {

using namespace Qt::StringLiterals;

const QString kMachine = QStringLiteral("HKEY_LOCAL_MACHINE");

RegValue Text(const QString& name, const QString& text) {
    return {name, kRegSz, EncodeRegString(text)};
}

QByteArray Fixture(const char* name) {
    QFile file(QStringLiteral(ORVANE_TEST_DATA_DIR "/registry/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

QString ReadText(const Hive& hive, const QString& key, const QString& name) {
    const RegKey* found = hive.FindKey(key);
    const RegValue* value = found == nullptr ? nullptr : found->FindValue(name);
    return value == nullptr ? QStringLiteral("<missing>") : DecodeRegString(value->data);
}

TEST(RegistryFileFormat, EveryValueSurvivesARoundTripByteForByte) {
    QByteArray longBinary;
    for (int i = 0; i < 300; ++i) {
        longBinary.append(static_cast<char>(i));
    }
    const QList<RegValue> values{
        Text(QString(), QStringLiteral("default")),
        Text(QStringLiteral("Quote \"and\" back\\slash"), QStringLiteral("C:\\dir\\ \"x\" \\\"")),
        Text(QStringLiteral("Grüße ünd שלום"), QStringLiteral("日本語 and 😀")),
        Text(QStringLiteral("Lines"), QStringLiteral("one\r\ntwo\nthree\r")),
        Text(QStringLiteral("Empty"), QString()),
        {QStringLiteral("InnerNul"), kRegSz, EncodeRegString(QStringLiteral("a")) + "b\0\0\0"_ba},
        {QStringLiteral("NoTerminator"), kRegSz, "a\0b\0"_ba},
        {QStringLiteral("Expand"), kRegExpandSz, EncodeRegString(QStringLiteral("%HOME%/x"))},
        {QStringLiteral("Binary"), kRegBinary, longBinary},
        {QStringLiteral("NoBytes"), kRegBinary, QByteArray()},
        {QStringLiteral("Number"), kRegDword, EncodeRegDword(0xfedcba98)},
        {QStringLiteral("ShortNumber"), kRegDword, "\x01\x02\x03"_ba},
        {QStringLiteral("Multi"), kRegMultiSz,
         EncodeRegMultiString({QStringLiteral("a"), QStringLiteral("b c")})},
        {QStringLiteral("EmptyMulti"), kRegMultiSz, EncodeRegMultiString({})},
        {QStringLiteral("Qword"), 0xb, "\x01\x02\x03\x04\x05\x06\x07\x08"_ba},
        {QStringLiteral("None"), kRegNone, QByteArray()},
    };
    Hive hive;
    RegKey* key = hive.CreateKey(QStringLiteral("SOFTWARE\\Grün [x]\\Orvane 1.1"));
    ASSERT_NE(key, nullptr);
    for (const RegValue& value : values) {
        key->SetValue(value);
    }
    hive.CreateKey(QStringLiteral("SOFTWARE\\Empty"));
    hive.FindKey(QString())->SetValue(Text(QStringLiteral("AtRoot"), QStringLiteral("r")));

    const QByteArray text = SerializeHive(hive, kMachine);
    const ParsedHive parsed = ParseHive(text, kMachine);
    EXPECT_TRUE(parsed.problems.isEmpty());
    EXPECT_TRUE(parsed.hive == hive);
    EXPECT_EQ(SerializeHive(parsed.hive, kMachine), text);

    // Every line ends in CR LF, so no value spills over a line.
    for (const QByteArray& line : text.split('\n').mid(0, text.count('\n'))) {
        EXPECT_TRUE(line.endsWith('\r')) << line.toStdString();
    }
    EXPECT_TRUE(text.startsWith("Windows Registry Editor Version 5.00\r\n\r\n"));
    EXPECT_TRUE(text.contains("\"Lines\"=hex(1):"));
    EXPECT_TRUE(text.contains("\"Number\"=dword:fedcba98\r\n"));
    EXPECT_TRUE(text.contains("\"Multi\"=hex(7):61,00,00,00,62,00,20,00,63,00,00,00,00,00\r\n"));
    EXPECT_TRUE(text.contains("\"Quote \\\"and\\\" back\\\\slash\"="));
}

TEST(RegistryFileFormat, ReadsWhatTheRegistryEditorAndHandsWrite) {
    const QByteArray text =
        "\xef\xbb\xbfWindows Registry Editor Version 5.00\n"
        "\n"
        "; a comment\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenzo\\Orvane 1.1\\Properties\\TabLog]\n"
        "  \"chkLogSys\" = dword:0000000A  \n"
        "@=\"default\"\n"
        "\"Path\"=\"C:\\Program Files\\x\"\n"
        "\"Blob\"=hex:01,02,\\\n"
        "  FF,\\\n"
        "  10\n"
        "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\n"
        "[hkey_local_machine\\software\\quenzo\\ORVANE 1.1\\properties\\tablog]\n"
        "\"CHKLOGSYS\"=\"1\"\n"_ba;
    const ParsedHive parsed = ParseHive(text, kMachine);
    ASSERT_TRUE(parsed.problems.isEmpty()) << parsed.problems.first().message.toStdString();

    const QString key = QStringLiteral("SOFTWARE\\Quenzo\\Orvane 1.1\\Properties\\TabLog");
    const RegKey* tabLog = parsed.hive.FindKey(key.toUpper());
    ASSERT_NE(tabLog, nullptr);
    // The two sections are one key; it keeps the case it was first given,
    // and the later value replaces the earlier one under its first name.
    EXPECT_EQ(tabLog->path, key);
    ASSERT_NE(tabLog->FindValue(QStringLiteral("chklogsys")), nullptr);
    EXPECT_EQ(tabLog->FindValue(QStringLiteral("chklogsys"))->name, QStringLiteral("chkLogSys"));
    EXPECT_EQ(ReadText(parsed.hive, key, QStringLiteral("chkLogSys")), QStringLiteral("1"));
    EXPECT_EQ(ReadText(parsed.hive, key, QString()), QStringLiteral("default"));
    EXPECT_EQ(ReadText(parsed.hive, key, QStringLiteral("Path")),
              QStringLiteral("C:\\Program Files\\x"));
    EXPECT_EQ(tabLog->FindValue(QStringLiteral("Blob"))->data, "\x01\x02\xff\x10"_ba);
    EXPECT_EQ(tabLog->FindValue(QStringLiteral("Expand"))->type, kRegExpandSz);
    EXPECT_EQ(ReadText(parsed.hive, key, QStringLiteral("Expand")), QStringLiteral("%HOME%"));

    // A section makes its parents, as creating a key does.
    EXPECT_EQ(parsed.hive.SubKeyNames(QStringLiteral("software\\quenzo")),
              QStringList{QStringLiteral("Orvane 1.1")});
}

TEST(RegistryFileFormat, ReadsUtf16FilesFromWindows) {
    const QString text = QStringLiteral(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
        "\"Orvane\"=\"C:\\\\Programme\\\\Orvane.exe -st\"\r\n");
    QByteArray content("\xff\xfe");
    content.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const ParsedHive parsed = ParseHive(content, QStringLiteral("HKEY_CURRENT_USER"));
    EXPECT_TRUE(parsed.problems.isEmpty());
    EXPECT_EQ(
        ReadText(parsed.hive, QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"),
                 QStringLiteral("Orvane")),
        QStringLiteral("C:\\Programme\\Orvane.exe -st"));
}

TEST(RegistryFileFormat, KeysAndSubKeysFollowWindowsNaming) {
    Hive hive;
    ASSERT_NE(hive.CreateKey(QStringLiteral("A\\Bee\\C")), nullptr);
    ASSERT_NE(hive.CreateKey(QStringLiteral("a\\b")), nullptr);
    ASSERT_NE(hive.CreateKey(QStringLiteral("A B")), nullptr);
    EXPECT_EQ(hive.CreateKey(QStringLiteral("A\\Bad\nName")), nullptr);
    EXPECT_EQ(hive.CreateKey(QString(300, QLatin1Char('x'))), nullptr);
    EXPECT_EQ(hive.SubKeyNames(QStringLiteral("a")),
              (QStringList{QStringLiteral("b"), QStringLiteral("Bee")}));
    EXPECT_EQ(hive.SubKeyNames(QString()),
              (QStringList{QStringLiteral("A"), QStringLiteral("A B")}));
    EXPECT_TRUE(hive.DeleteKey(QStringLiteral("a\\BEE")));
    EXPECT_EQ(hive.FindKey(QStringLiteral("A\\Bee\\C")), nullptr);
    EXPECT_NE(hive.FindKey(QStringLiteral("A\\b\\")), nullptr);
    EXPECT_FALSE(hive.DeleteKey(QString()));
}

struct BrokenFixture {
    const char* file;
    QList<int> lines;     // lines reported, in order
    QString readableKey;  // below the settings root
    QString readableName;
    QString readableText;
};

TEST(RegistryFileFormat, BrokenFilesReportTheirLinesAndKeepTheRest) {
    const QList<BrokenFixture> fixtures{
        {"broken_line.reg",
         {7},
         QStringLiteral("Properties\\TabLog"),
         QStringLiteral("chkLogCalls"),
         QStringLiteral("1")},
        {"unterminated_text.reg",
         {4},
         QStringLiteral("Language"),
         QStringLiteral("Other"),
         QStringLiteral("kept")},
        {"hex_past_end.reg", {5}, QString(), QStringLiteral("lState"), QStringLiteral("2")},
        {"foreign_root.reg",
         {3, 8},
         QStringLiteral("Properties\\TabGeneral"),
         QStringLiteral("txtPath"),
         QStringLiteral("/home/user/Recordings/")},
        {"missing_header.reg",
         {1},
         QStringLiteral("Language"),
         QStringLiteral("Select"),
         QStringLiteral("Hebrew")},
        {"invalid_utf8.reg",
         {4},
         QStringLiteral("Language"),
         QStringLiteral("Select"),
         QStringLiteral("English")},
    };
    for (const BrokenFixture& fixture : fixtures) {
        SCOPED_TRACE(fixture.file);
        const ParsedHive parsed = ParseHive(Fixture(fixture.file), kMachine);
        QList<int> lines;
        for (const HiveProblem& problem : parsed.problems) {
            lines.append(problem.line);
            EXPECT_FALSE(problem.message.isEmpty());
        }
        EXPECT_EQ(lines, fixture.lines);
        const QString key = QStringLiteral("SOFTWARE\\Quenzo\\Orvane 1.1\\") + fixture.readableKey;
        EXPECT_EQ(ReadText(parsed.hive, key, fixture.readableName), fixture.readableText);
    }
    // The values under a key of the other root are not taken for this one.
    const ParsedHive foreign = ParseHive(Fixture("foreign_root.reg"), kMachine);
    EXPECT_EQ(foreign.hive.FindKey(QStringLiteral("SOFTWARE\\Microsoft")), nullptr);
}

// Damaged files of every kind: the reader must never fail, and whatever it
// takes from one must write out and read back as the same hive.
TEST(RegistryFileFormat, DamagedFilesNeverBreakTheReaderOrTheRoundTrip) {
    const QByteArray seed = Fixture("foreign_root.reg") + Fixture("broken_line.reg") +
                            "\"Blob\"=hex(7):41,00,00,00,\\\r\n  00,00\r\n@=dword:0000001f\r\n";
    const QByteArray alphabet = "\"\\[]=@,:;-\r\n\x00\xc3\xa9 hexdword(2)"_ba;
    QRandomGenerator random(20240611);
    for (int round = 0; round < 3000; ++round) {
        QByteArray damaged = seed;
        for (int edits = random.bounded(1, 6); edits > 0; --edits) {
            const auto at = random.bounded(damaged.size());
            const char c = alphabet[random.bounded(alphabet.size())];
            switch (random.bounded(3)) {
                case 0:
                    damaged[at] = c;
                    break;
                case 1:
                    damaged.insert(at, c);
                    break;
                default:
                    damaged.remove(at, random.bounded(1, 8));
            }
        }
        const ParsedHive parsed = ParseHive(damaged, kMachine);
        const QByteArray written = SerializeHive(parsed.hive, kMachine);
        const ParsedHive again = ParseHive(written, kMachine);
        ASSERT_TRUE(again.problems.isEmpty())
            << "round " << round << ": " << again.problems.first().message.toStdString();
        ASSERT_TRUE(again.hive == parsed.hive) << "round " << round;
    }
}

}  // namespace
}  // namespace orvane
