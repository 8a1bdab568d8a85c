#include "tests/support/program_on_emulator.h"

#include <QDir>
#include <QFile>

#include "core/product.h"
#include "journal/journal_writer.h"
#include "settings/names/devices.h"
#include "settings/names/disconnect_call.h"
#include "settings/names/general.h"
#include "settings/names/incoming_call.h"
#include "settings/names/language.h"
#include "settings/names/log.h"
#include "settings/store/registry_routines.h"
#include "settings/store/registry_types.h"
#include "ui/tray_icon.h"

namespace orvane::testing {

const QString ProgramOnEmulator::kSimName =
    QStringLiteral("Orvane modemsim V.253 voice modem (modem)");

void ProgramOnEmulator::Store(const QString& subkey, const char* name, const QString& value) {
    ASSERT_TRUE(RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey)
                    .SetRegistryValue(QString::fromLatin1(name), value, kRegSz));
}

QString ProgramOnEmulator::Journal() {
    QFile file(ProgramJournal().folder() + ProgramJournal().systemFileName());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void ProgramOnEmulator::SetUpProgram() {
    env_.makeProgramFolders();
    // No sound devices: the tests run where there is no sound card.
    env_.setVariable("SONVEL_NO_ALSA", QStringLiteral("1"));
    for (const QString& subkey : {QString(), kLanguageKey, kTabDevices, kTabGeneral, kTabLog,
                                  kTabIncomingCall, kTabDisconnectCall}) {
        RegistryRoutines(kHkeyLocalMachine, product::kRootKey, subkey).CreateKey();
    }
    link_ = env_.root() + QStringLiteral("/modem");
    if (recordings_ == RecordingsFolder::kMade) {
        folder_ = env_.root() + QStringLiteral("/Recordings/");
        ASSERT_TRUE(QDir().mkpath(folder_));
    }
    Store(kTabLog, "chkLogSys", QStringLiteral("1"));
    Store(kTabDevices, "txtLinePorts", link_);
    Store(kTabDevices, "cmbModemDev", kSimName);
    if (recordings_ == RecordingsFolder::kMade) {
        Store(kTabGeneral, "txtPath", folder_);
    }
    TrayIcon::OverrideAvailability(true);
}

void ProgramOnEmulator::TearDownProgram() {
    TrayIcon::OverrideAvailability(std::nullopt);
    SetJournalSwitches(false, false);
}

}  // namespace orvane::testing
