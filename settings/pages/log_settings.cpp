#include "settings/pages/log_settings.h"

#include "settings/names/log.h"

namespace orvane {

LogSettings::LogSettings(QObject* parent)
    : SettingsPage(kTabLog,
                   {{setting::kChkLogSys, Kind::kCheck},
                    {setting::kChkLogCalls, Kind::kCheck},
                    {setting::kChkWornBeforeDelete, Kind::kCheck},
                    {setting::kCmbLogFor, Kind::kText}},
                   parent) {}

bool LogSettings::SystemJournal() const {
    return CheckOf(setting::kChkLogSys);
}

bool LogSettings::CallsJournal() const {
    return CheckOf(setting::kChkLogCalls);
}

bool LogSettings::WarnBeforeDelete() const {
    return CheckOf(setting::kChkWornBeforeDelete);
}

int LogSettings::KeepFor() const {
    bool ok = false;
    const int position = TextOf(setting::kCmbLogFor).trimmed().toInt(&ok);
    return ok && position >= 0 && position <= kKeepForever ? position : kKeepForever;
}

int LogSettings::KeepMonths() const {
    const int position = KeepFor();
    return position == kKeepForever ? 0 : position + 1;
}

bool LogSettings::SetSystemJournal(bool on) {
    return SetCheck(setting::kChkLogSys, on);
}

bool LogSettings::SetCallsJournal(bool on) {
    return SetCheck(setting::kChkLogCalls, on);
}

bool LogSettings::SetWarnBeforeDelete(bool warn) {
    return SetCheck(setting::kChkWornBeforeDelete, warn);
}

bool LogSettings::SetKeepFor(int position) {
    return SetNumber(setting::kCmbLogFor, position);
}

}  // namespace orvane
