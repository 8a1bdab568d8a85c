#include "telephony/modem/caller_id.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace orvane::modem {
namespace {

// "MMDD" and "HHMM"; a longer value is a broken one, kept short.
constexpr std::size_t kMaxDateTimeChars = 8;
// Longest name or number put into a packet, so the length byte always fits.
constexpr std::size_t kMaxPacketValueBytes = 64;

constexpr uint8_t kSdmf = 0x04;
constexpr uint8_t kMdmf = 0x80;
constexpr uint8_t kParamDateTime = 0x01;
constexpr uint8_t kParamNumber = 0x02;
constexpr uint8_t kParamDialable = 0x03;
constexpr uint8_t kParamNumberAbsent = 0x04;
constexpr uint8_t kParamName = 0x07;
constexpr uint8_t kParamNameAbsent = 0x08;

// ---- text cleaning -------------------------------------------------------

// Length of the well-formed UTF-8 sequence at `i` (0 when there is none) and
// its code point. Overlong forms, surrogates and values past U+10FFFF count
// as malformed, so their bytes are read as Latin-1 instead.
std::size_t Utf8At(std::string_view text, std::size_t i, char32_t& codePoint) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) {
            return 0;
        }
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    codePoint = value;
    return length;
}

void AppendUtf8(std::string& out, char32_t cp) {
    const auto put = [&](char32_t v) { out.push_back(static_cast<char>(static_cast<uint8_t>(v))); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

// C0, DEL and C1, plus the Unicode line separators (they would break a
// journal line) and the bidi embeddings and overrides (they would turn the
// rest of a label or a file name around).
bool IsBlanked(char32_t cp) {
    return cp <= 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 ||
           (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Blanks and control bytes at both ends.
std::string_view TrimRaw(std::string_view text) {
    const auto junk = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    };
    while (!text.empty() && junk(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && junk(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != upper[i]) {
            return false;
        }
    }
    return true;
}

// What the network puts in place of a withheld or unknown caller, in the
// codes and the words that modems and networks use.
std::optional<std::string_view> WithheldMarker(std::string_view raw) {
    static constexpr std::array<std::string_view, 6> kPrivate = {
        "P", "A", "PRIVATE", "RESTRICTED", "WITHHELD", "ANONYMOUS"};
    static constexpr std::array<std::string_view, 4> kUnavailable = {"O", "UNAVAILABLE",
                                                                     "OUT OF AREA", "OUT-OF-AREA"};
    const std::string_view value = TrimRaw(raw);
    for (const std::string_view word : kPrivate) {
        if (EqualsUpper(value, word)) {
            return kCallerPrivate;
        }
    }
    for (const std::string_view word : kUnavailable) {
        if (EqualsUpper(value, word)) {
            return kCallerUnavailable;
        }
    }
    return std::nullopt;
}

// The first value that arrives wins; later ones (a repeated tag) are ignored.
void SetOnce(std::string& field, std::string_view raw, std::size_t maxChars) {
    if (!field.empty()) {
        return;
    }
    // Before cleaning, so that "P" padded with junk or a very long text
    // cannot pass for (or hide) a marker.
    if (const auto marker = WithheldMarker(raw)) {
        field = *marker;
        return;
    }
    field = CleanCallerText(raw, maxChars);
}

void SetDateTimeOnce(std::string& field, std::string_view raw) {
    if (field.empty()) {
        field = CleanCallerText(raw, kMaxDateTimeChars);
    }
}

void MergeOnce(CallerId& into, const CallerId& from) {
    const auto take = [](std::string& field, const std::string& value) {
        if (field.empty()) {
            field = value;
        }
    };
    take(into.name, from.name);
    take(into.number, from.number);
    take(into.date, from.date);
    take(into.time, from.time);
}

// ---- packets ---------------------------------------------------------------

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::optional<std::vector<uint8_t>> HexBytes(std::string_view text) {
    if (text.empty() || text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::string_view AsText(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void SetAbsentReason(std::string& field, std::span<const uint8_t> value) {
    if (value.size() != 1 || !field.empty()) {
        return;
    }
    if (value[0] == 'P') {
        field = kCallerPrivate;
    } else if (value[0] == 'O') {
        field = kCallerUnavailable;
    }
}

void ApplyParameter(CallerId& caller, uint8_t type, std::span<const uint8_t> value) {
    switch (type) {
        case kParamDateTime:
            if (value.size() == 8) {
                SetDateTimeOnce(caller.date, AsText(value.first(4)));
                SetDateTimeOnce(caller.time, AsText(value.subspan(4)));
            }
            break;
        case kParamNumber:
        case kParamDialable:
            SetOnce(caller.number, AsText(value), kMaxCallerNumberChars);
            break;
        case kParamNumberAbsent:
            SetAbsentReason(caller.number, value);
            break;
        case kParamName:
            SetOnce(caller.name, AsText(value), kMaxCallerNameChars);
            break;
        case kParamNameAbsent:
            SetAbsentReason(caller.name, value);
            break;
        default:
            break;  // call type, message waiting, ...: nothing a recorder shows
    }
}

// A MESG value: one MDMF parameter as hex (type, length, data), with or
// without a checksum byte after it.
std::optional<CallerId> DecodeMessageParameter(std::string_view text) {
    const auto bytes = HexBytes(TrimRaw(text));
    if (!bytes || bytes->size() < 2) {
        return std::nullopt;
    }
    const std::size_t length = (*bytes)[1];
    if (bytes->size() != length + 2 && bytes->size() != length + 3) {
        return std::nullopt;
    }
    CallerId caller;
    ApplyParameter(caller, (*bytes)[0], std::span(*bytes).subspan(2, length));
    if (caller.Empty()) {
        return std::nullopt;
    }
    return caller;
}

void AppendHex(std::string& out, uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0x0F]);
}

void AppendParameter(std::vector<uint8_t>& packet, uint8_t type, std::string_view value) {
    value = value.substr(0, kMaxPacketValueBytes);
    packet.push_back(type);
    packet.push_back(static_cast<uint8_t>(value.size()));
    packet.insert(packet.end(), value.begin(), value.end());
}

// Sets the length byte, appends the checksum and writes the packet as hex.
std::string FinishPacket(std::vector<uint8_t> packet) {
    packet[1] = static_cast<uint8_t>(packet.size() - 2);
    unsigned sum = 0;
    for (const uint8_t byte : packet) {
        sum += byte;
    }
    packet.push_back(static_cast<uint8_t>((256 - (sum & 0xFF)) & 0xFF));
    std::string hex;
    for (const uint8_t byte : packet) {
        AppendHex(hex, byte);
    }
    return hex;
}

// ---- formatted lines -----------------------------------------------------

enum class Tag { Date, Time, Number, Name, Message };

struct TagName {
    std::string_view text;
    Tag tag;
};

// Longer names before their prefixes ("DDN_NMBR" before "DDN").
constexpr std::array<TagName, 8> kTags = {{{"DDN_NMBR", Tag::Number},
                                           {"DDN", Tag::Number},
                                           {"NMBR", Tag::Number},
                                           {"NBR", Tag::Number},
                                           {"NAME", Tag::Name},
                                           {"DATE", Tag::Date},
                                           {"TIME", Tag::Time},
                                           {"MESG", Tag::Message}}};

struct TagMatch {
    Tag tag;
    std::size_t valueStart;
    bool equals;
};

// A tag at `pos`, followed by "=" (blanks allowed around it) or by blanks.
std::optional<TagMatch> MatchTag(std::string_view line, std::size_t pos) {
    const std::string_view rest = line.substr(pos);
    for (const TagName& name : kTags) {
        if (!rest.starts_with(name.text)) {
            continue;
        }
        std::size_t i = pos + name.text.size();
        if (i < line.size()) {
            const auto next = static_cast<unsigned char>(line[i]);
            if (std::isalnum(next) || next == '_') {
                continue;
            }
        }
        const std::size_t tagEnd = i;
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        if (i < line.size() && line[i] == '=') {
            ++i;
            while (i < line.size() && IsBlank(line[i])) {
                ++i;
            }
            return TagMatch{name.tag, i, true};
        }
        if (i == tagEnd && i < line.size()) {
            return std::nullopt;  // "NAME-X", "NMBR:..."
        }
        return TagMatch{name.tag, i, false};
    }
    return std::nullopt;
}

// Where the next "TAG =" starts after `from`, at a word start; npos if none.
std::size_t NextTag(std::string_view line, std::size_t from) {
    for (std::size_t k = std::max<std::size_t>(from, 1); k < line.size(); ++k) {
        if (IsBlank(line[k - 1])) {
            const auto match = MatchTag(line, k);
            if (match && match->equals) {
                return k;
            }
        }
    }
    return std::string_view::npos;
}

void ApplyTag(CallerId& caller, Tag tag, std::string_view value) {
    switch (tag) {
        case Tag::Date:
            SetDateTimeOnce(caller.date, value);
            break;
        case Tag::Time:
            SetDateTimeOnce(caller.time, value);
            break;
        case Tag::Number:
            SetOnce(caller.number, value, kMaxCallerNumberChars);
            break;
        case Tag::Name:
            SetOnce(caller.name, value, kMaxCallerNameChars);
            break;
        case Tag::Message:
            // Some modems print the whole packet here; otherwise it is
            // mostly parameters a recorder has no use for, though Bell
            // Canada puts the number in one.
            if (const auto packet = DecodeCallerIdPacket(value)) {
                MergeOnce(caller, *packet);
            } else if (const auto decoded = DecodeMessageParameter(value)) {
                MergeOnce(caller, *decoded);
            }
            break;
    }
}

}  // namespace

std::string CleanCallerText(std::string_view raw, std::size_t maxChars) {
    std::string out;
    std::size_t chars = 0;
    bool blankPending = false;
    for (std::size_t i = 0; i < raw.size() && chars < maxChars;) {
        char32_t cp = static_cast<unsigned char>(raw[i]);
        const std::size_t length = cp < 0x80 ? 1 : Utf8At(raw, i, cp);
        // A byte that starts no valid sequence is a Latin-1 character.
        i += length == 0 ? 1 : length;
        if (IsBlanked(cp)) {
            blankPending = !out.empty();
            continue;
        }
        if (cp == '/' || cp == '\\') {
            cp = '-';
        }
        if (blankPending) {
            // A blank that the next character would not follow is a trailing one.
            if (chars + 2 > maxChars) {
                break;
            }
            out.push_back(' ');
            ++chars;
            blankPending = false;
        }
        AppendUtf8(out, cp);
        ++chars;
    }
    return out;
}

bool CallerIdCollector::FeedLine(std::string_view rawLine) {
    const std::string_view line = TrimRaw(rawLine);
    if (line.empty()) {
        return false;
    }
    const auto first = MatchTag(line, 0);
    if (!first) {
        const auto packet = DecodeCallerIdPacket(line);
        if (!packet) {
            return false;
        }
        started_ = true;
        MergeOnce(current_, *packet);
        return true;
    }
    started_ = true;
    if (!first->equals) {
        // Kortex: "DATE TIME=01/06 14:15".
        const auto second = MatchTag(line, first->valueStart);
        if (first->tag == Tag::Date && second && second->tag == Tag::Time && second->equals) {
            const std::string_view value = line.substr(second->valueStart);
            const std::size_t blank = value.find(' ');
            std::string date;
            std::string time;
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (std::isdigit(static_cast<unsigned char>(value[i]))) {
                    (i < blank ? date : time).push_back(value[i]);
                }
            }
            SetDateTimeOnce(current_.date, date);
            SetDateTimeOnce(current_.time, time);
            return true;
        }
        // "DATE 0408": one tag, the rest of the line is its value.
        ApplyTag(current_, first->tag, line.substr(first->valueStart));
        return true;
    }
    std::size_t start = 0;
    while (start != std::string_view::npos) {
        const auto match = MatchTag(line, start);
        const std::size_t next = NextTag(line, match->valueStart);
        const std::size_t end = next == std::string_view::npos ? line.size() : next;
        ApplyTag(current_, match->tag,
                 TrimRaw(line.substr(match->valueStart, end - match->valueStart)));
        start = next;
    }
    return true;
}

CallerId CallerIdCollector::Peek() const {
    CallerId caller = current_;
    if (caller.name.empty()) {
        caller.name = kCallerUnknown;
    }
    if (caller.number.empty()) {
        caller.number = kCallerUnknown;
    }
    return caller;
}

CallerId CallerIdCollector::Take() {
    CallerId caller = Peek();
    Reset();
    return caller;
}

void CallerIdCollector::Reset() {
    current_ = CallerId{};
    started_ = false;
}

std::optional<CallerId> DecodeCallerIdPacket(std::string_view hex) {
    const auto bytes = HexBytes(TrimRaw(hex));
    if (!bytes || bytes->size() < 3 || (*bytes)[1] + 3u != bytes->size()) {
        return std::nullopt;
    }
    unsigned sum = 0;
    for (const uint8_t byte : *bytes) {
        sum += byte;
    }
    if ((sum & 0xFF) != 0) {
        return std::nullopt;
    }
    const auto data = std::span(*bytes).subspan(2, (*bytes)[1]);
    CallerId caller;
    if ((*bytes)[0] == kSdmf) {
        if (data.size() < 8) {
            return std::nullopt;
        }
        ApplyParameter(caller, kParamDateTime, data.first(8));
        const auto number = data.subspan(8);
        if (number.size() == 1 && (number[0] == 'P' || number[0] == 'O')) {
            SetAbsentReason(caller.number, number);
        } else {
            SetOnce(caller.number, AsText(number), kMaxCallerNumberChars);
        }
    } else if ((*bytes)[0] == kMdmf) {
        std::size_t i = 0;
        while (i < data.size()) {
            if (i + 2 > data.size() || i + 2 + data[i + 1] > data.size()) {
                return std::nullopt;
            }
            ApplyParameter(caller, data[i], data.subspan(i + 2, data[i + 1]));
            i += 2 + data[i + 1];
        }
    } else {
        return std::nullopt;  // message waiting and the like: no caller
    }
    if (caller.Empty()) {
        return std::nullopt;
    }
    return caller;
}

namespace {

// What a packet says in place of a missing or withheld value.
std::optional<char> AbsentReason(std::string_view value) {
    if (value == kCallerPrivate) {
        return 'P';
    }
    if (value.empty() || value == kCallerUnavailable || value == kCallerUnknown) {
        return 'O';
    }
    return std::nullopt;
}

}  // namespace

std::string EncodeMdmfPacket(std::string_view dateTime, std::string_view number,
                             std::string_view name) {
    std::vector<uint8_t> packet = {kMdmf, 0};
    if (!dateTime.empty()) {
        AppendParameter(packet, kParamDateTime, dateTime.substr(0, 8));
    }
    if (const auto reason = AbsentReason(number)) {
        AppendParameter(packet, kParamNumberAbsent, std::string_view(&*reason, 1));
    } else {
        AppendParameter(packet, kParamNumber, number);
    }
    if (const auto reason = AbsentReason(name)) {
        AppendParameter(packet, kParamNameAbsent, std::string_view(&*reason, 1));
    } else {
        AppendParameter(packet, kParamName, name);
    }
    return FinishPacket(std::move(packet));
}

std::string EncodeSdmfPacket(std::string_view dateTime, std::string_view number) {
    std::vector<uint8_t> packet = {kSdmf, 0};
    // SDMF has no parameter structure: the date and time are always 8 bytes.
    std::string stamp(dateTime.substr(0, 8));
    stamp.resize(8, '0');
    packet.insert(packet.end(), stamp.begin(), stamp.end());
    if (const auto reason = AbsentReason(number)) {
        packet.push_back(static_cast<uint8_t>(*reason));
    } else {
        const std::string_view digits = number.substr(0, kMaxPacketValueBytes);
        packet.insert(packet.end(), digits.begin(), digits.end());
    }
    return FinishPacket(std::move(packet));
}

}  // namespace orvane::modem
