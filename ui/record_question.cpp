#include "ui/record_question.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {

RecordQuestionBar::RecordQuestionBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("recordQuestion"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("recordQuestionText"));
    text_->setTextFormat(Qt::PlainText);
    keep_ = new QPushButton(this);
    keep_->setObjectName(QStringLiteral("recordQuestionKeep"));
    discard_ = new QPushButton(this);
    discard_->setObjectName(QStringLiteral("recordQuestionDiscard"));
    // Reached with Tab and pressed with Space, but never taking the focus
    // from what the user is typing when the call comes in.
    for (QPushButton* button : {keep_, discard_}) {
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(false);
    }
    layout->addWidget(text_);
    layout->addWidget(keep_);
    layout->addWidget(discard_);
    connect(keep_, &QPushButton::clicked, this, [this] { Q_EMIT Answered(true); });
    connect(discard_, &QPushButton::clicked, this, [this] { Q_EMIT Answered(false); });
    hide();
}

void RecordQuestionBar::Show(RecordQuestion state) {
    state_ = state;
    switch (state) {
        case RecordQuestion::kHidden:
            hide();
            return;
        case RecordQuestion::kOpen:
            text_->setText(Text(ids::kAskRecordThisCall));
            break;
        case RecordQuestion::kKeep:
            text_->setText(Text(ids::kAskRecordingKept));
            break;
        case RecordQuestion::kDiscard:
            text_->setText(Text(ids::kAskRecordingNotKept));
            break;
    }
    keep_->setText(Text(ids::kAskKeepButton));
    discard_->setText(Text(ids::kAskDontRecordButton));
    // After an answer only the other one is offered: the choice can change
    // until the call ends.
    keep_->setVisible(state != RecordQuestion::kKeep);
    discard_->setVisible(state != RecordQuestion::kDiscard);
    show();
}

}  // namespace orvane
