#include "settings/pages/main_window_settings.h"

#include "settings/names/main_menus.h"
#include "settings/names/main_window.h"

namespace orvane {

MainWindowSettings::MainWindowSettings(QObject* parent)
    : SettingsPage(QString(),
                   {{setting::kLeft, Kind::kRaw},
                    {setting::kTop, Kind::kRaw},
                    {setting::kWidth, Kind::kRaw},
                    {setting::kHeight, Kind::kRaw},
                    {setting::kState, Kind::kRaw},
                    {setting::kCallsColumns, Kind::kText},
                    {setting::kCallsSort, Kind::kText},
                    {setting::kWebSite, Kind::kText},
                    {setting::kLastSaveFolder, Kind::kText}},
                   parent) {}

MainWindowSettings::Placement MainWindowSettings::StoredPlacement() const {
    return {RawOf(setting::kLeft), RawOf(setting::kTop), RawOf(setting::kWidth),
            RawOf(setting::kHeight), RawOf(setting::kState)};
}

bool MainWindowSettings::SetPlacement(const Placement& placement) {
    bool stored = true;
    const std::pair<const QString&, const QVariant&> values[] = {
        {setting::kLeft, placement.left},
        {setting::kTop, placement.top},
        {setting::kWidth, placement.width},
        {setting::kHeight, placement.height},
        {setting::kState, placement.state}};
    for (const auto& [name, value] : values) {
        if (!value.isNull()) {
            stored = SetText(name, value.toString()) && stored;
        }
    }
    return stored;
}

QString MainWindowSettings::CallsColumns() const {
    return TextOf(setting::kCallsColumns);
}

QString MainWindowSettings::CallsSort() const {
    return TextOf(setting::kCallsSort);
}

bool MainWindowSettings::SetCallsColumns(const QString& columns) {
    return SetText(setting::kCallsColumns, columns);
}

bool MainWindowSettings::SetCallsSort(const QString& sort) {
    return SetText(setting::kCallsSort, sort);
}

QString MainWindowSettings::WebSite() const {
    return TextOf(setting::kWebSite);
}

QString MainWindowSettings::LastSaveFolder() const {
    return TextOf(setting::kLastSaveFolder);
}

bool MainWindowSettings::SetLastSaveFolder(const QString& folder) {
    return SetText(setting::kLastSaveFolder, folder);
}

}  // namespace orvane
