#include "windows/settings/line_options.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <algorithm>

#include "settings/pages/devices_settings.h"
#include "telephony/caller_id_standard.h"
#include "translation/bidi_text.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {

LineOptions::LineOptions(QWidget* page, QFormLayout* form) {
    silenceLabel_ = new QLabel(page);
    silence_ = new QSpinBox(page);
    silence_->setObjectName(QStringLiteral("txtSilenceLimit"));
    silence_->setRange(0, DevicesSettings::kMostSilenceSeconds);
    longestLabel_ = new QLabel(page);
    longest_ = new QSpinBox(page);
    longest_->setObjectName(QStringLiteral("txtLongestCall"));
    longest_->setRange(0, DevicesSettings::kMostCallMinutes);
    limitsHint_ = new QLabel(page);
    limitsHint_->setWordWrap(true);
    standardLabel_ = new QLabel(page);
    standard_ = new QComboBox(page);
    standard_->setObjectName(QStringLiteral("CmbCallerIdStandard"));
    standardHint_ = new QLabel(page);
    standardHint_->setWordWrap(true);
    form->addRow(silenceLabel_, silence_);
    form->addRow(longestLabel_, longest_);
    form->addRow(limitsHint_);
    form->addRow(standardLabel_, standard_);
    form->addRow(standardHint_);
}

void LineOptions::ApplyTexts() {
    silenceLabel_->setText(Text(ids::kLabelSilenceLimit));
    silence_->setSuffix(Text(ids::kRetentionSecondsSuffix));
    longestLabel_->setText(Text(ids::kLabelLongestCall));
    for (QSpinBox* box : {silence_, longest_}) {
        box->setSpecialValueText(Text(ids::kRetentionOff));
    }
    limitsHint_->setText(RightToLeftRun(Text(ids::kCallLimitsHint)));
    standardLabel_->setText(Text(ids::kLabelCallerIdStandard));
    standardHint_->setText(RightToLeftRun(Text(ids::kCallerIdStandardHint)));
    const QString chosen = ChosenStandard();
    standard_->clear();
    standard_->addItem(RightToLeftRun(Text(ids::kCallerIdStandardOwn)), QString());
    // In the order of kCallerIdStandards.
    const int names[] = {ids::kCallerIdBellFsk, ids::kCallerIdV23, ids::kCallerIdEtsiFsk,
                         ids::kCallerIdUk, ids::kCallerIdEtsiDtmf};
    static_assert(std::size(names) == kCallerIdStandards.size());
    for (std::size_t i = 0; i < kCallerIdStandards.size(); ++i) {
        standard_->addItem(RightToLeftRun(Text(names[i])),
                           QString::fromLatin1(kCallerIdStandards[i]));
    }
    standard_->setCurrentIndex(std::max(standard_->findData(chosen), 0));
}

void LineOptions::Show(const DevicesSettings& devices) {
    silence_->setValue(devices.SilenceLimitSeconds());
    longest_->setValue(devices.LongestCallMinutes());
    // A stored value the modem would not be sent shows as what happens: nothing.
    const QString code = CallerIdStandardCode(devices.CallerIdStandard());
    standard_->setCurrentIndex(std::max(standard_->findData(code), 0));
}

void LineOptions::Save(
    DevicesSettings& devices,
    const std::function<void(bool stored, const QString& caption)>& saved) const {
    // Only what differs is written: a page left as it was stores nothing.
    if (silence_->value() != devices.SilenceLimitSeconds()) {
        saved(devices.SetSilenceLimitSeconds(silence_->value()), silenceLabel_->text());
    }
    if (longest_->value() != devices.LongestCallMinutes()) {
        saved(devices.SetLongestCallMinutes(longest_->value()), longestLabel_->text());
    }
    if (ChosenStandard() != CallerIdStandardCode(devices.CallerIdStandard())) {
        saved(devices.SetCallerIdStandard(ChosenStandard()), standardLabel_->text());
    }
}

QString LineOptions::ChosenStandard() const {
    return standard_->currentData().toString();
}

}  // namespace orvane
