// Unformatted caller ID: SDMF and MDMF packets as modems print them in hex,
// and the emulator's encoder.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "telephony/modem/caller_id.h"

namespace orvane::modem {
namespace {

// melabs' SDMF example: 09/30 12:24, 6095551212; its bytes sum to 0.
constexpr std::string_view kMelabsSdmf = "041230393330313232343630393535353132313251";

// Hex of `body` (type, length, data) with the checksum that makes it sum to 0.
std::string WithChecksum(const std::vector<uint8_t>& body) {
    unsigned sum = 0;
    std::string hex;
    char digits[3];
    for (const uint8_t byte : body) {
        sum += byte;
        std::snprintf(digits, sizeof(digits), "%02X", byte);
        hex += digits;
    }
    std::snprintf(digits, sizeof(digits), "%02X", (256 - (sum & 0xFF)) & 0xFF);
    return hex + digits;
}

unsigned ByteSum(std::string_view hex) {
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        sum += static_cast<unsigned>(std::stoul(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return sum & 0xFF;
}

TEST(ModemCallerIdPacket, DecodesTheVerifiedSdmfVector) {
    const auto caller = DecodeCallerIdPacket(kMelabsSdmf);
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->number, "6095551212");
    EXPECT_EQ(caller->date, "0930");
    EXPECT_EQ(caller->time, "1224");
    EXPECT_EQ(caller->name, "");
    // Lower case and surrounding blanks as a modem might print them.
    std::string lower(kMelabsSdmf);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_TRUE(DecodeCallerIdPacket("  " + lower + " "));
}

TEST(ModemCallerIdPacket, RefusesBrokenPackets) {
    std::string badChecksum(kMelabsSdmf);
    badChecksum.back() = '2';
    std::string badLength(kMelabsSdmf);
    badLength[3] = '3';
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"checksum off by one", badChecksum},
        {"length byte disagrees", badLength},
        {"cut short", std::string(kMelabsSdmf.substr(0, 30))},
        {"odd length", std::string(kMelabsSdmf.substr(1))},
        {"not hex", "04123039333031323234363039353535313231325G"},
        // Askey manual example: no checksum byte.
        {"Askey example", "0412303332323234303539313435353132333435"},
        {"message waiting (SDMF 0x06)", WithChecksum({0x06, 0x03, 0x42, 0x42, 0x42})},
        {"SDMF shorter than its date", WithChecksum({0x04, 0x04, '0', '9', '3', '0'})},
        {"SDMF without number", WithChecksum({0x04, 0x08, '0', '9', '3', '0', '1', '2', '2', '4'})},
        {"MDMF parameter runs past the end", WithChecksum({0x80, 0x04, 0x02, 0x05, '1', '2'})},
        {"MDMF without caller", WithChecksum({0x80, 0x03, 0x11, 0x01, 0x01})},
        {"empty", ""},
        {"too short", "0400FC"},
    };
    for (const auto& [what, hex] : cases) {
        EXPECT_FALSE(DecodeCallerIdPacket(hex)) << what;
    }
}

TEST(ModemCallerIdPacket, ReadsMdmfParameters) {
    // Date/time, dialable number (used when 0x02 is absent), name, and a call
    // type parameter that is skipped.
    const std::string hex = WithChecksum({0x80, 0x18, 0x11, 0x01, 0x01,                           //
                                          0x01, 0x08, '1',  '2',  '3',  '1', '2', '3', '5', '9',  //
                                          0x03, 0x03, '5',  '5',  '5',                            //
                                          0x07, 0x04, 'J',  '/',  'D',  0x07});
    const auto caller = DecodeCallerIdPacket(hex);
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->date, "1231");
    EXPECT_EQ(caller->time, "2359");
    EXPECT_EQ(caller->number, "555");
    EXPECT_EQ(caller->name, "J-D");
}

TEST(ModemCallerIdPacket, ReadsReasonsForAbsence) {
    auto caller =
        DecodeCallerIdPacket(WithChecksum({0x80, 0x06, 0x04, 0x01, 'P', 0x08, 0x01, 'O'}));
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->number, kCallerPrivate);
    EXPECT_EQ(caller->name, kCallerUnavailable);

    // Blocked SDMF: "P" in place of the number.
    caller = DecodeCallerIdPacket(
        WithChecksum({0x04, 0x09, '0', '9', '3', '0', '1', '2', '2', '4', 'P'}));
    ASSERT_TRUE(caller);
    EXPECT_EQ(caller->number, kCallerPrivate);
}

struct RoundTrip {
    const char* what;
    std::string number;
    std::string name;
    std::string expectedNumber;
    std::string expectedName;
};

TEST(ModemCallerIdPacket, MdmfEncoderRoundTrips) {
    const std::vector<RoundTrip> cases = {
        {"plain", "6095551212", "JOHN DOE", "6095551212", "JOHN DOE"},
        {"withheld", std::string(kCallerPrivate), std::string(kCallerPrivate),
         std::string(kCallerPrivate), std::string(kCallerPrivate)},
        {"unavailable", std::string(kCallerUnavailable), "", std::string(kCallerUnavailable),
         std::string(kCallerUnavailable)},
        {"unknown counts as unavailable", "", std::string(kCallerUnknown),
         std::string(kCallerUnavailable), std::string(kCallerUnavailable)},
        {"hostile bytes are cleaned on the way in", "+44 20/7946",
         "A\x01\x1b"
         "B\\C",
         "+44 20-7946", "A B-C"},
        {"values longer than a packet holds", std::string(300, '7'), std::string(300, 'N'),
         std::string(kMaxCallerNumberChars, '7'), std::string(kMaxCallerNameChars, 'N')},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string hex = EncodeMdmfPacket("03141559", c.number, c.name);
        EXPECT_EQ(ByteSum(hex), 0u);
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        const auto caller = DecodeCallerIdPacket(hex);
        ASSERT_TRUE(caller);
        EXPECT_EQ(caller->number, c.expectedNumber);
        EXPECT_EQ(caller->name, c.expectedName);
        EXPECT_EQ(caller->date, "0314");
        EXPECT_EQ(caller->time, "1559");
    }
}

TEST(ModemCallerIdPacket, SdmfEncoderMatchesTheVerifiedVector) {
    EXPECT_EQ(EncodeSdmfPacket("09301224", "6095551212"), kMelabsSdmf);

    const auto withheld = DecodeCallerIdPacket(EncodeSdmfPacket("09301224", kCallerPrivate));
    ASSERT_TRUE(withheld);
    EXPECT_EQ(withheld->number, kCallerPrivate);
    const auto unavailable = DecodeCallerIdPacket(EncodeSdmfPacket("0930", ""));
    ASSERT_TRUE(unavailable);
    EXPECT_EQ(unavailable->number, kCallerUnavailable);
    EXPECT_EQ(unavailable->time, "0000");  // a short stamp is filled up
}

TEST(ModemCallerIdPacket, CollectorMergesAPacketWithFormattedLines) {
    CallerIdCollector collector;
    EXPECT_TRUE(collector.FeedLine("NAME = FROM LINE"));
    EXPECT_TRUE(collector.FeedLine(EncodeMdmfPacket("01020304", "5551234", "FROM PACKET")));
    const CallerId caller = collector.Take();
    EXPECT_EQ(caller.name, "FROM LINE");
    EXPECT_EQ(caller.number, "5551234");
    EXPECT_EQ(caller.date, "0102");
}

}  // namespace
}  // namespace orvane::modem
