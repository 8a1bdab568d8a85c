// The call index of a busy line: 100,000 calls (46.7 MB). Reading every
// record should cost about what reading the file costs; deleting one call
// from the middle, crash-safe, well under a tenth of a second. Fresh memory
// is dear on some machines: a whole file read into new pages can cost more
// than visiting its records through one reused buffer.
//   ORVANE_BENCH_FOLDER=<a folder on the disk to measure> call_store_bench
// (default: the system's temporary folder).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "calls/store/call_store.h"

namespace {

constexpr int kCalls = 100'000;

orvane::CallRecord Call(int id) {
    using orvane::CallField;
    orvane::CallRecord record;
    record.Set(CallField::CallDate, QStringLiteral("12/7/2026"));
    record.Set(CallField::CallerName, QStringLiteral("Caller %1").arg(id));
    record.Set(CallField::CallerNumber,
               QStringLiteral("+1 555 %1").arg(id, 7, 10, QLatin1Char('0')));
    record.Set(CallField::CallTime, QStringLiteral("10:15:30 AM"));
    record.Set(CallField::Duration, QStringLiteral("0:01:23"));
    record.Set(CallField::CallLine, QStringLiteral("0"));
    record.Set(CallField::ReadFlag, QStringLiteral("0"));
    record.Set(CallField::ExtraText, QString());
    record.Set(CallField::CallKind, QStringLiteral("3"));
    return record;
}

// A folder holding an index of kCalls records, made once per run.
class Index {
  public:
    Index()
        : dir_(qEnvironmentVariable("ORVANE_BENCH_FOLDER", QDir::tempPath()) +
               QStringLiteral("/call-store-bench-XXXXXX")) {
        Refill();
    }
    QString folder() const { return dir_.path() + QLatin1Char('/'); }

    // Back to kCalls records, written in one piece.
    void Refill() const {
        QByteArray bytes;
        bytes.reserve(qsizetype(kCalls) * orvane::kCallRecordSize);
        for (int id = 1; id <= kCalls; ++id) {
            bytes.append(Call(id).Bytes().data(), orvane::kCallRecordSize);
        }
        QFile file(orvane::CallIndexFile(folder()));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size() || !file.flush()) {
            std::abort();
        }
        // An index at rest is on the disk: the delete should not pay for
        // writing back the refill.
        ::fsync(file.handle());
    }

  private:
    QTemporaryDir dir_;
};

const Index& TheIndex() {
    static const Index index;
    return index;
}

constexpr qint64 kIndexBytes = qint64(kCalls) * orvane::kCallRecordSize;

// The floor: the file's bytes into memory, nothing else.
void ReadTheFile(benchmark::State& state) {
    const QString path = orvane::CallIndexFile(TheIndex().folder());
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(file.readAll());
    }
    state.SetBytesProcessed(state.iterations() * kIndexBytes);
}

void ReadAllRecords(benchmark::State& state) {
    const QString folder = TheIndex().folder();
    for (auto _ : state) {
        const std::vector<orvane::CallRecord> records = orvane::ReadAllCallRecords(folder);
        if (records.size() != kCalls) {
            state.SkipWithError("the index lost records");
        }
        benchmark::DoNotOptimize(records.data());
    }
    state.SetBytesProcessed(state.iterations() * kIndexBytes);
}

// What the calls list reads: every record, through one small buffer.
void VisitAllRecords(benchmark::State& state) {
    const QString folder = TheIndex().folder();
    for (auto _ : state) {
        int seen = 0;
        orvane::ForEachCallRecord(folder, [&seen](const orvane::CallRecord&) { ++seen; });
        if (seen != kCalls) {
            state.SkipWithError("the index lost records");
        }
    }
    state.SetBytesProcessed(state.iterations() * kIndexBytes);
}

// Each pass deletes the middle call; the index is refilled between passes,
// outside the timing, so every delete moves half of 100,000 records.
void DeleteTheMiddleCall(benchmark::State& state) {
    const Index& index = TheIndex();
    for (auto _ : state) {
        if (!orvane::DeleteCallRecord(kCalls / 2, index.folder())) {
            state.SkipWithError("the delete failed");
        }
        state.PauseTiming();
        index.Refill();
        state.ResumeTiming();
    }
}

BENCHMARK(ReadTheFile)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadAllRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(VisitAllRecords)->Unit(benchmark::kMillisecond);
BENCHMARK(DeleteTheMiddleCall)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
