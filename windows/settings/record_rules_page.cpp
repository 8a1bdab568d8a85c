#include "windows/settings/record_rules_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "windows/settings/screening_table.h"

namespace orvane {

RecordRulesPage::RecordRulesPage(QWidget* parent) : QWidget(parent) {
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("lblScreeningNote"));
    note_->setWordWrap(true);
    note_->hide();
    rules_ = new ScreeningTable(QStringLiteral("tblRecordRules"), true, this);
    hint_ = new QLabel(this);
    hint_->setWordWrap(true);
    everyoneElseLabel_ = new QLabel(this);
    everyoneElse_ = new QComboBox(this);
    everyoneElse_->setObjectName(QStringLiteral("cmbEveryoneElse"));
    listUnrecorded_ = new QCheckBox(this);
    listUnrecorded_->setObjectName(QStringLiteral("chkListUnrecorded"));
    explain_ = new QLabel(this);
    explain_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(everyoneElseLabel_, everyoneElse_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(rules_, 1);
    layout->addWidget(hint_);
    layout->addLayout(form);
    layout->addWidget(listUnrecorded_);
    layout->addWidget(explain_);
}

void RecordRulesPage::ApplyTexts() {
    const QStringList choices = {Text(ids::kRecordAlways), Text(ids::kRecordNever),
                                 Text(ids::kRecordAsk)};
    rules_->ApplyTexts(Text(ids::kColumnRecording), choices);
    hint_->setText(TextWithValue(ids::kPatternHint, QStringLiteral("0900*, 030\u00A01234???")));
    everyoneElseLabel_->setText(Text(ids::kLabelEveryoneElse));
    const int chosen = everyoneElse_->currentIndex();
    everyoneElse_->clear();
    everyoneElse_->addItems(choices);
    everyoneElse_->setCurrentIndex(std::max(chosen, 0));
    listUnrecorded_->setText(Text(ids::kListUnrecorded));
    explain_->setText(Text(ids::kRecordRulesExplain));
}

void RecordRulesPage::Show(const ScreeningForm& form, bool listUnrecorded, const QString& note) {
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    rules_->SetRows(form.recordRules);
    everyoneElse_->setCurrentIndex(static_cast<int>(form.everyoneElse));
    listUnrecorded_->setChecked(listUnrecorded);
}

void RecordRulesPage::Fill(ScreeningForm& form) const {
    form.recordRules = rules_->Rows();
    const int chosen = everyoneElse_->currentIndex();
    form.everyoneElse = static_cast<RecordMode>(chosen >= 0 && chosen <= 2 ? chosen : 0);
}

bool RecordRulesPage::ListUnrecorded() const {
    return listUnrecorded_->isChecked();
}

}  // namespace orvane
