#pragma once
// The phone book's number plan: the user's country and area code, which
// make "030 1234", "+49 30 1234" and "1234" one number.

#include <QString>

#include "settings/pages/settings_page.h"

namespace orvane {

class PhoneBookSettings final : public SettingsPage {
  public:
    explicit PhoneBookSettings(QObject* parent = nullptr);

    // The stored ISO code in upper case; before the user chose, the
    // system's territory (SystemCountry).
    QString Country() const;
    QString AreaCode() const;

    bool SetCountry(const QString& iso);
    bool SetAreaCode(const QString& areaCode);

    // The ISO code of the system locale's territory; empty when it has none.
    static QString SystemCountry();
};

}  // namespace orvane
