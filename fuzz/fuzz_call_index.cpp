// The call index file is read whatever its length or content (a torn write,
// a copy from elsewhere, a damaged disk): reading must not crash, every
// field must come out, the rebuilt file name must stay in the folder, and
// an append and a delete must keep exactly the whole records around them.
#include <stdlib.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "calls/store/call_store.h"

namespace {

// One folder for the whole run, in memory where there is a tmpfs. Plain
// bytes, so it outlives the statics the exit handler would otherwise use.
char folderPath[64];

void RemoveFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folderPath, ignored);
}

const QString& Folder() {
    static const QString folder = [] {
        std::strcpy(folderPath, ::access("/dev/shm", W_OK) == 0
                                    ? "/dev/shm/orvane-fuzz-call-index-XXXXXX"
                                    : "/tmp/orvane-fuzz-call-index-XXXXXX");
        if (::mkdtemp(folderPath) == nullptr) {
            std::abort();
        }
        std::atexit(RemoveFolder);
        return QFile::decodeName(folderPath) + QLatin1Char('/');
    }();
    return folder;
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

QByteArray ReadIndex() {
    QFile file(orvane::CallIndexFile(Folder()));
    Check(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvane;
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    {
        QFile file(CallIndexFile(Folder()));
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(file.write(content) == content.size());
    }
    const qint32 count = static_cast<qint32>(size / kCallRecordSize);
    const qsizetype whole = static_cast<qsizetype>(count) * kCallRecordSize;

    const std::vector<CallRecord> records = ReadAllCallRecords(Folder());
    Check(static_cast<qint32>(records.size()) == count && CallRecordCount(Folder()) == count);
    for (qint32 i = 0; i < count; ++i) {
        const CallRecord& record = records[static_cast<size_t>(i)];
        Check(std::memcmp(record.Bytes().data(), data + i * kCallRecordSize, kCallRecordSize) == 0);
        for (int field = 0; field <= static_cast<int>(CallField::Notes); ++field) {
            const QString value = record.Get(static_cast<CallField>(field));
            Check(value.size() <= LayoutOf(static_cast<CallField>(field)).width);
        }
        const QString fileName = CallFileName(record);
        Check(!fileName.contains(QLatin1Char('/')) && !fileName.contains(QChar(0)));
    }

    // Stored values are cut on character boundaries: what was valid UTF-8
    // stays valid.
    CallRecord stored;
    stored.Set(CallField::CallerName, QString::fromUtf8(content));
    const CallFieldLayout name = LayoutOf(CallField::CallerName);
    const QByteArray nameBytes(stored.Bytes().data() + name.offset, name.width);
    Check(QString::fromUtf8(nameBytes).toUtf8() == nameBytes);

    // An append lands on the record boundary and keeps every whole record.
    Check(AppendCallRecord(stored, Folder()));
    const QByteArray appended = ReadIndex();
    Check(appended.size() == whole + kCallRecordSize);
    Check(appended.first(whole) == content.first(whole));

    // A delete removes exactly its record.
    const qint32 number = size > 0 ? static_cast<qint32>(data[0] % (count + 1)) + 1 : 1;
    Check(DeleteCallRecord(number, Folder()));
    QByteArray expected = appended;
    expected.remove(static_cast<qsizetype>(number - 1) * kCallRecordSize, kCallRecordSize);
    Check(ReadIndex() == expected);
    Check(!DeleteCallRecord(count + 1, Folder()));
    return 0;
}
