// The calls list's search over 100,000 calls: what each keystroke costs the
// model (the filter applied to every row and the rows reset), for words
// typed one letter at a time, a number in two written forms, the unread
// toggle and clearing it all; and what the folded search texts add to
// building the rows.
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "calls/list/calls_filter.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
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
    const QStringList names = {QStringLiteral("Zoë Müller"), QStringLiteral("Ann Smith"),
                               QStringLiteral("שלום כהן"), QStringLiteral("UNKNOWN"),
                               QStringLiteral("Jürgen Groß")};
    const QDate first(2024, 1, 1);
    std::vector<CallRecord> records;
    records.reserve(kCalls);
    for (int i = 0; i < kCalls; ++i) {
        CallRecord record;
        record.Set(CallField::CallKind, QString::number(kind(random)));
        record.Set(CallField::CallerName,
                   names[i % names.size()] + QStringLiteral(" %1").arg(i % 997));
        record.Set(CallField::CallerNumber,
                   QStringLiteral("030 %1").arg(i, 7, 10, QLatin1Char('0')));
        const QDateTime moment(first.addDays(day(random)), QTime(0, 0).addSecs(second(random)));
        record.Set(CallField::CallDate, ShortDateText(moment.date(), locale));
        record.Set(CallField::CallTime, LongTimeText(moment.time(), locale));
        record.Set(CallField::ExtraText, IsoMomentText(moment));
        record.Set(CallField::Duration, QStringLiteral("0:01:23"));
        record.Set(CallField::ReadFlag, QString::number(i % 2));
        if (i % 10 == 0) {
            record.Set(CallField::Notes,
                       QStringLiteral("Rückruf wegen\r\nAngebot Nummer %1").arg(i));
        }
        records.push_back(record);
    }
    CallsListModel model;
    model.SetLocale(locale);
    model.SetNumberPlan(PlanFor(u"DE", u"30"));
    // A phone book that knows every seventh number.
    model.SetCallerNames([](const QString& number) {
        return number.endsWith(QLatin1Char('7')) ? QStringLiteral("Büro Nord") : QString();
    });
    const double build =
        MillisecondsOf([&] { model.SetRecords(records, QStringLiteral("/calls/")); });
    model.HeaderClicked(calls_column::kDateTime);

    std::printf("calls_filter_bench: %d calls\n", kCalls);
    std::printf("  rows with search texts %8.1f ms\n", build);
    double worst = 0;
    const auto keystroke = [&](const char* what, const CallsFilter& filter) {
        const double took = MillisecondsOf([&] { model.SetFilter(filter); });
        worst = std::max(worst, took);
        std::printf("  %-28s %6.1f ms  %6d of %d shown\n", what, took, model.ShownCount(),
                    model.TotalCount());
    };
    CallsFilter filter;
    QString typed;
    for (const char c : QByteArrayLiteral("muller")) {
        if (c == '\0') {
            break;
        }
        typed += QLatin1Char(c);
        filter.words = typed;
        keystroke(qPrintable(QStringLiteral("typed \"%1\"").arg(typed)), filter);
    }
    filter.words = QStringLiteral("muller angebot");
    keystroke("typed \"muller angebot\"", filter);
    filter.words = QStringLiteral("+49 30 0001");
    keystroke("typed \"+49 30 0001\"", filter);
    filter.words = QStringLiteral("030 0001234");
    keystroke("typed \"030 0001234\"", filter);
    filter.words = QStringLiteral("büro");
    keystroke("typed \"büro\" (phone book)", filter);
    filter.words.clear();
    filter.unreadOnly = true;
    keystroke("unread only", filter);
    filter.from = QDate(2025, 1, 1);
    filter.to = QDate(2025, 1, 31);
    keystroke("unread in January 2025", filter);
    keystroke("all again", CallsFilter{});
    std::printf("  slowest keystroke        %6.1f ms (target: under 50 ms)\n", worst);
    return worst < 50 ? 0 : 1;
}
