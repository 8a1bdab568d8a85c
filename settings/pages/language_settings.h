#pragma once
// The interface language: a file name in the Trans folder.

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class LanguageSettings final : public SettingsPage {
  public:
    explicit LanguageSettings(QObject* parent = nullptr);

    // As stored; empty when none was chosen.
    QString Selected() const;
    bool SetSelected(const QString& name);
};

}  // namespace orvane
