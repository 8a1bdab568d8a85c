#include "calls/store/call_record.h"

#include <sys/stat.h>

#include <QFile>
#include <algorithm>
#include <array>
#include <cstring>

#include "core/common_functions.h"

namespace orvane {
namespace {

constexpr CallFieldLayout kLayouts[] = {
    {0, 1},    {1, 1},    {2, 2},   {4, 32},  {36, 32},  {68, 50},
    {118, 16}, {134, 10}, {144, 2}, {146, 1}, {147, 64}, {211, 256},
};

// The longest prefix of `utf8` that fits `width` bytes without cutting a
// character: a continuation byte (10xxxxxx) never starts the cut-off part.
std::size_t FittingLength(const QByteArray& utf8, std::size_t width) {
    if (static_cast<std::size_t>(utf8.size()) <= width) {
        return static_cast<std::size_t>(utf8.size());
    }
    std::size_t length = width;
    while (length > 0 &&
           (static_cast<unsigned char>(utf8[static_cast<qsizetype>(length)]) & 0xC0) == 0x80) {
        --length;
    }
    return length;
}

}  // namespace

CallFieldLayout LayoutOf(CallField field) {
    return kLayouts[static_cast<int>(field)];
}

CallRecord::CallRecord(std::span<const char, kCallRecordSize> bytes) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

void CallRecord::Set(CallField field, const QString& value) {
    const CallFieldLayout layout = LayoutOf(field);
    const QByteArray utf8 = value.toUtf8();
    const std::size_t width = static_cast<std::size_t>(layout.width);
    const std::size_t used = FittingLength(utf8, width);
    char* start = bytes_.data() + layout.offset;
    std::memcpy(start, utf8.constData(), used);
    std::memset(start + used, ' ', width - used);
}

QString CallRecord::Get(CallField field) const {
    const std::string_view bytes = GetBytes(field);
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string_view CallRecord::GetBytes(CallField field) const {
    const CallFieldLayout layout = LayoutOf(field);
    std::string_view bytes(bytes_.data() + layout.offset, static_cast<size_t>(layout.width));
    const size_t begin = bytes.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return {};
    }
    bytes.remove_prefix(begin);
    return bytes.substr(0, bytes.find_last_not_of(' ') + 1);
}

bool CallRecord::IsUnset(CallField field) const {
    return bytes_[static_cast<std::size_t>(LayoutOf(field).offset)] == '\0';
}

namespace {

// What each byte of a record may hold: a flag, a kind digit, or text.
enum class ByteKind : unsigned char { kFlag, kKind, kText, kNote };

constexpr std::array<ByteKind, kCallRecordSize> MakeByteKinds() {
    std::array<ByteKind, kCallRecordSize> kinds{};
    for (int field = 0; field < static_cast<int>(std::size(kLayouts)); ++field) {
        ByteKind kind = ByteKind::kText;
        switch (static_cast<CallField>(field)) {
            case CallField::SpareMark:
            case CallField::UserMark:
            case CallField::ReadFlag:
                kind = ByteKind::kFlag;
                break;
            case CallField::CallKind:
                kind = ByteKind::kKind;
                break;
            case CallField::Notes:
                kind = ByteKind::kNote;
                break;
            default:
                break;
        }
        for (int i = 0; i < kLayouts[field].width; ++i) {
            kinds[static_cast<size_t>(kLayouts[field].offset + i)] = kind;
        }
    }
    return kinds;
}

constexpr std::array<ByteKind, kCallRecordSize> kByteKinds = MakeByteKinds();

bool ByteFits(ByteKind kind, unsigned char byte) {
    if (byte == 0) {
        return true;  // an unset field
    }
    switch (kind) {
        case ByteKind::kFlag:
            return byte == ' ' || byte == '0' || byte == '1';
        case ByteKind::kKind:
            return byte == ' ' || (byte >= '0' && byte <= '9');
        case ByteKind::kNote:
            return byte >= 0x20 ? byte != 0x7F : byte == '\r' || byte == '\n' || byte == '\t';
        case ByteKind::kText:
            return byte >= 0x20 && byte != 0x7F;
    }
    return false;
}

}  // namespace

bool IsReadableCallRecord(const CallRecord& record) {
    const std::array<char, kCallRecordSize>& bytes = record.Bytes();
    const auto at = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    // The flags and the kind, byte by byte; the text eight bytes at a time
    // (a rebuild checks every record of the folder), byte by byte only
    // where a word holds a control byte, a DEL or a flag.
    for (CallField field :
         {CallField::SpareMark, CallField::UserMark, CallField::CallKind, CallField::ReadFlag}) {
        const CallFieldLayout layout = LayoutOf(field);
        for (int i = layout.offset; i < layout.offset + layout.width; ++i) {
            if (!ByteFits(kByteKinds[static_cast<size_t>(i)], at(static_cast<size_t>(i)))) {
                return false;
            }
        }
    }
    constexpr quint64 kOnes = 0x0101010101010101ULL;
    constexpr quint64 kHigh = 0x8080808080808080ULL;
    for (size_t i = 0; i < bytes.size();) {
        if (i + 8 <= bytes.size()) {
            quint64 word = 0;
            std::memcpy(&word, bytes.data() + i, sizeof word);
            const quint64 del = word ^ (kOnes * 0x7F);
            const bool belowSpace = ((word - kOnes * 0x20) & ~word & kHigh) != 0;
            const bool hasDel = ((del - kOnes) & ~del & kHigh) != 0;
            if (word == 0 || (!belowSpace && !hasDel)) {
                i += 8;
                continue;
            }
        }
        if (!ByteFits(kByteKinds[i], at(i))) {
            return false;
        }
        ++i;
    }
    return true;
}

namespace {

// The rule before names were freed of direction marks and leading dots; it
// still finds the recordings it named.
QString LegacySafeFileNamePart(const QString& part) {
    if (part == QStringLiteral(".") || part == QStringLiteral("..")) {
        return QStringLiteral("_");
    }
    QString safe = part;
    for (QChar& c : safe) {
        if (c == QLatin1Char('/') || c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = QLatin1Char('_');
        }
    }
    return safe;
}

QString JoinedName(const QString& name, const QString& number, const QString& date,
                   const QString& time, QString (*rule)(const QString&)) {
    return rule(name) + QLatin1Char('_') + rule(number) + QLatin1Char('_') +
           rule(MakeTimeStamp(date, time, true)) + QStringLiteral(".wav");
}

}  // namespace

QString SafeFileNamePart(const QString& part) {
    QString safe;
    safe.reserve(part.size());
    for (const QChar c : part) {
        // Direction marks, isolates and other invisible format characters
        // would make two names that look the same differ (or the reverse).
        if (c.category() == QChar::Other_Format) {
            continue;
        }
        safe += c == QLatin1Char('/') || c.unicode() < 0x20 || c.unicode() == 0x7F
                    ? QLatin1Char('_')
                    : c;
    }
    if (safe == QStringLiteral(".") || safe == QStringLiteral("..")) {
        return QStringLiteral("_");
    }
    // A leading dot hides the file ("..._5551234_....wav").
    if (safe.startsWith(QLatin1Char('.'))) {
        safe[0] = QLatin1Char('_');
    }
    return safe;
}

QString CallFileName(const QString& name, const QString& number, const QString& date,
                     const QString& time) {
    return JoinedName(name, number, date, time, &SafeFileNamePart);
}

QString CallFileName(const CallRecord& record) {
    return CallFileName(record.Get(CallField::CallerName), record.Get(CallField::CallerNumber),
                        record.Get(CallField::CallDate), record.Get(CallField::CallTime));
}

QString LegacyCallFileName(const QString& name, const QString& number, const QString& date,
                           const QString& time) {
    return JoinedName(name, number, date, time, &LegacySafeFileNamePart);
}

QString LegacyCallFileName(const CallRecord& record) {
    return LegacyCallFileName(record.Get(CallField::CallerName),
                              record.Get(CallField::CallerNumber), record.Get(CallField::CallDate),
                              record.Get(CallField::CallTime));
}

bool NamesCall(const CallRecord& record, const QString& fileName) {
    return fileName == CallFileName(record) || fileName == LegacyCallFileName(record);
}

QString CallFileNameIn(const QString& folder, const QString& name, const QString& number,
                       const QString& date, const QString& time) {
    const QString current = CallFileName(name, number, date, time);
    const QString legacy = LegacyCallFileName(name, number, date, time);
    if (legacy == current) {
        return current;
    }
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    struct stat info {};
    const auto exists = [&prefix, &info](const QString& file) {
        return ::lstat(QFile::encodeName(prefix + file).constData(), &info) == 0;
    };
    return !exists(current) && exists(legacy) ? legacy : current;
}

}  // namespace orvane
