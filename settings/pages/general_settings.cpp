#include "settings/pages/general_settings.h"

#include "core/paths.h"
#include "core/product.h"
#include "settings/names/general.h"

namespace orvane {

// The log-on entry lives under the user's Run key; it counts as part of the
// page, so a change there is told like the others.
class GeneralSettings::RunEntry final : public SettingsPage {
  public:
    explicit RunEntry(QObject* parent)
        : SettingsPage(kHkeyCurrentUser, product::kRunKey, QString(),
                       {{product::kRunValueName, Kind::kText}}, parent) {}
    QString Command() const { return TextOf(product::kRunValueName); }
    bool SetCommand(const QString& command) {
        return command.isEmpty() ? Remove(product::kRunValueName)
                                 : SetText(product::kRunValueName, command);
    }
};

GeneralSettings::GeneralSettings(QObject* parent)
    : SettingsPage(kTabGeneral,
                   {{setting::kChkRunOnStart, Kind::kCheck},
                    {setting::kCmbRecordFormatRec, Kind::kNumber},
                    {setting::kTxtPath, Kind::kFolder},
                    {setting::kChkAskBeforeDeletingCalls, Kind::kCheck, QStringLiteral("1")}},
                   parent),
      run_(new RunEntry(this)) {
    connect(run_, &SettingsPage::changed, this, &GeneralSettings::Notify);
}

QString GeneralSettings::RunCommand() {
    return paths::ProgramFolder() + QLatin1Char('/') + product::kExecutableName + QLatin1Char(' ') +
           QStringLiteral("-st");
}

bool GeneralSettings::RunOnStart() const {
    return run_->Command() == RunCommand();
}

int GeneralSettings::RecordFormat() const {
    return NumberOf(setting::kCmbRecordFormatRec);
}

QString GeneralSettings::RecordingsFolder() const {
    // Nothing stored is the default folder, as the first start stores it.
    const QString folder = TextOf(setting::kTxtPath);
    return folder.isEmpty() ? paths::DefaultRecordingsFolder() : folder;
}

bool GeneralSettings::AskBeforeDeletingCalls() const {
    return CheckOf(setting::kChkAskBeforeDeletingCalls);
}

bool GeneralSettings::SetRunOnStart(bool run) {
    const Batch batch(*this);
    const bool box = SetCheck(setting::kChkRunOnStart, run);
    // The store mirrors the Run value to the desktop's autostart entry.
    return run_->SetCommand(run ? RunCommand() : QString()) && box;
}

bool GeneralSettings::SetRecordFormat(int format) {
    return SetNumber(setting::kCmbRecordFormatRec, format);
}

bool GeneralSettings::SetRecordingsFolder(const QString& folder) {
    QString withSlash = folder;
    if (!withSlash.endsWith(QLatin1Char('/'))) {
        withSlash += QLatin1Char('/');
    }
    return SetText(setting::kTxtPath, withSlash);
}

bool GeneralSettings::SetAskBeforeDeletingCalls(bool ask) {
    return SetCheck(setting::kChkAskBeforeDeletingCalls, ask);
}

}  // namespace orvane
