#include "app/startup.h"

#include <QApplication>
#include <QFile>

#include "app/core/command_line.h"
#include "app/core/instance_lock.h"
#include "app/core/product.h"
#include "app/core/registry_routines.h"
#include "app/global_options.h"
#include "app/live_update_form.h"
#include "app/main_window.h"
#include "translation/language_file.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

int ForwardQuit(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LiveUpdateForm form;
    form.Load();
    form.SendQuitMessage();
    form.Unload();
    return 0;
}

}  // namespace

void LoadSelectedLanguage() {
    RegistryRoutines settings;
    settings.hkey = kHkeyLocalMachine;
    settings.KeyRoot = product::kRootKey;
    settings.Subkey = kLanguageKey;
    // A missing name, or one that would lead out of the translations
    // folder, names the folder itself: nothing loads and every translated
    // text stays empty, as with a missing file.
    LoadTranslation(
        LanguageFilePath(settings.GetRegistryValue(QStringLiteral("Select")).toString()));
}

int RunStartup(int argc, char** argv) {
    const StartupMode mode = ParseCommandLine(CommandLineText(argc, argv));
    if (mode == StartupMode::QuitRunning) {
        return ForwardQuit(argc, argv);
    }

    InstanceLock instance(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    if (!instance.TryAcquire()) {
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvane"));
    QApplication::setApplicationVersion(product::kVersionText);
    QApplication::setDesktopFileName(QStringLiteral("orvane"));
    // The program lives on in the tray when its window closes.
    QApplication::setQuitOnLastWindowClosed(false);

    LoadSelectedLanguage();

    MainWindow window;
    window.Load(mode == StartupMode::Hidden);
    return QApplication::exec();
}

}  // namespace orvane
