#pragma once
// The settings dialog's Blocking page: the block list (the first entry that
// matches says how the call ends), the allow list, which wins over it, the
// allow-list mode, and the message played to blocked callers whose entry
// says so.

#include <QString>
#include <QStringList>
#include <QWidget>

#include "calls/screening/screening_form.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace orvane {

class ScreeningTable;

class BlockingPage final : public QWidget {
  public:
    explicit BlockingPage(QWidget* parent = nullptr);

    void ApplyTexts();
    // `sounds`: the names the message can be; `message` is shown also
    // when it is not among them. `note` as on the Record rules page.
    void Show(const ScreeningForm& form, const QStringList& sounds, const QString& message,
              const QString& note);
    // Puts the lists and the allow-list mode into `form`.
    void Fill(ScreeningForm& form) const;
    QString Message() const;
    ScreeningTable& BlockList() { return *blockList_; }
    ScreeningTable& AllowList() { return *allowList_; }

  private:
    QLabel* note_ = nullptr;
    QLabel* blockLabel_ = nullptr;
    ScreeningTable* blockList_ = nullptr;
    QLabel* allowLabel_ = nullptr;
    ScreeningTable* allowList_ = nullptr;
    QCheckBox* allowListMode_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QComboBox* message_ = nullptr;
    QLabel* explain_ = nullptr;
};

}  // namespace orvane
