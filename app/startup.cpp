#include "app/startup.h"

#include <QApplication>
#include <QFile>

#include "app/live_update_form.h"
#include "app/program.h"
#include "core/command_line.h"
#include "core/instance_lock.h"
#include "core/product.h"
#include "settings/global_options.h"
#include "settings/store/registry_routines.h"
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
    LoadTranslation(LanguageFilePath(settings.GetRegistryValue(setting::kSelect).toString()));
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

    Program program;
    program.Load(mode == StartupMode::Hidden);
    return QApplication::exec();
}

}  // namespace orvane
