#pragma once
// The settings store: one hive file per root, shared by every process of
// the user (the program, orvane-reg, orvane-setup). A read sees what another
// process wrote before it; a write is applied to the newest file under a
// lock and replaces the file atomically. A hive file with errors is read as
// far as it can be and is never written, so a hand edit is not lost.

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "settings/store/registry_file_format.h"
#include "settings/store/registry_file_io.h"
#include "settings/store/registry_types.h"

namespace orvane {

class RegistryStore {
  public:
    // `root` is kHkeyLocalMachine or kHkeyCurrentUser; `filePath` its hive.
    RegistryStore(quint32 root, const QString& filePath);

    quint32 Root() const { return root_; }
    QString FilePath() const { return path_; }

    // `key` is a "\"-separated path below the root. On entry *size is the
    // room the caller has; on return it is the value's size. When the value
    // does not fit, *data is left alone and kErrorMoreData returned. A null
    // `data` only asks for type and size.
    qint32 QueryValue(const QString& key, const QString& name, quint32* type, QByteArray* data,
                      quint32* size);
    bool KeyExists(const QString& key);
    qint32 EnumValues(const QString& key, QList<RegValue>* values);
    qint32 EnumSubKeys(const QString& key, QStringList* names);

    // One text per problem, "<file> line N: ..."; empty when the file is
    // sound or absent.
    QStringList Problems();

    // Writes fail with kErrorFileNotFound when the key is missing, with
    // kErrorBadDb while the file has problems and with kErrorCantWrite
    // when the new file cannot be written; the file is unchanged then.
    qint32 SetValue(const QString& key, const RegValue& value);
    // Stores the value only when the key has none of that name; *written
    // tells whether it did. The test and the write are one step.
    qint32 SetValueIfAbsent(const QString& key, const RegValue& value, bool* written);
    qint32 DeleteValue(const QString& key, const QString& name);
    // Creates the key and its missing parents, and the config folder (mode
    // 0700) when missing. *created tells whether the key was new.
    qint32 CreateKey(const QString& key, bool* created = nullptr);
    // Removes the key with all its sub-keys and values.
    qint32 DeleteKey(const QString& key);

  private:
    using Change = std::function<qint32(Hive&)>;

    void Refresh();
    void Adopt(registry_io::ReadResult result, const registry_io::FileIdentity& identity,
               const QByteArray& content, const QString& error);
    qint32 Write(const Change& change, bool makeFolder, const QString& writtenRunValue);
    bool MirrorRunValues(const Hive& from, const Hive& to, const QString& writtenRunValue);

    const quint32 root_;
    const QString rootName_;
    const QString path_;
    QMutex mutex_;
    bool loaded_ = false;
    registry_io::FileIdentity identity_;
    QByteArray content_;
    QString readError_;  // the file exists but cannot be read
    ParsedHive parsed_;
};

// The hive file of `root` in the config folder: "HKEY_LOCAL_MACHINE.reg" or
// "HKEY_CURRENT_USER.reg"; empty for an unknown root.
QString HivePath(quint32 root);

// The store of `root` for this process, following the config folder when it
// changes; nullptr for an unknown root.
std::shared_ptr<RegistryStore> HiveFor(quint32 root);

// Problems of both hive files, for reporting at start-up.
QStringList HiveProblems();

}  // namespace orvane
