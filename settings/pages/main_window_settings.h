#pragma once
// What the main window keeps on the settings root key: its placement, the
// calls list's columns, and what its commands remember (the maker's web
// site, the folder a copy was last saved in).

#include <QString>
#include <QVariant>

#include "settings/pages/settings_page.h"

namespace orvane {

class MainWindowSettings final : public SettingsPage {
  public:
    explicit MainWindowSettings(QObject* parent = nullptr);

    // The placement as stored (twips and state; invalid when missing),
    // read by the window's placement rules.
    struct Placement {
        QVariant left;
        QVariant top;
        QVariant width;
        QVariant height;
        QVariant state;
    };
    Placement StoredPlacement() const;
    // Stores the values that are set (a null one is left as it is).
    bool SetPlacement(const Placement& placement);

    QString CallsColumns() const;
    QString CallsSort() const;
    bool SetCallsColumns(const QString& columns);
    bool SetCallsSort(const QString& sort);

    QString WebSite() const;
    QString LastSaveFolder() const;
    bool SetLastSaveFolder(const QString& folder);
};

}  // namespace orvane
