#pragma once
// The Devices page's rows for the line itself: the two call limits (for a
// far end that hangs up without a busy tone; 0 shows as "Off") and the
// caller-ID standard sent to Conexant modems. Added to the page's form.

#include <QString>
#include <functional>

class QComboBox;
class QFormLayout;
class QLabel;
class QSpinBox;
class QWidget;

namespace orvane {

class DevicesSettings;

class LineOptions final {
  public:
    // The rows go at the end of `form`, their widgets on `page`.
    LineOptions(QWidget* page, QFormLayout* form);

    void ApplyTexts();
    void Show(const DevicesSettings& devices);
    // Stores what differs from `devices`; `saved` hears each store's outcome.
    void Save(DevicesSettings& devices,
              const std::function<void(bool stored, const QString& caption)>& saved) const;

  private:
    // The code of the standard chosen; empty: the modem's own.
    QString ChosenStandard() const;

    QLabel* limitsHint_ = nullptr;
    QLabel* silenceLabel_ = nullptr;
    QSpinBox* silence_ = nullptr;
    QLabel* longestLabel_ = nullptr;
    QSpinBox* longest_ = nullptr;
    QLabel* standardLabel_ = nullptr;
    QComboBox* standard_ = nullptr;
    QLabel* standardHint_ = nullptr;
};

}  // namespace orvane
