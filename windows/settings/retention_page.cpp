#include "windows/settings/retention_page.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>
#include <utility>

#include "translation/bidi_text.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

constexpr int kMaxDays = 36500;
constexpr double kMaxGB = 100000.0;
constexpr int kMaxSeconds = 3600;
constexpr qint64 kMBPerGB = 1000;

// Gigabytes to the megabyte, shown without trailing zeros ("1.8 GB"), so a
// stored limit reads back exactly as it was.
class GigabyteBox final : public QDoubleSpinBox {
  public:
    using QDoubleSpinBox::QDoubleSpinBox;

  protected:
    QString textFromValue(double value) const override {
        return locale().toString(value, 'f', QLocale::FloatingPointShortest);
    }
};

}  // namespace

RetentionPage::RetentionPage(Preview preview, QWidget* parent)
    : QWidget(parent), preview_(std::move(preview)) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    ageLabel_ = new QLabel(this);
    age_ = new QSpinBox(this);
    age_->setObjectName(QStringLiteral("txtMaxAgeDays"));
    age_->setRange(0, kMaxDays);
    sizeLabel_ = new QLabel(this);
    size_ = new GigabyteBox(this);
    size_->setObjectName(QStringLiteral("txtMaxFolderGB"));
    size_->setRange(0, kMaxGB);
    size_->setDecimals(3);
    size_->setSingleStep(0.5);
    shortLabel_ = new QLabel(this);
    short_ = new QSpinBox(this);
    short_->setObjectName(QStringLiteral("txtMinSeconds"));
    short_->setRange(0, kMaxSeconds);
    keepMarked_ = new QCheckBox(this);
    keepMarked_->setObjectName(QStringLiteral("chkKeepMarkedOrNoted"));
    previewLine_ = new QLabel(this);
    previewLine_->setObjectName(QStringLiteral("lblRetentionPreview"));
    previewLine_->setWordWrap(true);
    explain_ = new QLabel(this);
    explain_->setWordWrap(true);
    form->addRow(ageLabel_, age_);
    form->addRow(sizeLabel_, size_);
    form->addRow(shortLabel_, short_);
    form->addRow(keepMarked_);
    layout->addLayout(form);
    layout->addWidget(previewLine_);
    layout->addStretch();
    layout->addWidget(explain_);
    connect(age_, &QSpinBox::valueChanged, this, &RetentionPage::UpdatePreview);
    connect(size_, &QDoubleSpinBox::valueChanged, this, &RetentionPage::UpdatePreview);
    connect(short_, &QSpinBox::valueChanged, this, &RetentionPage::UpdatePreview);
    connect(keepMarked_, &QCheckBox::toggled, this, &RetentionPage::UpdatePreview);
}

void RetentionPage::ApplyTexts() {
    ageLabel_->setText(Text(ids::kLabelRetentionAge));
    sizeLabel_->setText(Text(ids::kLabelRetentionSize));
    shortLabel_->setText(Text(ids::kLabelRetentionShort));
    keepMarked_->setText(Text(ids::kRetentionKeepMarked));
    for (QAbstractSpinBox* box :
         {static_cast<QAbstractSpinBox*>(age_), static_cast<QAbstractSpinBox*>(size_),
          static_cast<QAbstractSpinBox*>(short_)}) {
        box->setSpecialValueText(Text(ids::kRetentionOff));
    }
    age_->setSuffix(Text(ids::kRetentionDaysSuffix));
    size_->setSuffix(Text(ids::kRetentionGbSuffix));
    short_->setSuffix(Text(ids::kRetentionSecondsSuffix));
    explain_->setText(Text(ids::kRetentionExplain));
    UpdatePreview();
}

void RetentionPage::Show(const RetentionRules& rules) {
    const QSignalBlocker blockAge(age_);
    const QSignalBlocker blockSize(size_);
    const QSignalBlocker blockShort(short_);
    const QSignalBlocker blockKeep(keepMarked_);
    age_->setValue(rules.maxAgeDays);
    size_->setValue(static_cast<double>(rules.maxFolderMB) / kMBPerGB);
    short_->setValue(rules.minSeconds);
    keepMarked_->setChecked(rules.keepMarkedOrNoted);
    UpdatePreview();
}

RetentionRules RetentionPage::Rules() const {
    RetentionRules rules;
    rules.maxAgeDays = age_->value();
    rules.maxFolderMB = std::llround(size_->value() * kMBPerGB);
    rules.minSeconds = short_->value();
    rules.keepMarkedOrNoted = keepMarked_->isChecked();
    return rules;
}

QString RetentionPage::PreviewText() const {
    return previewLine_->text();
}

QString RetentionPage::PreviewTextOf(const RetentionChoice& choice) {
    if (choice.IsEmpty()) {
        return RightToLeftRun(Text(ids::kRetentionPreviewNone));
    }
    const bool one = choice.calls.size() == 1;
    const QString text = Text(one ? ids::kRetentionPreviewOne : ids::kRetentionPreviewMany);
    // Decimal units as file managers give them, the number in the locale's form.
    const auto [scale, unit] = choice.bytes >= 1000000000 ? std::pair{1e9, "GB"}
                               : choice.bytes >= 1000000  ? std::pair{1e6, "MB"}
                                                          : std::pair{1e3, "kB"};
    QString size = QLocale().toString(static_cast<double>(choice.bytes) / scale, 'f', 1) +
                   QLatin1Char(' ') + QLatin1String(unit);
    // "83.1 MB" keeps its order inside a right-to-left sentence, which reads
    // right-to-left as a whole like the window's other labels.
    if (HasRightToLeftLetters(text)) {
        size = LeftToRightIsolate(size);
    }
    if (one) {
        return RightToLeftRun(ReplaceMarker(text, size));
    }
    return RightToLeftRun(ReplaceMarker(
        ReplaceMarker(text, QLocale().toString(static_cast<qint64>(choice.calls.size()))), size));
}

void RetentionPage::UpdatePreview() {
    const RetentionRules rules = Rules();
    previewLine_->setText(
        PreviewTextOf(preview_ && rules.Active() ? preview_(rules) : RetentionChoice{}));
}

}  // namespace orvane
