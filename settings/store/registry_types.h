#pragma once
// The numbers and value shapes of the settings store. Roots, value types and
// result codes keep the registry's own numbers, so code that stores or
// reports them means the same thing as on the platform it came from.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace orvane {

// Predefined roots.
// Component classes; written by the audio library's registration.
inline constexpr quint32 kHkeyClassesRoot = 0x80000000;
inline constexpr quint32 kHkeyCurrentUser = 0x80000001;
inline constexpr quint32 kHkeyLocalMachine = 0x80000002;

// Value types.
inline constexpr quint32 kRegNone = 0;
inline constexpr quint32 kRegSz = 1;
inline constexpr quint32 kRegExpandSz = 2;
inline constexpr quint32 kRegBinary = 3;
inline constexpr quint32 kRegDword = 4;
inline constexpr quint32 kRegMultiSz = 7;

// Result codes.
inline constexpr qint32 kErrorSuccess = 0;
inline constexpr qint32 kErrorFileNotFound = 2;  // missing key or value
inline constexpr qint32 kErrorAccessDenied = 5;
inline constexpr qint32 kErrorInvalidParameter = 87;
inline constexpr qint32 kErrorMoreData = 234;
inline constexpr qint32 kErrorBadDb = 1009;      // the hive file has errors
inline constexpr qint32 kErrorCantWrite = 1013;  // the old file stays intact

// The registry's limits on names.
inline constexpr int kMaxKeyNameLength = 255;
inline constexpr int kMaxValueNameLength = 16383;

// One named value as the registry holds it: the type and the raw bytes
// (text as UTF-16LE with its terminating NUL, a DWORD as 4 bytes
// little-endian). The empty name is the key's default value.
struct RegValue {
    QString name;
    quint32 type = kRegNone;
    QByteArray data;

    bool operator==(const RegValue&) const = default;
};

// "HKEY_LOCAL_MACHINE" / "HKEY_CURRENT_USER"; empty for an unknown root.
QString RootKeyName(quint32 root);
// Accepts the long names and HKLM / HKCU, in any case; 0 when unknown.
quint32 RootFromName(const QString& name);
// "REG_SZ", ...; other types as "REG_0x..." hex.
QString TypeName(quint32 type);

// Text as stored: UTF-16LE followed by one NUL.
QByteArray EncodeRegString(const QString& text);
// Reads up to the first NUL; a missing terminator or an odd last byte is
// tolerated, as hand-made data may have either.
QString DecodeRegString(const QByteArray& data);
// Items each ended by a NUL, then the closing NUL. Empty items cannot be
// represented in a multi-string and are left out.
QByteArray EncodeRegMultiString(const QStringList& items);
QStringList DecodeRegMultiString(const QByteArray& data);
QByteArray EncodeRegDword(quint32 number);
// The first four bytes little-endian; missing bytes count as zero.
quint32 DecodeRegDword(const QByteArray& data);

// Splits a key path on "\" and drops empty parts, so a trailing backslash
// (an empty sub-key) addresses the same key.
QStringList SplitKeyPath(const QString& path);
// A key name the hive file can hold: 1..255 characters, no "\" and no
// control characters.
bool IsValidKeyName(const QString& name);
// A value name the hive file can hold on one line.
bool IsValidValueName(const QString& name);

}  // namespace orvane
