// Formatted caller ID as real modems print it, and the cleaning of what a
// stranger can put into a name or number.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "telephony/modem/caller_id.h"

namespace orvane::modem {
namespace {

using namespace std::string_literals;

std::string U(std::string_view text) {
    return std::string(text);
}

struct Sequence {
    const char* source;
    std::vector<std::string> lines;
    std::vector<bool> consumed;
    CallerId expected;
};

// What modems sent in the field, one call each.
const std::vector<Sequence>& Sequences() {
    static const std::vector<Sequence> sequences = {
        // Rockwell RCV144ACX / Askey manual example.
        {"Rockwell manual",
         {"RING", "DATE = 0321", "TIME = 1405", "NMBR = 504551234", "NAME = A N OTHER", "RING"},
         {false, true, true, true, true, false},
         {"A N OTHER", "504551234", "0321", "1405"}},
        // USR 5637 in the UK (callattendant#139): no blanks, no name.
        {"USR 5637 UK",
         {"DATE=1203", "TIME=1452", "NMBR=07700900007", "RING"},
         {true, true, true, false},
         {U(kCallerUnknown), "07700900007", "1203", "1452"}},
        // Conexant (home-assistant/core#57765).
        {"Conexant with blanks",
         {"RING", "DATE = 1015", "TIME = 1310", "NMBR = 0400000007"},
         {false, true, true, true},
         {U(kCallerUnknown), "0400000007", "1015", "1310"}},
        {"CHC format without '='",
         {"DATE 0408", "TIME 1355", "NMBR 6976641604", "NAME A N OTHER"},
         {true, true, true, true},
         {"A N OTHER", "6976641604", "0408", "1355"}},
        {"all tags on one line",
         {"DATE = 0427 TIME = 1230 NMBR = 2505551299 NAME = ZEE"},
         {true},
         {"ZEE", "2505551299", "0427", "1230"}},
        {"one line, the name with blanks last",
         {"DATE=0427 TIME=1230 NMBR=2505551299 NAME=A N OTHER"},
         {true},
         {"A N OTHER", "2505551299", "0427", "1230"}},
        {"tag words inside a name are not tags",
         {"NMBR = 2505551299 NAME = BIG TIME RECORDS", "NAME = DATE NIGHT"},
         {true, true},
         {"BIG TIME RECORDS", "2505551299", "", ""}},
        // mgetty cnd.c, NCID test data.
        {"DDN_NMBR alias", {"DDN_NMBR= 5551234"}, {true}, {U(kCallerUnknown), "5551234", "", ""}},
        {"DDN alias", {"DDN = 5551234", "NAME = X"}, {true, true}, {"X", "5551234", "", ""}},
        {"NBR alias (Kortex)",
         {"NBR=0123456789"},
         {true},
         {U(kCallerUnknown), "0123456789", "", ""}},
        // NCID test data: MESG first, withheld number and name.
        {"withheld with MESG",
         {"MESG = 110101", "DATE = 0511", "TIME = 1902", "NMBR = P", "NAME = WITHHELD"},
         {true, true, true, true, true},
         {U(kCallerPrivate), U(kCallerPrivate), "0511", "1902"}},
        {"out of area codes",
         {"NMBR = O", "NAME = O"},
         {true, true},
         {U(kCallerUnavailable), U(kCallerUnavailable), "", ""}},
        {"texts instead of codes",
         {"NMBR = Restricted", "NAME = Unavailable"},
         {true, true},
         {U(kCallerUnavailable), U(kCallerPrivate), "", ""}},
        {"more texts",
         {"NMBR = OUT OF AREA", "NAME = Anonymous"},
         {true, true},
         {U(kCallerPrivate), U(kCallerUnavailable), "", ""}},
        {"the first of a repeated tag wins",
         {"NMBR = 5551234", "NMBR = O", "NAME = FIRST", "NAME = SECOND"},
         {true, true, true, true},
         {"FIRST", "5551234", "", ""}},
        {"name only", {"NAME = JOHN SMITH"}, {true}, {"JOHN SMITH", U(kCallerUnknown), "", ""}},
        {"a comma in the name, blanks in the number",
         {"NAME = SMITH, JOHN", "NMBR = 555 123 4567"},
         {true, true},
         {"SMITH, JOHN", "555 123 4567", "", ""}},
        {"one line with a comma in the name",
         {"DATE=0427 TIME=1230 NMBR=2505551299 NAME=SMITH, J"},
         {true},
         {"SMITH, J", "2505551299", "0427", "1230"}},
        {"empty date and time",
         {"DATE =", "TIME=", "NMBR=5551234"},
         {true, true, true},
         {U(kCallerUnknown), "5551234", "", ""}},
        {"malformed time kept as sent",
         {"TIME = 12541", "NMBR = 1"},
         {true, true},
         {U(kCallerUnknown), "1", "", "12541"}},
        // Kortex / France Telecom.
        {"combined date and time",
         {"CID RING", "DATE TIME=01/06 14:15", "NBR=0123456789"},
         {false, true, true},
         {U(kCallerUnknown), "0123456789", "0106", "1415"}},
        // Bell Canada: the number inside a MESG parameter (mgetty cnd.c).
        {"number in MESG",
         {"MESG = 030735353531323132"},
         {true},
         {U(kCallerUnknown), "5551212", "", ""}},
        {"name cut by the network (callblocker#31)",
         {"NAME=FIA CARD SERVIC", "NMBR=8005550100"},
         {true, true},
         {"FIA CARD SERVIC", "8005550100", "", ""}},
        {"UTF-8 name (NCID test data)",
         {"NAME = V\xc3\xa4h\xc3\xa4l\xc3\xa4"},
         {true},
         {"V\xc3\xa4h\xc3\xa4l\xc3\xa4", U(kCallerUnknown), "", ""}},
        {"Latin-1 name",
         {"NAME = V\xe4h\xe4l\xe4"},
         {true},
         {"V\xc3\xa4h\xc3\xa4l\xc3\xa4", U(kCallerUnknown), "", ""}},
        // melabs SDMF vector as an unformatted (+VCID=2) line.
        {"hex packet line",
         {"RING", "041230393330313232343630393535353132313251"},
         {false, true},
         {U(kCallerUnknown), "6095551212", "0930", "1224"}},
    };
    return sequences;
}

TEST(ModemCallerIdCollector, ReadsRealWorldSequences) {
    for (const Sequence& s : Sequences()) {
        SCOPED_TRACE(s.source);
        ASSERT_EQ(s.lines.size(), s.consumed.size());
        CallerIdCollector collector;
        for (std::size_t i = 0; i < s.lines.size(); ++i) {
            EXPECT_EQ(collector.FeedLine(s.lines[i]), s.consumed[i]) << s.lines[i];
        }
        EXPECT_TRUE(collector.Started());
        const CallerId caller = collector.Take();
        EXPECT_EQ(caller.name, s.expected.name);
        EXPECT_EQ(caller.number, s.expected.number);
        EXPECT_EQ(caller.date, s.expected.date);
        EXPECT_EQ(caller.time, s.expected.time);
    }
}

TEST(ModemCallerIdCollector, LeavesOtherLinesToTheCaller) {
    CallerIdCollector collector;
    for (const char* line : {"RING", "OK", "RING 2", "NO CARRIER", "DRON=5", "NAMEX = 1",
                             "NMBR:5551234", "ABCDEF", "0", "", "  \t", "CALLER NAME: X"}) {
        EXPECT_FALSE(collector.FeedLine(line)) << line;
    }
    EXPECT_FALSE(collector.Started());
    EXPECT_FALSE(collector.HasCaller());
}

TEST(ModemCallerIdCollector, TellsWhatArrivedAndResetsOnTake) {
    CallerIdCollector collector;
    collector.FeedLine("DATE = 0321");
    EXPECT_TRUE(collector.Started());
    EXPECT_FALSE(collector.HasCaller());
    collector.FeedLine("NMBR = P");
    EXPECT_TRUE(collector.HasCaller());

    EXPECT_EQ(collector.Take().number, kCallerPrivate);
    EXPECT_FALSE(collector.Started());
    const CallerId none = collector.Take();
    EXPECT_EQ(none.name, kCallerUnknown);
    EXPECT_EQ(none.number, kCallerUnknown);
    EXPECT_EQ(none.date, "");

    collector.FeedLine("NMBR = 1");
    collector.Reset();
    EXPECT_EQ(collector.Take().number, kCallerUnknown);
}

TEST(ModemCallerIdCollector, MakesHostileValuesHarmless) {
    CallerIdCollector collector;
    EXPECT_TRUE(collector.FeedLine("NAME = Ev\0il\x1b[31m  X\x7f"s));
    EXPECT_TRUE(collector.FeedLine("NMBR = ../../x"));
    CallerId caller = collector.Take();
    EXPECT_EQ(caller.name, "Ev il [31m X");
    EXPECT_EQ(caller.number, "..-..-x");

    collector.FeedLine("NAME = " + std::string(10000, 'N'));
    collector.FeedLine("NMBR = " + std::string(10000, '5'));
    caller = collector.Take();
    EXPECT_EQ(caller.name, std::string(kMaxCallerNameChars, 'N'));
    EXPECT_EQ(caller.number, std::string(kMaxCallerNumberChars, '5'));

    // A marker is a marker only as the whole value.
    collector.FeedLine("NMBR = \x01 P \t");
    collector.FeedLine("NAME = PRIVATE" + std::string(100, 'x'));
    caller = collector.Take();
    EXPECT_EQ(caller.number, kCallerPrivate);
    EXPECT_EQ(caller.name, "PRIVATE" + std::string(kMaxCallerNameChars - 7, 'x'));
}

TEST(ModemCallerIdCollector, NonHexOrUselessMesgGivesNothing) {
    CallerIdCollector collector;
    EXPECT_TRUE(collector.FeedLine("MESG = 06034242431"));  // Askey manual: odd length
    EXPECT_TRUE(collector.FeedLine("MESG = Hello"));
    EXPECT_TRUE(collector.FeedLine("MESG = 0710"));  // claims 16 bytes, has none
    EXPECT_TRUE(collector.Started());
    EXPECT_FALSE(collector.HasCaller());
}

struct CleanCase {
    const char* what;
    std::string raw;
    std::size_t maxChars;
    std::string expected;
};

TEST(ModemCleanCallerText, CleansAndCuts) {
    const std::vector<CleanCase> cases = {
        {"trims and shortens blanks", "  A \t\t B  ", 40, "A B"},
        {"control bytes are blanks",
         std::string("A\0B\x1b"
                     "C\x7f"
                     "D",
                     7),
         40, "A B C D"},
        {"slashes", "a/b\\c", 40, "a-b-c"},
        {"path climbing", "../../etc/passwd", 40, "..-..-etc-passwd"},
        {"cut", "ABCDEFG", 3, "ABC"},
        {"no trailing blank after a cut", "ABC DEF", 4, "ABC"},
        {"cut counts characters, not bytes", "\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f", 3,
         "\xc3\xa4\xc3\xb6\xc3\xbc"},
        {"four-byte characters stay whole",
         "\xf0\x9f\x93\x9e"
         "x",
         1, "\xf0\x9f\x93\x9e"},
        {"Latin-1 bytes", "Fran\xe7ois", 40, "Fran\xc3\xa7ois"},
        {"truncated UTF-8 is Latin-1", "ab\xc3", 40, "ab\xc3\x83"},
        {"overlong UTF-8 is Latin-1", "\xc0\xaf", 40, "\xc3\x80\xc2\xaf"},
        {"C1 controls, UTF-8 or Latin-1",
         "a\xc2\x85"
         "b\x85"
         "c",
         40, "a b c"},
        {"line separators",
         "a\xe2\x80\xa8"
         "b\xe2\x80\xa9"
         "c",
         40, "a b c"},
        {"bidi overrides", "abc\xe2\x80\xaetxt.exe", 40, "abc txt.exe"},
        {"nothing left", "\x01\x02 \t", 40, ""},
        {"zero length", "abc", 0, ""},
    };
    for (const CleanCase& c : cases) {
        EXPECT_EQ(CleanCallerText(c.raw, c.maxChars), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace orvane::modem
