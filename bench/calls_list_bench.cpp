// The calls list over 100,000 calls: building the rows from the index file
// (what a rebuild costs), the same from records already in memory, the
// sorts a header click runs (date, then caller), and one call stored into
// the sorted list (one row inserted at its place).
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"
#include "core/clock.h"
#include "core/stored_moment.h"

namespace {

constexpr int kCalls = 100000;

double MillisecondsOf(auto&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace orvane;
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> day(0, 3 * 365);
    std::uniform_int_distribution<int> second(0, 86399);
    std::uniform_int_distribution<int> kind(2, 4);
    const QDate first(2024, 1, 1);
    std::vector<CallRecord> records;
    records.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        CallRecord record;
        record.Set(CallField::CallKind, QString::number(kind(random)));
        record.Set(CallField::CallerName, QStringLiteral("Caller %1").arg(i % 997));
        record.Set(CallField::CallerNumber,
                   QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0')));
        const QDateTime moment(first.addDays(day(random)), QTime(0, 0).addSecs(second(random)));
        record.Set(CallField::CallDate, ShortDateText(moment.date(), locale));
        record.Set(CallField::CallTime, LongTimeText(moment.time(), locale));
        if (i % 2 == 0) {  // half of them new records, with the ISO moment
            record.Set(CallField::ExtraText, IsoMomentText(moment));
        }
        record.Set(CallField::Duration, QStringLiteral("0:01:23"));
        record.Set(CallField::ReadFlag, QString::number(i % 2));
        if (i % 10 == 0) {
            record.Set(CallField::Notes, QStringLiteral("call back\r\nabout the offer"));
        }
        records.push_back(record);
    }
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        QFile index(CallIndexFile(folder));
        if (!index.open(QIODevice::WriteOnly)) {
            return 1;
        }
        for (const CallRecord& record : records) {
            index.write(record.Bytes().data(), kCallRecordSize);
        }
    }
    CallsListModel model(FileCallStore());
    model.SetLocale(locale);
    double fromFile = 0;
    for (int pass = 0; pass < 3; ++pass) {  // the best of three: the file is cached after one
        const double took = MillisecondsOf([&] { model.CreateCallsList(folder); });
        fromFile = pass == 0 ? took : std::min(fromFile, took);
    }
    const double readOnly = MillisecondsOf([&] {
        std::size_t seen = 0;
        ForEachCallRecord(folder, [&seen](const CallRecord&) { ++seen; });
    });
    const double build =
        MillisecondsOf([&] { model.SetRecords(records, QStringLiteral("/calls/")); });
    const double byDate = MillisecondsOf([&] { model.HeaderClicked(calls_column::kDateTime); });
    const double byDateAgain =
        MillisecondsOf([&] { model.HeaderClicked(calls_column::kDateTime); });
    const double byCaller = MillisecondsOf([&] { model.HeaderClicked(calls_column::kCaller); });
    const double rebuildSorted = MillisecondsOf([&] { model.CreateCallsList(folder); });
    QTemporaryDir other;
    const double appendOnly = MillisecondsOf(
        [&] { AppendCallRecord(records[kCalls / 2], other.path() + QLatin1Char('/')); });
    // The best of three: the first also flushes the index this bench wrote.
    double stored = 0;
    for (int pass = 0; pass < 3; ++pass) {
        const double took =
            MillisecondsOf([&] { model.Store().Append(records[kCalls / 2], folder); });
        stored = pass == 0 ? took : std::min(stored, took);
    }
    std::printf("calls_list_bench: %d calls\n", kCalls);
    std::printf("  list from the index %8.1f ms (reading the file alone %.1f ms)\n", fromFile,
                readOnly);
    std::printf("  rows from memory    %8.1f ms\n", build);
    std::printf("  sort by date        %8.1f ms\n", byDate);
    std::printf("  sort by date again  %8.1f ms\n", byDateAgain);
    std::printf("  sort by caller      %8.1f ms\n", byCaller);
    std::printf("  rebuild, sorted     %8.1f ms\n", rebuildSorted);
    std::printf("  one call stored     %8.1f ms (the append alone %.1f ms)\n", stored, appendOnly);
    return model.rowCount() == kCalls + 3 ? 0 : 1;
}
