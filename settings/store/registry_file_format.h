#pragma once
// One hive in memory and its text form, the registry editor's export format
// ("Windows Registry Editor Version 5.00"), so users can read, edit and move
// their settings with tools they know.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <map>

#include "settings/store/registry_types.h"

namespace orvane {

// One key: its path below the root as first written (case kept) and its
// values in the order they were added.
struct RegKey {
    QString path;
    QList<RegValue> values;

    const RegValue* FindValue(const QString& name) const;
    RegValue* FindValue(const QString& name);
    // Replaces a value of the same name in place, else appends.
    void SetValue(const RegValue& value);
    bool RemoveValue(const QString& name);

    bool operator==(const RegKey&) const = default;
};

// The keys of one root. Names compare case-insensitively and keep their
// case; the root key itself (empty path) always exists.
class Hive {
  public:
    Hive();

    // `path` is a "\"-separated path below the root; empty parts are ignored.
    const RegKey* FindKey(const QString& path) const;
    RegKey* FindKey(const QString& path);
    // Creates the key and its missing parents; returns the key, or nullptr
    // when a name is not valid. Names already present keep their case.
    RegKey* CreateKey(const QString& path);
    // Removes the key and everything below it; false when it is missing or
    // is the root.
    bool DeleteKey(const QString& path);
    // Names of the direct sub-keys, in sorted order.
    QStringList SubKeyNames(const QString& path) const;
    // Every key, parents before children.
    QList<const RegKey*> Keys() const;

    bool operator==(const Hive& other) const;

  private:
    struct PathLess {
        bool operator()(const QString& a, const QString& b) const;
    };
    static QString Fold(const QStringList& parts);

    std::map<QString, RegKey, PathLess> keys_;  // by folded path
};

// A line of a hive file that could not be used.
struct HiveProblem {
    int line = 0;
    QString message;
};

struct ParsedHive {
    Hive hive;                    // everything that could be read
    QList<HiveProblem> problems;  // empty when the file is sound
};

// Reads a hive file of the root named `rootName` ("HKEY_CURRENT_USER").
// Never fails: lines that cannot be read are reported and skipped. Accepts
// UTF-8 (with or without a byte order mark) and UTF-16LE with its mark,
// CR LF or LF, comments, blank lines and "\" continuations of hex lists.
ParsedHive ParseHive(const QByteArray& content, const QString& rootName);

// Writes UTF-8 with CR LF line ends. Every value survives a round trip
// byte for byte; text that would not stay on one line is written as hex.
QByteArray SerializeHive(const Hive& hive, const QString& rootName);

}  // namespace orvane
