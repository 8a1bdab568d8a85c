// The retention rules over 100,000 calls: reading the calls as the rules
// see them (a file size each), choosing by age, length and folder size,
// and the one rewrite of the index that removes the chosen records. The
// files' moves to the trash are left out: they cost what the disk costs.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "calls/retention/retention_rules.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "calls/store/stored_calls.h"
#include "core/stored_moment.h"

namespace {

constexpr int kCalls = 100000;

// The processor time the work took, in ms: on a shared machine the wall
// clock also counts the other programs' turns.
double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

struct Took {
    double wall = 0;
    double cpu = 0;
};

Took MillisecondsOf(auto&& work) {
    const double cpu = CpuMs();
    const auto start = std::chrono::steady_clock::now();
    work();
    return {
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
        CpuMs() - cpu};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace orvane;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> day(0, 3 * 365);
    std::uniform_int_distribution<int> second(0, 86399);
    std::uniform_int_distribution<int> length(1, 600);
    const QDateTime now(QDate(2026, 12, 10), QTime(12, 0));
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        QFile index(CallIndexFile(folder));
        if (!index.open(QIODevice::WriteOnly)) {
            return 1;
        }
        for (int i = 0; i < kCalls; ++i) {
            CallRecord record;
            record.Set(CallField::CallKind, QStringLiteral("3"));
            record.Set(CallField::CallerName, QStringLiteral("Caller %1").arg(i % 997));
            record.Set(CallField::CallerNumber,
                       QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0')));
            const QDateTime moment = now.addDays(-day(random)).addSecs(-second(random));
            record.Set(CallField::CallDate, IsoMomentText(moment).left(10));
            record.Set(CallField::CallTime, moment.time().toString(QStringLiteral("HH:mm:ss")));
            record.Set(CallField::ExtraText, IsoMomentText(moment));
            const int seconds = length(random);
            record.Set(CallField::Duration, QStringLiteral("0:%1:%2")
                                                .arg(seconds / 60, 2, 10, QLatin1Char('0'))
                                                .arg(seconds % 60, 2, 10, QLatin1Char('0')));
            record.Set(CallField::UserMark, QString::number(i % 50 == 0 ? 1 : 0));
            index.write(record.Bytes().data(), kCallRecordSize);
            // Sparse files: the sizes are real, the disk is not filled.
            const QByteArray path = QFile::encodeName(folder + CallFileName(record));
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || ::ftruncate(fd, qint64{seconds} * 16000) != 0) {
                return 1;
            }
            ::close(fd);
        }
    }
    CallStore store;
    store.Open(folder);
    RetentionRules rules;
    rules.maxAgeDays = 2 * 365;
    rules.minSeconds = 10;
    rules.maxFolderMB = 200000;  // about a third of the calls' 480 GB
    std::vector<RetentionCall> calls;
    const Took read = MillisecondsOf([&] { calls = RetentionCallsOf(store); });
    RetentionChoice choice;
    const Took chosen =
        MillisecondsOf([&] { choice = ChooseForRetention(calls, rules, RetentionMoment(now)); });
    std::vector<qint32> numbers;
    for (const CallRef& call : choice.calls) {
        numbers.push_back(call.number);
    }
    bool rewritten = false;
    const Took rewrite = MillisecondsOf([&] { rewritten = DeleteCallRecords(numbers, folder); });
    std::printf(
        "retention over %d calls: %zu chosen (%d by age, %d by length, %d by size), %.1f GB\n",
        kCalls, choice.calls.size(), choice.byAge, choice.byLength, choice.bySize,
        static_cast<double>(choice.bytes) / 1e9);
    std::printf("                                          wall ms   processor ms\n");
    std::printf("  reading the calls and their file sizes: %8.1f %8.1f\n", read.wall, read.cpu);
    std::printf("  choosing:                               %8.1f %8.1f\n", chosen.wall, chosen.cpu);
    std::printf("  rewriting the index without them:       %8.1f %8.1f%s\n", rewrite.wall,
                rewrite.cpu, rewritten ? "" : " (failed)");
    std::printf("  together:                               %8.1f %8.1f\n",
                read.wall + chosen.wall + rewrite.wall, read.cpu + chosen.cpu + rewrite.cpu);
    return rewritten && CallRecordCount(folder) == kCalls - static_cast<qint32>(numbers.size()) ? 0
                                                                                                : 1;
}
