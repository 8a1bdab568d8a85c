#pragma once
// The settings dialog's Retention page: the three rules (0 is off), whether
// marked or noted calls stay, and a line that says, as the user edits,
// which calls of the open folder the rules shown would remove now.

#include <QString>
#include <QWidget>
#include <functional>

#include "calls/retention/retention_rules.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace orvane {

class RetentionPage final : public QWidget {
  public:
    // What rules would remove from the open folder now; empty: nothing.
    using Preview = std::function<RetentionChoice(const RetentionRules& rules)>;
    RetentionPage(Preview preview, QWidget* parent = nullptr);

    void ApplyTexts();
    // Shows these rules and their preview.
    void Show(const RetentionRules& rules);
    // The rules as the controls hold them.
    RetentionRules Rules() const;
    // The preview line of the rules shown.
    QString PreviewText() const;

    // "These 312 calls, 1.8 GB, would go to the trash now.", one call, or none.
    static QString PreviewTextOf(const RetentionChoice& choice);

  private:
    void UpdatePreview();

    Preview preview_;
    QLabel* ageLabel_ = nullptr;
    QSpinBox* age_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    QDoubleSpinBox* size_ = nullptr;
    QLabel* shortLabel_ = nullptr;
    QSpinBox* short_ = nullptr;
    QCheckBox* keepMarked_ = nullptr;
    QLabel* previewLine_ = nullptr;
    QLabel* explain_ = nullptr;
};

}  // namespace orvane
