#include "settings/store/registry_store.h"

#include <sys/stat.h>

#include <QFileInfo>
#include <QLockFile>
#include <QMutexLocker>
#include <cerrno>
#include <map>
#include <set>

#include "core/atomic_file.h"
#include "core/paths.h"
#include "core/product.h"
#include "settings/store/autostart.h"

namespace orvane {

namespace {

// Another process holds the lock only for one small file write.
constexpr int kLockTimeoutMs = 10000;
constexpr unsigned int kHiveMode = 0600;
constexpr unsigned int kFolderMode = 0700;

bool IsRunKey(const QString& key) {
    return SplitKeyPath(key)
               .join(QLatin1Char('\\'))
               .compare(product::kRunKey, Qt::CaseInsensitive) == 0;
}

qint32 CodeForErrno(int error) {
    return (error == EACCES || error == EPERM || error == EROFS) ? kErrorAccessDenied
                                                                 : kErrorCantWrite;
}

}  // namespace

RegistryStore::RegistryStore(quint32 root, const QString& filePath)
    : root_(root), rootName_(RootKeyName(root)), path_(filePath) {}

void RegistryStore::Adopt(registry_io::ReadResult result, const registry_io::FileIdentity& identity,
                          const QByteArray& content, const QString& error) {
    loaded_ = true;
    identity_ = identity;
    content_ = content;
    readError_ = result == registry_io::ReadResult::kFailed ? error : QString();
    parsed_ = readError_.isEmpty() ? ParseHive(content, rootName_) : ParsedHive{};
}

void RegistryStore::Refresh() {
    if (loaded_ && readError_.isEmpty() && !registry_io::MayChangeUnseen(identity_) &&
        registry_io::Identify(path_) == identity_) {
        return;
    }
    QByteArray content;
    registry_io::FileIdentity identity;
    QString error;
    const auto result = registry_io::ReadWholeFile(path_, &content, &identity, &error);
    if (loaded_ && result != registry_io::ReadResult::kFailed && readError_.isEmpty() &&
        content == content_) {
        identity_ = identity;  // same text, nothing to parse again
        return;
    }
    Adopt(result, identity, content, error);
}

qint32 RegistryStore::QueryValue(const QString& key, const QString& name, quint32* type,
                                 QByteArray* data, quint32* size) {
    QMutexLocker locker(&mutex_);
    Refresh();
    if (!readError_.isEmpty()) {
        return kErrorAccessDenied;
    }
    const RegKey* found = parsed_.hive.FindKey(key);
    const RegValue* value = found == nullptr ? nullptr : found->FindValue(name);
    if (value == nullptr) {
        return kErrorFileNotFound;
    }
    if (data != nullptr && size == nullptr) {
        return kErrorInvalidParameter;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    if (size == nullptr) {
        return kErrorSuccess;
    }
    const auto needed = static_cast<quint32>(value->data.size());
    const bool fits = needed <= *size;
    *size = needed;
    if (data == nullptr) {
        return kErrorSuccess;
    }
    if (!fits) {
        return kErrorMoreData;
    }
    *data = value->data;
    return kErrorSuccess;
}

bool RegistryStore::KeyExists(const QString& key) {
    QMutexLocker locker(&mutex_);
    Refresh();
    return readError_.isEmpty() && parsed_.hive.FindKey(key) != nullptr;
}

qint32 RegistryStore::EnumValues(const QString& key, QList<RegValue>* values) {
    QMutexLocker locker(&mutex_);
    Refresh();
    values->clear();
    if (!readError_.isEmpty()) {
        return kErrorAccessDenied;
    }
    const RegKey* found = parsed_.hive.FindKey(key);
    if (found == nullptr) {
        return kErrorFileNotFound;
    }
    *values = found->values;
    return kErrorSuccess;
}

qint32 RegistryStore::EnumSubKeys(const QString& key, QStringList* names) {
    QMutexLocker locker(&mutex_);
    Refresh();
    names->clear();
    if (!readError_.isEmpty()) {
        return kErrorAccessDenied;
    }
    if (parsed_.hive.FindKey(key) == nullptr) {
        return kErrorFileNotFound;
    }
    *names = parsed_.hive.SubKeyNames(key);
    return kErrorSuccess;
}

QStringList RegistryStore::Problems() {
    QMutexLocker locker(&mutex_);
    Refresh();
    if (!readError_.isEmpty()) {
        return {QStringLiteral("%1: cannot be read: %2").arg(path_, readError_)};
    }
    QStringList texts;
    for (const HiveProblem& problem : parsed_.problems) {
        texts.append(
            QStringLiteral("%1 line %2: %3").arg(path_).arg(problem.line).arg(problem.message));
    }
    return texts;
}

qint32 RegistryStore::SetValue(const QString& key, const RegValue& value) {
    if (!IsValidValueName(value.name)) {
        return kErrorInvalidParameter;
    }
    return Write(
        [&](Hive& hive) {
            RegKey* found = hive.FindKey(key);
            if (found == nullptr) {
                return kErrorFileNotFound;
            }
            found->SetValue(value);
            return kErrorSuccess;
        },
        false, IsRunKey(key) ? value.name : QString());
}

qint32 RegistryStore::SetValueIfAbsent(const QString& key, const RegValue& value, bool* written) {
    *written = false;
    if (!IsValidValueName(value.name)) {
        return kErrorInvalidParameter;
    }
    return Write(
        [&](Hive& hive) {
            RegKey* found = hive.FindKey(key);
            if (found == nullptr) {
                return kErrorFileNotFound;
            }
            if (found->FindValue(value.name) == nullptr) {
                found->SetValue(value);
                *written = true;
            }
            return kErrorSuccess;
        },
        false, QString());
}

qint32 RegistryStore::DeleteValue(const QString& key, const QString& name) {
    return Write(
        [&](Hive& hive) {
            RegKey* found = hive.FindKey(key);
            return found != nullptr && found->RemoveValue(name) ? kErrorSuccess
                                                                : kErrorFileNotFound;
        },
        false, QString());
}

qint32 RegistryStore::CreateKey(const QString& key, bool* created) {
    if (created != nullptr) {
        *created = false;
    }
    for (const QString& part : SplitKeyPath(key)) {
        if (!IsValidKeyName(part)) {
            return kErrorInvalidParameter;
        }
    }
    return Write(
        [&](Hive& hive) {
            if (hive.FindKey(key) == nullptr) {
                if (hive.CreateKey(key) == nullptr) {
                    return kErrorInvalidParameter;
                }
                if (created != nullptr) {
                    *created = true;
                }
            }
            return kErrorSuccess;
        },
        true, QString());
}

qint32 RegistryStore::DeleteKey(const QString& key) {
    if (SplitKeyPath(key).isEmpty()) {
        return kErrorAccessDenied;  // a root cannot be deleted
    }
    return Write(
        [&](Hive& hive) { return hive.DeleteKey(key) ? kErrorSuccess : kErrorFileNotFound; }, false,
        QString());
}

qint32 RegistryStore::Write(const Change& change, bool makeFolder, const QString& writtenRunValue) {
    QMutexLocker locker(&mutex_);
    const QString folder = QFileInfo(path_).absolutePath();
    if (makeFolder ? !registry_io::MakeFolder(folder, kFolderMode) : !QFileInfo(folder).isDir()) {
        // Without the folder no key exists that a value could go into.
        return makeFolder ? kErrorAccessDenied : kErrorFileNotFound;
    }
    QLockFile lock(path_ + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockTimeoutMs)) {
        return lock.error() == QLockFile::PermissionError ? kErrorAccessDenied : kErrorCantWrite;
    }
    // Under the lock the file on disk is the truth: read it afresh so no
    // change another process made is lost.
    QByteArray content;
    registry_io::FileIdentity identity;
    QString error;
    const auto result = registry_io::ReadWholeFile(path_, &content, &identity, &error);
    Adopt(result, identity, content, error);
    if (!readError_.isEmpty()) {
        return kErrorAccessDenied;
    }
    if (!parsed_.problems.isEmpty()) {
        return kErrorBadDb;
    }
    Hive updated = parsed_.hive;
    const qint32 code = change(updated);
    if (code != kErrorSuccess) {
        return code;
    }
    // The autostart entry goes first: the hive must never claim an entry
    // that is not there.
    if (!MirrorRunValues(parsed_.hive, updated, writtenRunValue)) {
        MirrorRunValues(updated, parsed_.hive, writtenRunValue);
        return kErrorCantWrite;
    }
    if (updated == parsed_.hive) {
        return kErrorSuccess;
    }
    const QByteArray newContent = SerializeHive(updated, rootName_);
    const int failure = ReplaceFileContent(path_, newContent, {kHiveMode, false});
    if (failure != 0) {
        MirrorRunValues(updated, parsed_.hive, writtenRunValue);
        return CodeForErrno(failure);
    }
    loaded_ = true;
    identity_ = registry_io::Identify(path_);
    content_ = newContent;
    parsed_ = ParsedHive{std::move(updated), {}};
    return kErrorSuccess;
}

bool RegistryStore::MirrorRunValues(const Hive& from, const Hive& to,
                                    const QString& writtenRunValue) {
    if (root_ != kHkeyCurrentUser) {
        return true;
    }
    const RegKey* before = from.FindKey(product::kRunKey);
    const RegKey* after = to.FindKey(product::kRunKey);
    auto valueIn = [](const RegKey* key, const QString& name) {
        return key == nullptr ? nullptr : key->FindValue(name);
    };
    // Folded names, so "Orvane" and "ORVANE" are one entry.
    std::map<QString, QString> names;
    if (!writtenRunValue.isNull()) {
        names.emplace(writtenRunValue.toCaseFolded(), writtenRunValue);
    }
    for (const RegKey* key : {before, after}) {
        for (const RegValue& value : key == nullptr ? QList<RegValue>() : key->values) {
            const RegValue* old = valueIn(before, value.name);
            const RegValue* now = valueIn(after, value.name);
            if (old == nullptr || now == nullptr || !(*old == *now)) {
                names.emplace(value.name.toCaseFolded(), value.name);
            }
        }
    }
    bool ok = true;
    for (const auto& [folded, name] : names) {
        ok = autostart::Mirror(name, valueIn(after, name)) && ok;
    }
    return ok;
}

QString HivePath(quint32 root) {
    const QString name = RootKeyName(root);
    return name.isEmpty()
               ? QString()
               : paths::ConfigFolder() + QLatin1Char('/') + name + QStringLiteral(".reg");
}

std::shared_ptr<RegistryStore> HiveFor(quint32 root) {
    static QMutex mutex;
    static std::map<quint32, std::shared_ptr<RegistryStore>> stores;
    const QString path = HivePath(root);
    if (path.isEmpty()) {
        return nullptr;
    }
    QMutexLocker locker(&mutex);
    std::shared_ptr<RegistryStore>& store = stores[root];
    if (store == nullptr || store->FilePath() != path) {
        store = std::make_shared<RegistryStore>(root, path);
    }
    return store;
}

QStringList HiveProblems() {
    QStringList problems;
    for (const quint32 root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
        problems += HiveFor(root)->Problems();
    }
    return problems;
}

}  // namespace orvane
