// The journal viewer opening a 50 MB day file: the time until the first
// lines are shown, the longest single loading step (how long the window is
// unresponsive at most) and the time until the whole file is shown.
//   xvfb-run -a journal_viewer_bench   (or QT_QPA_PLATFORM=offscreen)
#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "core/clock.h"
#include "journal/journal_writer.h"
#include "settings/pages/log_settings.h"
#include "windows/journal_viewer/journal_viewer.h"

namespace {

constexpr qint64 kFileBytes = qint64{50} << 20;

using Stopwatch = std::chrono::steady_clock;

double Milliseconds(Stopwatch::time_point from, Stopwatch::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    // A private settings store: the viewer reads its journal settings.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QApplication app(argc, argv);
    using namespace orvane;

    QTemporaryDir dir;
    {
        QFile day(dir.filePath(QStringLiteral("12-7-26_Sys.txt")));
        if (!day.open(QIODevice::WriteOnly)) {
            return 1;
        }
        QByteArray block;
        for (int i = 0; block.size() < (1 << 20); ++i) {
            block += "4:34:54 PM : Tapi1_Ring->Ring " + QByteArray::number(i % 9) + "(0)\r\n";
        }
        for (qint64 written = 0; written < kFileBytes; written += block.size()) {
            day.write(block);
        }
    }
    FixedClock clock(QDateTime(QDate(2026, 12, 7), QTime(17, 0)));
    const JournalWriter journal(dir.path(), clock, QLocale(QStringLiteral("en_US")));
    const LogSettings log;
    JournalViewer viewer(journal, log);

    const auto start = Stopwatch::now();
    viewer.Open();
    viewer.LinesView()->viewport()->repaint();
    const auto firstShown = Stopwatch::now();
    const qsizetype firstLines = viewer.Lines().size();
    double longestStep = 0;
    int steps = 0;
    for (bool more = viewer.IsLoading(); more; ++steps) {
        const auto before = Stopwatch::now();
        more = viewer.LoadStep();
        viewer.LinesView()->viewport()->repaint();
        longestStep = std::max(longestStep, Milliseconds(before, Stopwatch::now()));
    }
    const auto done = Stopwatch::now();

    std::printf("journal viewer, %lld MB day file, %lld lines\n",
                static_cast<long long>(kFileBytes >> 20),
                static_cast<long long>(viewer.Lines().size()));
    std::printf("  first %lld lines shown: %8.1f ms\n", static_cast<long long>(firstLines),
                Milliseconds(start, firstShown));
    std::printf("  longest loading step:   %8.1f ms (%d steps)\n", longestStep, steps);
    std::printf("  whole file shown:       %8.1f ms\n", Milliseconds(start, done));
    return 0;
}
