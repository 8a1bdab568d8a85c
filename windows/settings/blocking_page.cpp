#include "windows/settings/blocking_page.h"

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

BlockingPage::BlockingPage(QWidget* parent) : QWidget(parent) {
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("lblBlockingNote"));
    note_->setWordWrap(true);
    note_->hide();
    blockLabel_ = new QLabel(this);
    blockList_ = new ScreeningTable(QStringLiteral("tblBlockList"), true, this);
    allowLabel_ = new QLabel(this);
    allowList_ = new ScreeningTable(QStringLiteral("tblAllowList"), false, this);
    allowListMode_ = new QCheckBox(this);
    allowListMode_->setObjectName(QStringLiteral("chkAllowListMode"));
    messageLabel_ = new QLabel(this);
    message_ = new QComboBox(this);
    message_->setObjectName(QStringLiteral("cmbBlockMessage"));
    explain_ = new QLabel(this);
    explain_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(messageLabel_, message_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(blockLabel_);
    layout->addWidget(blockList_, 3);
    layout->addWidget(allowLabel_);
    layout->addWidget(allowList_, 2);
    layout->addWidget(allowListMode_);
    layout->addLayout(form);
    layout->addWidget(explain_);
}

void BlockingPage::ApplyTexts() {
    blockLabel_->setText(Text(ids::kLabelBlockList));
    blockList_->ApplyTexts(Text(ids::kColumnThen),
                           {Text(ids::kBlockHangUp), Text(ids::kBlockPlayMessage)});
    allowLabel_->setText(Text(ids::kLabelAllowList));
    allowList_->ApplyTexts(QString(), {});
    allowListMode_->setText(Text(ids::kAllowListMode));
    messageLabel_->setText(Text(ids::kLabelBlockMessage));
    explain_->setText(Text(ids::kBlockingExplain));
}

void BlockingPage::Show(const ScreeningForm& form, const QStringList& sounds,
                        const QString& message, const QString& note) {
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    blockList_->SetRows(form.blockList);
    allowList_->SetRows(form.allowList);
    allowListMode_->setChecked(form.allowListMode);
    message_->clear();
    message_->addItems(sounds);
    // A message whose file is gone stays the choice until the user makes another.
    if (!message.isEmpty() && message_->findText(message) < 0) {
        message_->addItem(message);
    }
    message_->setCurrentIndex(std::max(message_->findText(message), 0));
}

void BlockingPage::Fill(ScreeningForm& form) const {
    form.blockList = blockList_->Rows();
    form.allowList = allowList_->Rows();
    form.allowListMode = allowListMode_->isChecked();
}

QString BlockingPage::Message() const {
    return message_->currentText();
}

}  // namespace orvane
