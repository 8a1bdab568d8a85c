#include "app/calls_list/calls_search_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "calls/list/calls_list_model.h"
#include "core/clock.h"
#include "translation/right_to_left.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/own_icons.h"

namespace orvane {
namespace {

constexpr int kMargin = 4;
constexpr int kFieldMinimumWidth = 220;
// The range offered when the dates are first ticked: the last week.
constexpr int kRangeDays = 7;

}  // namespace

CallsSearchBar::CallsSearchBar(CallsListModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("callsSearchBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin / 2, kMargin, kMargin / 2);
    layout->setSpacing(kMargin);

    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("searchField"));
    field_->setPlaceholderText(Text(ids::kSearchPlaceholder));
    field_->setToolTip(Text(ids::kSearchTip));
    field_->setAccessibleName(Text(ids::kSearchPlaceholder));
    field_->setClearButtonEnabled(true);
    field_->setMinimumWidth(kFieldMinimumWidth);
    layout->addWidget(field_, 1);
    // The list follows each key typed.
    connect(field_, &QLineEdit::textChanged, this, &CallsSearchBar::Apply);

    const auto toggle = [this, layout](const char* name, int text, const char* icon) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setText(Text(text));
        button->setIcon(OwnIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setCheckable(true);
        button->setAutoRaise(true);
        // Reached with Tab like the field, not only with the mouse.
        button->setFocusPolicy(Qt::StrongFocus);
        layout->addWidget(button);
        connect(button, &QToolButton::toggled, this, &CallsSearchBar::Apply);
        return button;
    };
    unread_ = toggle("searchUnread", ids::kSearchUnread, "mail-unread");
    marked_ = toggle("searchMarked", ids::kSearchMarked, "emblem-important");

    kind_ = new QComboBox(this);
    kind_->setObjectName(QStringLiteral("searchKind"));
    kind_->setAccessibleName(Text(ids::kSearchKindTip));
    kind_->setToolTip(Text(ids::kSearchKindTip));
    const struct {
        int text;
        CallKindChoice kind;
    } kinds[] = {
        {ids::kSearchKindAll, CallKindChoice::kAll},
        {ids::kSearchKindIncoming, CallKindChoice::kIncoming},
        {ids::kSearchKindOutgoing, CallKindChoice::kOutgoing},
        {ids::kSearchKindAnswered, CallKindChoice::kAnswered},
        {ids::kSearchKindBlocked, CallKindChoice::kBlocked},
        {ids::kSearchKindNotRecorded, CallKindChoice::kNotRecorded},
    };
    for (const auto& k : kinds) {
        kind_->addItem(Text(k.text), static_cast<int>(k.kind));
    }
    layout->addWidget(kind_);
    connect(kind_, &QComboBox::currentIndexChanged, this, &CallsSearchBar::Apply);
    // The calls without a recording are listed only under their kind: its
    // count says whether there are any.
    ShowUnrecordedCounts();
    connect(&model_, &CallsListModel::CountsChanged, this, &CallsSearchBar::ShowUnrecordedCounts);

    dates_ = new QCheckBox(Text(ids::kSearchDates), this);
    dates_->setObjectName(QStringLiteral("searchDates"));
    layout->addWidget(dates_);
    const QDate today = SystemTime().now().date();
    const auto dateEdit = [this, layout](const char* name, const QDate& date) {
        auto* edit = new QDateEdit(date, this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setCalendarPopup(true);
        edit->setVisible(false);
        layout->addWidget(edit);
        connect(edit, &QDateEdit::dateChanged, this, &CallsSearchBar::Apply);
        return edit;
    };
    from_ = dateEdit("searchFrom", today.addDays(-kRangeDays));
    auto* to = new QLabel(Text(ids::kSearchDatesTo), this);
    to->setObjectName(QStringLiteral("searchDatesTo"));
    layout->addWidget(to);
    to_ = dateEdit("searchTo", today);
    to->setBuddy(to_);
    to->setVisible(false);
    // The days take room only while they narrow the list.
    connect(dates_, &QCheckBox::toggled, this, [this, to](bool on) {
        from_->setVisible(on);
        to->setVisible(on);
        to_->setVisible(on);
        Apply();
    });

    for (QWidget* child :
         std::initializer_list<QWidget*>{field_, unread_, marked_, kind_, dates_, from_, to_}) {
        child->installEventFilter(this);
    }
    // The bar reads as the language does; a day keeps its digits' order.
    KeepLeftToRight(from_);
    KeepLeftToRight(to_);
    ApplyRightToLeft(this);
}

void CallsSearchBar::ShowUnrecordedCounts() {
    const struct {
        CallKindChoice choice;
        UnrecordedKind kind;
        int text;
    } kinds[] = {
        {CallKindChoice::kBlocked, UnrecordedKind::kBlocked, ids::kSearchKindBlocked},
        {CallKindChoice::kNotRecorded, UnrecordedKind::kNotRecorded, ids::kSearchKindNotRecorded},
    };
    for (const auto& k : kinds) {
        const int at = kind_->findData(static_cast<int>(k.choice));
        if (at >= 0) {
            kind_->setItemText(at, Text(k.text) + QStringLiteral(" (") +
                                       QString::number(model_.UnrecordedCount(k.kind)) +
                                       QLatin1Char(')'));
        }
    }
}

void CallsSearchBar::FocusSearch() {
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
}

void CallsSearchBar::Clear() {
    // One filter change for the whole clearing, not one per widget.
    clearing_ = true;
    field_->clear();
    unread_->setChecked(false);
    marked_->setChecked(false);
    kind_->setCurrentIndex(0);
    dates_->setChecked(false);
    clearing_ = false;
    Apply();
}

CallsFilter CallsSearchBar::Filter() const {
    CallsFilter filter;
    filter.words = field_->text();
    filter.unreadOnly = unread_->isChecked();
    filter.markedOnly = marked_->isChecked();
    filter.kind = static_cast<CallKindChoice>(kind_->currentData().toInt());
    if (dates_->isChecked()) {
        filter.from = from_->date();
        filter.to = to_->date();
    }
    return filter;
}

void CallsSearchBar::Apply() {
    if (!clearing_) {
        model_.SetFilter(Filter());
    }
}

bool CallsSearchBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Clear();
        Q_EMIT Done();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString ShownCallsText(const CallsListModel& model) {
    if (!model.Filter().IsActive()) {
        return {};
    }
    return ReplaceMarker(
        ReplaceMarker(Text(ids::kCallsShownOfTotal), QString::number(model.ShownCount())),
        QString::number(model.TotalCount()));
}

}  // namespace orvane
