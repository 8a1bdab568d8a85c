#include "settings/pages/retention_settings.h"

#include <algorithm>

#include "settings/names/retention.h"

namespace orvane {
namespace {

// A count of the page: text or DWORD, never below 0.
qint64 Count(const QString& text) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok ? std::max<qint64>(value, 0) : 0;
}

}  // namespace

RetentionSettings::RetentionSettings(QObject* parent)
    : SettingsPage(kTabRetention,
                   {{setting::kRetentionMaxAgeDays, Kind::kText},
                    {setting::kRetentionMaxFolderMB, Kind::kText},
                    {setting::kRetentionMinSeconds, Kind::kText},
                    {setting::kRetentionKeepMarked, Kind::kCheck, QStringLiteral("1")},
                    {setting::kRetentionAccepted, Kind::kText}},
                   parent) {}

int RetentionSettings::MaxAgeDays() const {
    return static_cast<int>(
        std::min<qint64>(Count(TextOf(setting::kRetentionMaxAgeDays)), 1000000));
}

qint64 RetentionSettings::MaxFolderMB() const {
    return std::min<qint64>(Count(TextOf(setting::kRetentionMaxFolderMB)), qint64{1} << 40);
}

int RetentionSettings::MinSeconds() const {
    return static_cast<int>(
        std::min<qint64>(Count(TextOf(setting::kRetentionMinSeconds)), 1000000));
}

bool RetentionSettings::KeepMarkedOrNoted() const {
    return CheckOf(setting::kRetentionKeepMarked);
}

QString RetentionSettings::Accepted() const {
    return TextOf(setting::kRetentionAccepted);
}

bool RetentionSettings::SetMaxAgeDays(int days) {
    return SetNumber(setting::kRetentionMaxAgeDays, std::max(days, 0));
}

bool RetentionSettings::SetMaxFolderMB(qint64 megabytes) {
    return SetText(setting::kRetentionMaxFolderMB, QString::number(std::max<qint64>(megabytes, 0)));
}

bool RetentionSettings::SetMinSeconds(int seconds) {
    return SetNumber(setting::kRetentionMinSeconds, std::max(seconds, 0));
}

bool RetentionSettings::SetKeepMarkedOrNoted(bool keep) {
    return SetCheck(setting::kRetentionKeepMarked, keep);
}

bool RetentionSettings::SetAccepted(const QString& fingerprint) {
    return SetText(setting::kRetentionAccepted, fingerprint);
}

}  // namespace orvane
