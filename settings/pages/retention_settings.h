#pragma once
// The Retention page: the rules that remove calls by themselves (how old,
// how much, how short, and whether marked or noted calls stay), and the
// rules the user last accepted with their preview. Values are kept as
// plain numbers; the rules themselves are calls/retention's.

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class RetentionSettings final : public SettingsPage {
  public:
    explicit RetentionSettings(QObject* parent = nullptr);

    // Each 0 (off) when missing, unreadable or below 0.
    int MaxAgeDays() const;
    qint64 MaxFolderMB() const;
    int MinSeconds() const;
    // On when missing.
    bool KeepMarkedOrNoted() const;
    // What the user last accepted (RulesFingerprint); empty before that.
    QString Accepted() const;

    bool SetMaxAgeDays(int days);
    bool SetMaxFolderMB(qint64 megabytes);
    bool SetMinSeconds(int seconds);
    bool SetKeepMarkedOrNoted(bool keep);
    bool SetAccepted(const QString& fingerprint);
};

}  // namespace orvane
