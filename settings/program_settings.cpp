#include "settings/program_settings.h"

#include "settings/options_watcher.h"
#include "settings/store/registry_store.h"

namespace orvane {

ProgramSettings::ProgramSettings() = default;

ProgramSettings::~ProgramSettings() = default;

void ProgramSettings::Reload() {
    for (SettingsPage* page : std::initializer_list<SettingsPage*>{
             &general_, &devices_, &incomingCall_, &log_, &language_, &mainWindow_, &phoneBook_,
             &retention_, &screening_}) {
        page->Reload();
    }
}

void ProgramSettings::Watch() {
    // The log-on entry is in the user's hive; the program acts on nothing
    // there, and the dialog reads it afresh each time it opens.
    watcher_ = std::make_unique<OptionsWatcher>(HivePath(kHkeyLocalMachine), [this] { Reload(); });
}

}  // namespace orvane
