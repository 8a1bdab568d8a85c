#pragma once
// Every settings page the running program and its windows use, one object
// of each, so a value stored through one page is told to all who follow
// that page. Once Watch() is called, a change of the settings file by
// another process (orvane-reg, another copy) reloads the pages.

#include <memory>
#include <vector>

#include "settings/pages/devices_settings.h"
#include "settings/pages/general_settings.h"
#include "settings/pages/incoming_call_settings.h"
#include "settings/pages/language_settings.h"
#include "settings/pages/log_settings.h"
#include "settings/pages/main_window_settings.h"
#include "settings/pages/phone_book_settings.h"
#include "settings/pages/retention_settings.h"
#include "settings/pages/screening_settings.h"

namespace orvane {

class OptionsWatcher;

class ProgramSettings final {
  public:
    ProgramSettings();
    ~ProgramSettings();
    ProgramSettings(const ProgramSettings&) = delete;
    ProgramSettings& operator=(const ProgramSettings&) = delete;

    GeneralSettings& General() { return general_; }
    DevicesSettings& Devices() { return devices_; }
    IncomingCallSettings& IncomingCall() { return incomingCall_; }
    LogSettings& Log() { return log_; }
    LanguageSettings& Language() { return language_; }
    MainWindowSettings& Window() { return mainWindow_; }
    PhoneBookSettings& PhoneNumbers() { return phoneBook_; }
    const GeneralSettings& General() const { return general_; }
    const DevicesSettings& Devices() const { return devices_; }
    const IncomingCallSettings& IncomingCall() const { return incomingCall_; }
    const LogSettings& Log() const { return log_; }
    RetentionSettings& Retention() { return retention_; }
    const RetentionSettings& Retention() const { return retention_; }
    ScreeningSettings& Screening() { return screening_; }
    const ScreeningSettings& Screening() const { return screening_; }

    // The pages whose values the running program acts on (GlobalOptions).
    std::vector<SettingsPage*> OptionPages() {
        return {&general_, &devices_, &incomingCall_, &log_};
    }

    // Reads every page again; each page that differs says so.
    void Reload();
    // From now on a change of the settings file reloads the pages.
    void Watch();

  private:
    GeneralSettings general_;
    DevicesSettings devices_;
    IncomingCallSettings incomingCall_;
    LogSettings log_;
    LanguageSettings language_;
    MainWindowSettings mainWindow_;
    PhoneBookSettings phoneBook_;
    RetentionSettings retention_;
    ScreeningSettings screening_;
    std::unique_ptr<OptionsWatcher> watcher_;
};

}  // namespace orvane
