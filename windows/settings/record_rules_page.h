#pragma once
// The settings dialog's Record rules page: whose calls are always, never or
// only on request recorded (the first rule that matches wins), what holds
// for everyone else, and whether calls left unrecorded are still entered in
// the calls list.

#include <QString>
#include <QWidget>

#include "calls/screening/screening_form.h"

class QCheckBox;
class QComboBox;
class QLabel;

namespace orvane {

class ScreeningTable;

class RecordRulesPage final : public QWidget {
  public:
    explicit RecordRulesPage(QWidget* parent = nullptr);

    void ApplyTexts();
    // `note` says why the rules shown may not be the file's; empty: none.
    void Show(const ScreeningForm& form, bool listUnrecorded, const QString& note);
    // Puts the rows and "everyone else" into `form`.
    void Fill(ScreeningForm& form) const;
    bool ListUnrecorded() const;
    ScreeningTable& Rules() { return *rules_; }

  private:
    QLabel* note_ = nullptr;
    ScreeningTable* rules_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* everyoneElseLabel_ = nullptr;
    QComboBox* everyoneElse_ = nullptr;
    QCheckBox* listUnrecorded_ = nullptr;
    QLabel* explain_ = nullptr;
};

}  // namespace orvane
