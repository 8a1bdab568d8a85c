#include "windows/dialer/dialer_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <utility>

#include "calls/call_state.h"
#include "calls/last_numbers.h"
#include "telephony/line_backend.h"
#include "translation/right_to_left.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

struct Key {
    const char* name;
    QChar character;
};

// Laid out as on a telephone, three to a row.
constexpr int kKeysPerRow = 3;
const Key kKeys[] = {
    {"cmd1", u'1'}, {"cmd2", u'2'},        {"cmd3", u'3'}, {"cmd4", u'4'},
    {"cmd5", u'5'}, {"cmd6", u'6'},        {"cmd7", u'7'}, {"cmd8", u'8'},
    {"cmd9", u'9'}, {"cmdAsterisk", u'*'}, {"cmd0", u'0'}, {"cmdLadder", u'#'},
};

QPushButton* CallButton(const char* name, QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

}  // namespace

DialerWindow::DialerWindow(CallState& state, Line line, QString lastNumbersPath, QWidget* parent)
    : QDialog(parent),
      state_(state),
      line_(std::move(line)),
      lastNumbersPath_(std::move(lastNumbersPath)) {
    setObjectName(QStringLiteral("frmDialer"));
    setWindowModality(Qt::ApplicationModal);

    number_ = new QComboBox(this);
    number_->setObjectName(QStringLiteral("cmbCallNumber"));
    number_->setEditable(true);
    // The list is the file's; Enter places the call instead of adding to it.
    number_->setInsertPolicy(QComboBox::NoInsert);
    number_->setMinimumContentsLength(16);

    // A keypad reads left to right in every language.
    auto* keypad = new QWidget(this);
    keypad->setLayoutDirection(Qt::LeftToRight);
    auto* keys = new QGridLayout(keypad);
    keys->setContentsMargins(0, 0, 0, 0);
    int index = 0;
    for (const Key& key : kKeys) {
        auto* button = new QPushButton(QString(key.character), keypad);
        button->setObjectName(QLatin1String(key.name));
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        button->setMinimumHeight(36);
        const QChar character = key.character;
        // As a typed key: a selected number is replaced, not added to.
        connect(button, &QPushButton::clicked, this,
                [this, character] { number_->lineEdit()->insert(QString(character)); });
        keys->addWidget(button, index / kKeysPerRow, index % kKeysPerRow);
        ++index;
    }

    standardCall_ = CallButton("cndSend", this);
    recordCall_ = CallButton("cmdRecCall", this);
    end_ = CallButton("cmdEnd", this);
    standardCall_->setDefault(true);
    recordCall_->setAutoDefault(false);
    end_->setAutoDefault(false);
    connect(standardCall_, &QPushButton::clicked, this, [this] { PlaceCall(false); });
    connect(recordCall_, &QPushButton::clicked, this, [this] { PlaceCall(true); });
    connect(end_, &QPushButton::clicked, this, &DialerWindow::EndCall);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(standardCall_);
    buttons->addWidget(recordCall_);
    buttons->addWidget(end_);

    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("vbalStatusBar1"));
    statusBar->setSizeGripEnabled(false);
    status_ = new QLabel(statusBar);
    // A long status (a connected call's) wraps instead of widening the window.
    status_->setWordWrap(true);
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar->addWidget(status_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(number_);
    layout->addWidget(keypad);
    layout->addLayout(buttons);
    layout->addWidget(statusBar);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void DialerWindow::ApplyTexts() {
    setLayoutDirection(IsRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    setWindowTitle(Text(ids::kDialer));
    standardCall_->setText(Text(ids::kMakeStandardCall));
    recordCall_->setText(Text(ids::kMakeRecordCall));
    end_->setText(Text(ids::kEnd));
    IsolateRightToLeftTexts(this);
}

void DialerWindow::FillNumberList() {
    number_->clear();
    number_->addItems(ReadLastNumbers(lastNumbersPath_));
    if (number_->count() > 0) {
        number_->setCurrentIndex(0);
    }
}

void DialerWindow::Open(const QString& number) {
    if (!isVisible()) {
        ApplyTexts();
        FillNumberList();
        SetStatusText(Text(ids::kStatusNoCall));
        // A call that ended while the window was closed left its buttons
        // as the call set them.
        EnableCallButtons(!state_.standardCall && !state_.recordCall);
        EnableEndButton(true);
    }
    if (!number.isEmpty()) {
        number_->setEditText(number);
    }
    show();
    raise();
    activateWindow();
    number_->setFocus();
    // Typing replaces the number shown (an arrow key keeps it for adding to).
    number_->lineEdit()->selectAll();
}

void DialerWindow::PlaceCall(bool record) {
    const QString typed = number_->currentText().trimmed();
    if (typed.isEmpty() || state_.standardCall || state_.recordCall) {
        return;
    }
    // The box takes any text: a call back may bring "UNKNOWN".
    const QString dialable = DialableNumber(typed);
    if (dialable.isEmpty()) {
        ShowMessage(ReplaceMarker(Text(ids::kMsgNothingToDial), typed), false);
        return;
    }
    PutNumberFirst(lastNumbersPath_, typed);
    FillNumberList();
    number_->setEditText(typed);
    state_.recordSeconds = 0;
    const qint32 result = line_.makeCall ? line_.makeCall(dialable) : line_error::kNotOpen;
    if (result != line_error::kNone) {
        // No call will come: no flag, so the next try is not refused.
        const QString reason = LineErrorText(result);
        SetStatusText(reason);
        ShowMessage(ReplaceMarker(Text(ids::kMsgCallNotPlaced), reason), false);
        return;
    }
    state_.standardCall = !record;
    state_.recordCall = record;
}

void DialerWindow::EndCall() {
    if (line_.drop) {
        line_.drop();
    }
    state_.recordSeconds = 0;
    state_.standardCall = false;
    state_.recordCall = false;
}

void DialerWindow::CallReady() {
    // Said where the buttons stay usable: a box would hold Hang up.
    SetStatusText(Text(ids::kMsgStandardCallConnected));
}

void DialerWindow::SetStatusText(const QString& text) {
    status_->setText(text);
    // The bar grows to hold the lines a long status wraps into.
    status_->setMinimumHeight(status_->heightForWidth(status_->width()));
}

void DialerWindow::EnableCallButtons(bool enabled) {
    standardCall_->setEnabled(enabled);
    recordCall_->setEnabled(enabled);
    // The call buttons come back when a call is over; End, disabled while
    // it was dialled, comes back with them.
    if (enabled) {
        end_->setEnabled(true);
    }
}

void DialerWindow::EnableEndButton(bool enabled) {
    end_->setEnabled(enabled);
}

QString DialerWindow::NumberText() const {
    return number_->currentText();
}

}  // namespace orvane
