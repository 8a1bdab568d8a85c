// Start to a mapped main window, and start to the line's settled state,
// through the program's real start (RunStartup) and its real voice-modem
// backend. Each run is a fresh process: the figure includes exec, loading
// the libraries and Qt's own start.
//
//   startup_bench [--runs N] [--modemsim PATH]
//
// Run it under a display (xvfb-run -a bench/startup_bench) so "mapped" is a
// real X11 map; with QT_QPA_PLATFORM=offscreen it is Qt's own exposure.
//
// Scenarios (a "dead" port is a pseudo-terminal nobody answers on):
//   dead-ttyS0          a built-in port with nothing on it, no modem chosen
//   dead-ttyS0-chosen   the same port is the user's choice, so it is asked
//   dead-usb-chosen     a USB adapter with nothing on it, asked when listed
//                       and chosen
//   modem               modemsim on a link named in the settings, chosen
//   calls-10000         no modem, and 10,000 calls in the recordings folder
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/program.h"
#include "app/startup.h"
#include "calls/store/call_record.h"
#include "core/product.h"
#include "settings/names/devices.h"
#include "settings/names/general.h"
#include "settings/names/language.h"
#include "settings/store/registry_routines.h"
#include "telephony/modem_probe.h"
#include "telephony/tapi.h"
#include "telephony/voice_modem_backend.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace {

using namespace orvane;

qint64 Now() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// ---------------------------------------------------------------- child

QString g_deadPort;      // the pseudo-terminal that plays a dead port
QString g_deadPortName;  // ttyS0 or ttyUSB0
qint64 g_mappedAt = 0;

class MapWatcher : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (g_mappedAt == 0 && event->type() == QEvent::Expose && watched->isWindowType()) {
            auto* window = static_cast<QWindow*>(watched);
            if (window->isExposed() && window->title() == product::kMainWindowCaption) {
                g_mappedAt = Now();
            }
        }
        return false;
    }
};

void WatchStart() {
    qApp->installEventFilter(new MapWatcher);
    // Once the window is up, wait for the line to settle, then report.
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll] {
        if (g_mappedAt == 0) {
            return;
        }
        // Settled: the line is open, or why it is not is shown.
        QString settled;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            const auto* status = top->findChild<QLabel*>(QStringLiteral("statusPanel3"));
            const auto* problem = top->findChild<QLabel*>(QStringLiteral("lineProblem"));
            if (problem != nullptr && !problem->text().isEmpty()) {
                settled = problem->text();
            } else if (status != nullptr && !status->text().isEmpty() &&
                       status->text() != Text(ids::kStatusLineOpening)) {
                settled = status->text();
            }
        }
        if (settled.isEmpty()) {
            return;
        }
        poll->stop();
        std::printf("%lld %lld %s\n", static_cast<long long>(g_mappedAt),
                    static_cast<long long>(Now()), qPrintable(settled));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    poll->start(5);
}
Q_COREAPP_STARTUP_FUNCTION(WatchStart)

void Store(const QString& subkey, const QString& name, const QString& value) {
    RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
    RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey)
        .SetRegistryValue(name, value, kRegSz);
}

