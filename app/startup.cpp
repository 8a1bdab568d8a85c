#include "app/startup.h"

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QTextStream>
#include <cstdio>

#include "app/live_update_form.h"
#include "app/main_window.h"
#include "app/program.h"
#include "core/command_line.h"
#include "core/instance_lock.h"
#include "core/product.h"
#include "journal/journal_writer.h"
#include "settings/global_options.h"
#include "settings/pages/language_settings.h"
#include "settings/setup/setup_command.h"
#include "translation/language_file.h"
#include "translation/qt_translations.h"
#include "translation/selected_language.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

// The command line is read before any language is loaded, so its texts are
// English, as command-line tools' are.
constexpr char kUsageText[] =
    "Usage: orvane [-st | -uia | --help | --version]\n"
    "Orvane records telephone calls taken on a voice modem.\n"
    "\n"
    "  -st        start with only the tray icon (as at log-on)\n"
    "  -uia       ask the running copy to quit, then end\n"
    "  --help     print this text, then end\n"
    "  --version  print the version, then end\n"
    "\n"
    "Started while a copy runs, orvane brings that copy's window up.\n";

int PrintAndEnd(const QByteArray& text) {
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

// Speaks to the running copies over the instance channel; needs no window
// and no display.
int ForwardToRunningCopies(int argc, char** argv, int (LiveUpdateForm::*send)()) {
    QCoreApplication app(argc, argv);
    LiveUpdateForm form;
    form.Load();
    (form.*send)();
    form.Unload();
    return 0;
}

}  // namespace

QString RunUserSetupQuietly() {
    QString problems;
    QTextStream err(&problems);
    setup::RunUserSetup(err, QLocale::system().language());
    if (!problems.isEmpty()) {
        std::fputs(problems.toLocal8Bit().constData(), stderr);
    }
    return problems;
}

QString LoadSelectedLanguage() {
    // A missing name, or one that would lead out of the translations
    // folder, names the folder itself, which is not a language file: the
    // built-in English texts stay, as with a missing file.
    const QString name = LanguageSettings().Selected();
    // Qt's own buttons and dialogs speak the same language.
    UseQtTranslationsFor(name);
    return LoadLanguageOverBuiltIn(LanguageFilePath(name));
}

void ReportLanguageProblem(MainWindow& window, const QString& problem) {
    if (problem.isEmpty()) {
        return;
    }
    WriteSysLog(QStringLiteral("The language file could not be read; the built-in English texts "
                               "are shown: ") +
                    problem,
                0, QStringLiteral("LoadLanguage"));
    window.ShowStartProblem(ReplaceMarker(Text(ids::kMsgLanguageFileUnreadable), problem));
}

void SetApplicationIdentity() {
    QApplication::setApplicationName(QStringLiteral("orvane"));
    QApplication::setApplicationVersion(product::kVersionText);
    // Wayland compositors and notification servers match the window and
    // its notices to the menu entry of this name.
    QApplication::setDesktopFileName(product::kDesktopId);
}

int RunStartup(int argc, char** argv) {
    const StartupMode mode = ParseCommandLine(CommandLineText(argc, argv));
    switch (mode) {
        case StartupMode::PrintHelp:
            return PrintAndEnd(kUsageText);
        case StartupMode::PrintVersion:
            return PrintAndEnd("orvane " + product::kVersionText.toUtf8() + '\n');
        case StartupMode::QuitRunning:
            return ForwardToRunningCopies(argc, argv, &LiveUpdateForm::SendQuitMessage);
        case StartupMode::Normal:
        case StartupMode::Hidden:
            break;
    }

    InstanceLock instance(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    if (!instance.TryAcquire()) {
        // A start at log-on (-st) leaves the running copy as it is.
        return mode == StartupMode::Hidden
                   ? 0
                   : ForwardToRunningCopies(argc, argv, &LiveUpdateForm::SendShowWindowMessage);
    }

    QApplication app(argc, argv);
    SetApplicationIdentity();
    // The program lives on in the tray when its window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    // The user's keys, folders and language choice, before anything reads
    // them: a package install runs no set-up for each user.
    const QString setupProblem = RunUserSetupQuietly();
    const QString languageProblem = LoadSelectedLanguage();

    Program program;
    program.Load(mode == StartupMode::Hidden);
    if (!setupProblem.isEmpty()) {
        WriteSysLogLines(setupProblem.trimmed().split(QLatin1Char('\n')), 0,
                         QStringLiteral("UserSetup"));
    }
    // After the load: the journal is switched on or off by then.
    ReportLanguageProblem(program.Window(), languageProblem);
    return QApplication::exec();
}

}  // namespace orvane
