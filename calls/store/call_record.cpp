#include "calls/store/call_record.h"

#include <sys/stat.h>

#include <QFile>
#include <algorithm>
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

bool IsReadableCallRecord(const CallRecord& record) {
    const auto raw = [&record](CallField field) {
        const CallFieldLayout layout = LayoutOf(field);
        return std::string_view(record.Bytes().data() + layout.offset,
                                static_cast<size_t>(layout.width));
    };
    const auto onlyOf = [](std::string_view bytes, std::string_view allowed) {
        return bytes.find_first_not_of(allowed) == std::string_view::npos;
    };
    using namespace std::string_view_literals;
    const std::string_view flag = "\0 01"sv;
    for (CallField field : {CallField::SpareMark, CallField::UserMark, CallField::ReadFlag}) {
        if (!onlyOf(raw(field), flag)) {
            return false;
        }
    }
    if (!onlyOf(raw(CallField::CallKind), "\0 0123456789"sv)) {
        return false;
    }
    for (CallField field :
         {CallField::CallerName, CallField::CallerNumber, CallField::CallDate, CallField::CallTime,
          CallField::Duration, CallField::CallLine, CallField::ExtraText, CallField::Notes}) {
        for (const char c : raw(field)) {
            const auto byte = static_cast<unsigned char>(c);
            const bool noteSpace =
                field == CallField::Notes && (c == '\r' || c == '\n' || c == '\t');
            if ((byte < 0x20 && byte != 0 && !noteSpace) || byte == 0x7F) {
                return false;
            }
        }
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
           rule(TimeStampText(date, time, true)) + QStringLiteral(".wav");
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
