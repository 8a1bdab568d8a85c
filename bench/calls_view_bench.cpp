// The calls list as the user meets it with 100,000 calls: the shown table
// rebuilt from the index file, a header click, and scrolling a page at a
// time and to the end, and keys typed into the search, each with the
// repaint it causes.
//   xvfb-run -a calls_view_bench   (or QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "app/calls_list/calls_list_view.h"
#include "calls/list/calls_list_model.h"
#include "calls/store/call_record.h"
#include "calls/store/call_store.h"

namespace {

constexpr int kCalls = 100000;

double MillisecondsOf(auto&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

orvane::CallRecord Call(int i) {
    using orvane::CallField;
    orvane::CallRecord record;
    record.Set(CallField::CallKind, QStringLiteral("3"));
    record.Set(CallField::CallerName, QStringLiteral("Caller %1").arg(i % 997));
    record.Set(CallField::CallerNumber, QStringLiteral("555%1").arg(i, 7, 10, QLatin1Char('0')));
    record.Set(CallField::CallDate, QStringLiteral("12/%1/2026").arg(1 + i % 28));
    record.Set(CallField::CallTime, QStringLiteral("%1:15:30 AM").arg(1 + i % 12));
    record.Set(CallField::Duration, QStringLiteral("0:01:23"));
    record.Set(CallField::ReadFlag, QString::number(i % 2));
    if (i % 10 == 0) {
        record.Set(CallField::Notes, QStringLiteral("call back\r\nabout the offer"));
    }
    return record;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    using namespace orvane;
    QTemporaryDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    {
        QFile index(CallIndexFile(folder));
        if (!index.open(QIODevice::WriteOnly)) {
            return 1;
        }
        for (int i = 0; i < kCalls; ++i) {
            index.write(Call(i).Bytes().data(), kCallRecordSize);
        }
    }
    CallsListModel model(FileCallStore());
    CallsListPanel panel(model);
    panel.resize(900, 600);
    panel.show();
    QApplication::processEvents();
    CallsListView* view = panel.View();
    const auto shown = [&] {
        QApplication::processEvents();
        view->viewport()->repaint();
    };
    const double rebuild = MillisecondsOf([&] {
        model.CreateCallsList(folder);
        shown();
    });
    const double sortClick = MillisecondsOf([&] {
        Q_EMIT view->horizontalHeader()->sectionClicked(calls_column::kCaller);
        shown();
    });
    const double sortAgain = MillisecondsOf([&] {
        Q_EMIT view->horizontalHeader()->sectionClicked(calls_column::kDateTime);
        shown();
    });
    QScrollBar* bar = view->verticalScrollBar();
    constexpr int kPages = 50;
    double worstPage = 0;
    for (int page = 0; page < kPages; ++page) {
        worstPage = std::max(worstPage, MillisecondsOf([&] {
                                 bar->setValue(bar->value() + bar->pageStep());
                                 shown();
                             }));
    }
    const double toEnd = MillisecondsOf([&] {
        bar->setValue(bar->maximum());
        shown();
    });
    // The search: each key typed, with the reset and the repaint it causes
    // (the view keeps the selected call where it stays).
    view->SetCurrentRow(model.rowCount() / 2);
    double worstKey = 0;
    for (const char* typed : {"c", "ca", "call", "caller", "caller 9", "caller 99", ""}) {
        CallsFilter filter;
        filter.words = QString::fromLatin1(typed);
        worstKey = std::max(worstKey, MillisecondsOf([&] {
                                model.SetFilter(filter);
                                shown();
                            }));
    }
    std::printf("calls_view_bench: %d calls in a shown list\n", model.rowCount());
    std::printf("  rebuild from the index, shown   %8.1f ms\n", rebuild);
    std::printf("  header click (caller), shown    %8.1f ms\n", sortClick);
    std::printf("  header click (date), shown      %8.1f ms\n", sortAgain);
    std::printf("  a page down, worst of %d        %8.1f ms\n", kPages, worstPage);
    std::printf("  to the end                      %8.1f ms\n", toEnd);
    std::printf("  a key in the search, worst      %8.1f ms\n", worstKey);
    return model.rowCount() == kCalls ? 0 : 1;
}
