#pragma once
// One call of the call index file: 467 bytes, twelve fixed-width text
// fields in the locale's character set (UTF-8). A value is left-aligned,
// padded with spaces and cut at the field's width, never inside a
// multi-byte character; a field never given a value holds NUL bytes.

#include <QString>
#include <array>
#include <span>
#include <string_view>

namespace orvane {

inline constexpr int kCallRecordSize = 467;

enum class CallField {
    SpareMark,     // "1": icon 4 in the hidden first column; nothing sets it
    UserMark,      // "1" marked by the user, "0" mark taken off
    CallKind,      // "3" incoming, "4" outgoing recorded from the dialer ("2" also known)
    CallerName,    // or "UNKNOWN"
    CallerNumber,  // or "UNKNOWN"
    CallDate,      // the locale's short date when recording started
    CallTime,      // the locale's time when recording started
    Duration,      // the recording's length as time text, e.g. 0:01:23
    CallLine,      // the line index, decimal; nothing reads it back
    ReadFlag,      // "0" unread, "1" read
    ExtraText,     // the moment as ISO text (yyyy-MM-ddTHH:mm:ss) when stored; older records hold
                   // spaces
    Notes,         // the call's note, lines separated by CR LF
};

struct CallFieldLayout {
    int offset;
    int width;
};
CallFieldLayout LayoutOf(CallField field);

class CallRecord {
  public:
    // Every field NUL, as a new record starts.
    CallRecord() = default;
    explicit CallRecord(std::span<const char, kCallRecordSize> bytes);

    // Stores `value` left-aligned, space-padded and cut to the field.
    void Set(CallField field, const QString& value);
    // The field's text with spaces removed at both ends; NULs are not
    // removed (a never-noted call's Notes is 256 NULs).
    QString Get(CallField field) const;
    // The same as stored bytes, without decoding them.
    std::string_view GetBytes(CallField field) const;
    // The field's first byte is NUL: it was never given a value.
    bool IsUnset(CallField field) const;

    const std::array<char, kCallRecordSize>& Bytes() const { return bytes_; }

  private:
    std::array<char, kCallRecordSize> bytes_{};
};

// The record is one the program could have written: the marks and the read
// flag "0", "1", blank or unset, the kind digits, and no control character
// in any text (NULs of unset fields aside; the note may hold CR LF and
// tabs). Text in another character set passes. A record that fails is
// damage (random bytes, another file's contents) and is not listed.
bool IsReadableCallRecord(const CallRecord& record);

// The name of the call's WAV file, rebuilt from the record exactly as the
// recorder named it: name "_" number "_" date "_" time ".wav", "/" and ":"
// of the date and ":" of the time becoming "-". Characters that cannot
// stand in a file name are replaced by one fixed rule (SafeFileNamePart),
// so no caller ID can lead the name out of the recordings folder or hide it.
QString CallFileName(const CallRecord& record);
QString CallFileName(const QString& name, const QString& number, const QString& date,
                     const QString& time);
// The rule CallFileName applies to each part: format characters (direction
// marks and isolates, U+200E, U+200F, U+061C, U+202A-U+202E, U+2066-U+2069,
// ...) are dropped; "/", NUL and other control characters become "_"; a
// part that is "." or ".." becomes "_", and a leading "." becomes "_".
QString SafeFileNamePart(const QString& part);

// The name the earlier rule gave (format characters and a leading dot
// kept); the same as CallFileName for almost every call. Recordings made
// under it keep their names.
QString LegacyCallFileName(const CallRecord& record);
QString LegacyCallFileName(const QString& name, const QString& number, const QString& date,
                           const QString& time);
// `fileName` is the call's file under either rule.
bool NamesCall(const CallRecord& record, const QString& fileName);
// The call's file name in `folder`: CallFileName, or the earlier rule's
// name when only a file of that name is there (one lstat, and only when
// the two rules differ).
QString CallFileNameIn(const QString& folder, const QString& name, const QString& number,
                       const QString& date, const QString& time);

}  // namespace orvane
