#pragma once
// modemsim as a child process for the tests: started with a scenario, its
// pseudo-terminal reachable through a link in a private folder.

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace orvane::testing {

class ModemSimProcess {
  public:
    ~ModemSimProcess() { Stop(); }

    // Starts `modemsim --link link --speed 4 -e scenario [extra...]` and
    // waits until the link exists. False when it does not start.
    bool Start(const QString& link, const QString& scenario, const QStringList& extra = {}) {
        QStringList arguments{QStringLiteral("--link"), link, QStringLiteral("-e"), scenario};
        if (qEnvironmentVariableIsSet("MODEMSIM_LOG"))
            arguments << QStringLiteral("--log") << qEnvironmentVariable("MODEMSIM_LOG");
        arguments += extra;
        process_.setProgram(QStringLiteral(MODEMSIM_PATH));
        process_.setArguments(arguments);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        if (!process_.waitForStarted(10000)) {
            return false;
        }
        const QDeadlineTimer deadline(10000);
        while (!QFileInfo::exists(link)) {
            if (deadline.hasExpired() || process_.state() != QProcess::Running) {
                return false;
            }
            process_.waitForReadyRead(50);
        }
        return true;
    }

    // Waits for the scenario to end; its exit code, or -1 when it did not.
    int WaitFinished(int limitMs = 30000) {
        if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(limitMs)) {
            return -1;
        }
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

    void Stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }

    QString ErrorOutput() { return QString::fromLocal8Bit(process_.readAllStandardError()); }

  private:
    QProcess process_;
};

}  // namespace orvane::testing