int Child(int argc, char** argv, const QString& scenario, const QString& link) {
    int controller = -1;
    int terminal = -1;
    if (::openpty(&controller, &terminal, nullptr, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    g_deadPort = QString::fromLocal8Bit(::ttyname(terminal));
    g_deadPortName = scenario == QStringLiteral("dead-usb-chosen") ? QStringLiteral("ttyUSB0")
                                                                   : QStringLiteral("ttyS0");
    Store(kLanguageKey, setting::kSelect, QStringLiteral("English"));
    Store(kTabDevices, setting::kCmbModemDev, QString());
    if (scenario == QStringLiteral("dead-ttyS0-chosen")) {
        Store(kTabDevices, setting::kCmbModemDev, QStringLiteral("Serial port (ttyS0)"));
    } else if (scenario == QStringLiteral("dead-usb-chosen")) {
        Store(kTabDevices, setting::kCmbModemDev, QStringLiteral("Serial port (ttyUSB0)"));
    } else if (scenario == QStringLiteral("calls-10000")) {
        // Ten thousand stored calls, a few with notes, half of them read.
        const QString folder = QFileInfo(link).absolutePath() + QStringLiteral("/Recordings/");
        QDir().mkpath(folder);
        QFile index(folder + QStringLiteral("Data"));
        if (index.open(QIODevice::WriteOnly)) {
            for (int i = 0; i < 10000; ++i) {
                CallRecord record;
                record.Set(CallField::CallDate, QStringLiteral("12/%1/26").arg(1 + i % 28));
                record.Set(CallField::CallerName, QStringLiteral("Caller %1").arg(i));
                record.Set(CallField::CallerNumber,
                           QStringLiteral("555%1").arg(i, 4, 10, QLatin1Char('0')));
                record.Set(CallField::CallTime, QStringLiteral("%1:%2:07 AM")
                                                    .arg(1 + i % 12)
                                                    .arg(i % 60, 2, 10, QLatin1Char('0')));
                record.Set(CallField::CallLine, QStringLiteral("0"));
                record.Set(CallField::ReadFlag, QString::number(i % 2));
                record.Set(CallField::ExtraText, QString());
                record.Set(CallField::CallKind, QStringLiteral("3"));
                record.Set(CallField::Duration, QStringLiteral("0:01:23"));
                if (i % 10 == 0) {
                    record.Set(CallField::Notes, QStringLiteral("Call back\r\nabout the order"));
                }
                index.write(record.Bytes().data(), kCallRecordSize);
            }
        }
        Store(kTabGeneral, setting::kTxtPath, folder);
    } else if (scenario == QStringLiteral("modem")) {
        Store(kTabDevices, setting::kTxtLinePorts, link);
        Store(kTabDevices, setting::kCmbModemDev,
              QStringLiteral("Orvane modemsim V.253 voice modem (") + QFileInfo(link).fileName() +
                  QLatin1Char(')'));
    }
    // The machine's own serial ports are left out: the dead port stands in.
    Program::SetTapiFactory([](QObject* parent) {
        auto backend = std::make_unique<VoiceModemBackend>(&ReadVoiceModemSettings);
        backend->SetSystemPortLister([] {
            SerialPortCandidate port;
            port.path = g_deadPort;
            port.portName = g_deadPortName;
            port.canonical = QFileInfo(g_deadPort).canonicalFilePath();
            port.probeWhenListed = g_deadPortName.startsWith(QStringLiteral("ttyUSB"));
            return std::vector<SerialPortCandidate>{port};
        });
        return std::make_unique<Tapi>(std::move(backend), parent);
    });
    const int result = RunStartup(argc, argv);
    ::close(terminal);
    ::close(controller);
    return result;
}

// ---------------------------------------------------------------- driver

struct Run {
    double mappedMs = 0;
    double lineMs = 0;
    QString status;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int Driver(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int runs = 5;
    QString modemsim;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QStringLiteral("--runs")) {
            runs = std::max(1, args[i + 1].toInt());
        } else if (args[i] == QStringLiteral("--modemsim")) {
            modemsim = args[i + 1];
        }
    }
    if (modemsim.isEmpty()) {
        const QString beside =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../Orvane/modemsim");
        if (QFileInfo(beside).isExecutable()) {
            modemsim = QFileInfo(beside).canonicalFilePath();
        }
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("%-20s %6s %14s %14s %14s  %s\n", "scenario", "runs", "mapped med ms",
                "mapped max ms", "line med ms", "line status");
    for (const QString& scenario :
         {QStringLiteral("dead-ttyS0"), QStringLiteral("dead-ttyS0-chosen"),
          QStringLiteral("dead-usb-chosen"), QStringLiteral("modem"),
          QStringLiteral("calls-10000")}) {
        if (scenario == QStringLiteral("modem") && modemsim.isEmpty()) {
            std::printf("%-20s (modemsim not found; --modemsim PATH)\n", qPrintable(scenario));
            continue;
        }
        std::vector<Run> results;
        for (int i = 0; i < runs; ++i) {
            QTemporaryDir home;
            const QString root = home.path();
            for (const char* sub : {"program/Trans", "program/Sound", "program/Journal", "config",
                                    "data", "runtime"}) {
                QDir().mkpath(root + QLatin1Char('/') + QLatin1String(sub));
            }
            QFile::setPermissions(root + QStringLiteral("/runtime"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFile::copy(QStringLiteral(ORVANE_SOURCE_DIR "/Trans/English"),
                        root + QStringLiteral("/program/Trans/English"));
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("ORVANE_PROGRAM_DIR"), root + QStringLiteral("/program"));
            env.remove(QStringLiteral("ORVANE_CONFIG_DIR"));
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
            env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/runtime"));
            env.insert(QStringLiteral("SONVEL_NO_ALSA"), QStringLiteral("1"));

            QProcess sim;
            const QString link = root + QStringLiteral("/modem");
            if (scenario == QStringLiteral("modem")) {
                sim.start(modemsim, {QStringLiteral("--link"), link, QStringLiteral("--stay"),
                                     QStringLiteral("-e"), QStringLiteral("sleep 60000")});
                for (int wait = 0; wait < 500 && !QFileInfo::exists(link); ++wait) {
                    QThread::msleep(10);
                }
            }
            QProcess child;
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            const qint64 start = Now();
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--child"), scenario, link});
            if (!child.waitForFinished(60000)) {
                child.kill();
                child.waitForFinished();
            }
            sim.kill();
            sim.waitForFinished();
            const QString out = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
            const QStringList parts = out.split(QLatin1Char(' '));
            if (parts.size() < 3) {
                std::fprintf(stderr, "%s: no figure (%s)\n", qPrintable(scenario), qPrintable(out));
                continue;
            }
            results.push_back({(parts[0].toLongLong() - start) / 1000.0,
                               (parts[1].toLongLong() - start) / 1000.0,
                               parts.mid(2).join(QLatin1Char(' '))});
        }
        std::vector<double> mapped;
        std::vector<double> line;
        for (const Run& run : results) {
            mapped.push_back(run.mappedMs);
            line.push_back(run.lineMs);
        }
        std::printf("%-20s %6zu %14.0f %14.0f %14.0f  %s\n", qPrintable(scenario), results.size(),
                    Median(mapped),
                    mapped.empty() ? 0 : *std::max_element(mapped.begin(), mapped.end()),
                    Median(line), results.empty() ? "" : qPrintable(results.back().status));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--child") {
        const QString scenario = QString::fromLocal8Bit(argv[2]);
        const QString link = QString::fromLocal8Bit(argv[3]);
        // The program sees no arguments of the benchmark's own.
        int programArgc = 1;
        return Child(programArgc, argv, scenario, link);
    }
    return Driver(argc, argv);
}
