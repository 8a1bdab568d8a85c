#include "calls/store/stored_calls.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <algorithm>
#include <utility>

#include "calls/store/call_store.h"

namespace orvane {
namespace {

QString WithSlash(const QString& folder) {
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder
                                                                 : folder + QLatin1Char('/');
}

}  // namespace

CallStoreOps FileCallStore() {
    CallStoreOps ops;
    ops.forEachRecord = [](const QString& folder,
                           const std::function<void(const CallRecord&)>& visit) {
        ForEachCallRecord(folder, visit);
    };
    ops.appendRecord = &AppendCallRecord;
    ops.writeRecord = &WriteCallRecord;
    ops.setReadFlag = &SetReadFlag;
    ops.setUserMark = &SetUserMark;
    ops.deleteCalls = [](std::vector<CallRef> calls, const QString& folder,
                         const std::function<void(int)>& progress) {
        return DeleteCalls(std::move(calls), folder, progress);
    };
    ops.restoreCalls = &RestoreCalls;
    ops.finishInterruptedWork = &FinishInterruptedCallWork;
    return ops;
}

CallStore::CallStore(CallStoreOps ops, QObject* parent) : QObject(parent), ops_(std::move(ops)) {}

CallStore::~CallStore() = default;

void CallStore::Open(const QString& folder) {
    if ((!opened_ || WithSlash(folder) != WithSlash(folder_)) && ops_.finishInterruptedWork) {
        ops_.finishInterruptedWork(folder);
    }
    opened_ = true;
    Read(folder);
    Watch();
    Q_EMIT callsReset();
}

void CallStore::Replace(const std::vector<CallRecord>& records, const QString& folder) {
    watcher_.reset();
    folder_ = folder;
    records_ = records;
    stamp_ = {};
    Q_EMIT callsReset();
}

void CallStore::Read(const QString& folder) {
    folder_ = folder;
    // Stamped before reading: a write by someone else while the file is
    // read shows as a change, and is read again.
    TakeStamp();
    // Read into the memory of the last read: pages already in use cost
    // nothing, new ones about 3.6 ms a megabyte. Room is left for the calls
    // to come, as growing 100,000 records by one would copy them all.
    const auto count = static_cast<size_t>(std::max<qint64>(stamp_.size, 0) / kCallRecordSize);
    const size_t room = count + count / 4 + 256;
    if (records_.capacity() > 2 * room) {
        records_ = {};  // a much smaller folder than the last one
    }
    records_.clear();
    records_.reserve(room);
    if (ops_.forEachRecord) {
        ops_.forEachRecord(folder,
                           [this](const CallRecord& record) { records_.push_back(record); });
    }
}

void CallStore::Watch() {
    watcher_ = std::make_unique<QFileSystemWatcher>();
    const QString folder = WithSlash(folder_);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return;  // a missing folder has no calls to change
    }
    // The folder tells of an index made or renamed over; the file of
    // writes in place.
    watcher_->addPath(folder);
    if (QFile::exists(CallIndexFile(folder))) {
        watcher_->addPath(CallIndexFile(folder));
    }
    const auto changed = [this] { CheckForOutsideChange(); };
    connect(watcher_.get(), &QFileSystemWatcher::fileChanged, this, changed);
    connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this, changed);
}

CallStore::Stamp CallStore::StampNow() const {
    Stamp stamp;
    const QString path = CallIndexFile(folder_);
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        return stamp;
    }
    stamp.size = static_cast<qint64>(info.st_size);
    stamp.modified = static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.inode = static_cast<quint64>(info.st_ino);
    return stamp;
}

void CallStore::TakeStamp() {
    stamp_ = StampNow();
}

bool CallStore::CheckForOutsideChange() {
    if (!watcher_) {
        return false;
    }
    // A rename over the file ends its watch; the new file is watched again.
    const QString path = CallIndexFile(folder_);
    if (!path.isEmpty() && !watcher_->files().contains(path) && QFile::exists(path)) {
        watcher_->addPath(path);
    }
    if (StampNow() == stamp_) {
        return false;
    }
    Read(folder_);
    Q_EMIT callsReset();
    return true;
}

