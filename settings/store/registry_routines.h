#pragma once
// The settings object: a current key (root + key path + sub-key) and typed
// reads and writes of the named values in it. Many may exist at once; they
// all share the store of their root, so each sees the others' writes.

#include <QString>
#include <QStringList>
#include <QVariant>

#include "core/product.h"
#include "settings/store/registry_types.h"

namespace orvane {

class RegistryRoutines {
  public:
    RegistryRoutines() = default;
    RegistryRoutines(quint32 root, const QString& keyRoot, const QString& subkey = QString());

    // The addressed key is KeyRoot + "\" + Subkey below hkey; an empty
    // sub-key addresses KeyRoot itself.
    quint32 hkey = kHkeyLocalMachine;
    QString KeyRoot = product::kRootKey;
    QString Subkey;

    QString KeyPath() const { return KeyRoot + QLatin1Char('\\') + Subkey; }

    // The value by its type: REG_SZ QString, REG_EXPAND_SZ the expanded
    // QString, REG_BINARY QByteArray, REG_DWORD int, REG_MULTI_SZ the items
    // joined by "\n" (an empty multi-string and unknown types give an
    // invalid QVariant). A missing key or value gives `defaultValue`.
    QVariant GetRegistryValue(const QString& name, const QVariant& defaultValue = QVariant()) const;
    // Stores `value` converted to `type` (REG_SZ, REG_EXPAND_SZ, REG_BINARY,
    // REG_DWORD or REG_MULTI_SZ; for REG_MULTI_SZ a QStringList or text
    // whose lines are the items). Fails, changing nothing, when the key is
    // missing or the value cannot be converted.
    bool SetRegistryValue(const QString& name, const QVariant& value, quint32 type = kRegSz);
    qint32 DeleteValue(const QString& name);

    // Used by the installer and the tools; the program itself never creates
    // or deletes keys.
    qint32 CreateKey();
    qint32 DeleteKey();  // with every sub-key
    bool KeyExists() const;
    QStringList EnumValues() const;
    QStringList EnumSubKeys() const;
};

// A stored setting as a number: empty 0, text read like Basic's Val (the
// leading number; blanks ignored; &H and &O prefixes), a DWORD as is,
// rounded half to even and held within 32 bits.
qint32 ReadNumber(const QVariant& value);
// A check-box setting: any non-zero number is checked.
bool ReadCheck(const QVariant& value);

// Replaces each %NAME% by the environment variable NAME; unknown names stay
// as written.
QString ExpandEnvironmentStrings(const QString& text);

}  // namespace orvane