const CallRecord& CallStore::Record(qint32 number) const {
    static const CallRecord kNone;
    return number >= 1 && number <= Count() ? records_[static_cast<size_t>(number - 1)] : kNone;
}

bool CallStore::Append(const CallRecord& record, const QString& folder) {
    if (!ops_.appendRecord || !ops_.appendRecord(record, folder)) {
        return false;
    }
    if (folder_.isEmpty() || WithSlash(folder) != WithSlash(folder_)) {
        return true;
    }
    TakeStamp();
    records_.push_back(record);
    Q_EMIT callAdded(Count());
    return true;
}

bool CallStore::Write(qint32 number, const CallRecord& record) {
    if (number < 1 || number > Count() || !ops_.writeRecord ||
        !ops_.writeRecord(record, folder_, number)) {
        return false;
    }
    TakeStamp();
    records_[static_cast<size_t>(number - 1)] = record;
    Q_EMIT callChanged(number);
    return true;
}

bool CallStore::SetReadFlag(qint32 number, const QString& value) {
    return SetFlag(number, value, ops_.setReadFlag, CallField::ReadFlag);
}

bool CallStore::SetUserMark(qint32 number, const QString& value) {
    return SetFlag(number, value, ops_.setUserMark, CallField::UserMark);
}

bool CallStore::SetFlag(qint32 number, const QString& value, const FlagWrite& write,
                        CallField field) {
    if (number < 1 || number > Count() || !write || !write(number, folder_, value)) {
        return false;
    }
    TakeStamp();
    // The file keeps the first character only; so does the memory.
    records_[static_cast<size_t>(number - 1)].Set(field, value.left(1));
    Q_EMIT callChanged(number);
    return true;
}

std::optional<DeletedCalls> CallStore::Delete(std::vector<CallRef> calls,
                                              const std::function<void(int)>& progress) {
    if (!ops_.deleteCalls) {
        return std::nullopt;
    }
    // A delete takes every call asked for or none (DeleteCalls), so the
    // numbers asked for are the ones gone.
    std::vector<qint32> numbers;
    for (const CallRef& call : calls) {
        if (call.number >= 1 && call.number <= Count()) {
            numbers.push_back(call.number);
        }
    }
    std::optional<DeletedCalls> deleted = ops_.deleteCalls(std::move(calls), folder_, progress);
    if (!deleted) {
        return deleted;
    }
    TakeStamp();
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    if (numbers.empty()) {
        return deleted;
    }
    // One pass: each kept record moves down over the removed ones before it.
    size_t kept = 0;
    size_t next = 0;
    for (size_t i = 0; i < records_.size(); ++i) {
        if (next < numbers.size() && static_cast<qint32>(i + 1) == numbers[next]) {
            ++next;
            continue;
        }
        if (kept != i) {
            records_[kept] = records_[i];
        }
        ++kept;
    }
    records_.resize(kept);
    Q_EMIT callsRemoved(numbers);
    return deleted;
}

RestoredCalls CallStore::Restore(const DeletedCalls& deleted) {
    if (!ops_.restoreCalls) {
        return {};
    }
    RestoredCalls restored = ops_.restoreCalls(deleted);
    if (!restored.ok || restored.calls.empty() || WithSlash(deleted.folder) != WithSlash(folder_)) {
        return restored;
    }
    TakeStamp();
    // The calls back are those deleted, in the same order, less the lost
    // ones: each finds its record by its file's name.
    std::vector<std::pair<qint32, const CallRecord*>> back;
    size_t from = 0;
    for (const CallRef& call : restored.calls) {
        while (from < deleted.calls.size() && deleted.calls[from].fileName != call.fileName) {
            ++from;
        }
        if (from == deleted.calls.size() || call.number < 1 ||
            call.number > Count() + static_cast<qint32>(back.size()) + 1) {
            // Not what was deleted: the file says what is there.
            Read(folder_);
            Q_EMIT callsReset();
            return restored;
        }
        back.emplace_back(call.number, &deleted.calls[from++].record);
    }
    for (const auto& [number, record] : back) {
        records_.insert(records_.begin() + (number - 1), *record);
        Q_EMIT callAdded(number);
    }
    return restored;
}

}  // namespace orvane
