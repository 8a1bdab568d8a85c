#include "app/player/playback_bar.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolBar>

#include "app/calls_list/calls_list_view.h"
#include "calls/list/calls_list_model.h"
#include "core/common_functions.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/own_icons.h"

namespace orvane {
namespace {

constexpr int kSliderMaximum = 100;
constexpr int kButtonIconSize = 16;

}  // namespace

PositionSlider::PositionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, kSliderMaximum);
    setFocusPolicy(Qt::StrongFocus);
}

int PositionSlider::ValueAt(const QPoint& point) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    const int at = point.x() - groove.x() - handle.width() / 2;
    return QStyle::sliderValueFromPosition(minimum(), maximum(), at, span, option.upsideDown);
}

void PositionSlider::mousePressEvent(QMouseEvent* event) {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const bool onThumb =
        style()->hitTestComplexControl(QStyle::CC_Slider, &option, event->position().toPoint(),
                                       this) == QStyle::SC_SliderHandle;
    if (event->button() != Qt::LeftButton || onThumb) {
        // The thumb is held down (sliderPressed) and dragged.
        QSlider::mousePressEvent(event);
        return;
    }
    // Beside the thumb the call goes to the pressed point, not a page on.
    setValue(ValueAt(event->position().toPoint()));
    event->accept();
    Q_EMIT TrackPressed();
}

void PositionSlider::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        Q_EMIT SpacePressed();
        return;
    }
    const int before = value();
    QSlider::keyPressEvent(event);
    if (value() != before) {
        Q_EMIT KeyStepped();
    }
}

PlaybackBar::PlaybackBar(PlaybackControl& control, CallsListPanel* calls, QWidget* parent)
    : QWidget(parent), control_(control) {
    setObjectName(QStringLiteral("playbackBar"));
    auto* layout = new QHBoxLayout(this);
    // Room at the right edge, so the length is never cut by the window frame.
    layout->setContentsMargins(0, 0, 6, 0);

    buttons_ = new QToolBar(this);
    buttons_->setObjectName(QStringLiteral("tlbrPlayButtons"));
    buttons_->setIconSize(QSize(kButtonIconSize, kButtonIconSize));
    const QString space = QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText);
    const auto addButton = [this](const char* icon, int text, const char* name) {
        QAction* action = buttons_->addAction(OwnIcon(icon), QString());
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(Text(text));
        if (QWidget* button = buttons_->widgetForAction(action)) {
            // Toolbar buttons take no focus by default; these are reached
            // with Tab from the calls list.
            button->setFocusPolicy(Qt::StrongFocus);
            button->setAccessibleName(Text(text));
        }
        return action;
    };
    play_ = addButton("media-playback-start", ids::kPlayerPlay, "tlbrPlayButtons0");
    play_->setToolTip(Text(ids::kPlayerPlay) + QStringLiteral(" (") + space + QLatin1Char(')'));
    pause_ = addButton("media-playback-pause", ids::kPlayerPause, "tlbrPlayButtons2");
    pause_->setCheckable(true);
    pause_->setToolTip(Text(ids::kPlayerPause) + QStringLiteral(" (") + space + QLatin1Char(')'));
    stop_ = addButton("media-playback-stop", ids::kPlayerStop, "tlbrPlayButtons1");
    layout->addWidget(buttons_);

    slider_ = new PositionSlider(this);
    slider_->setObjectName(QStringLiteral("cSlider1"));
    slider_->setAccessibleName(Text(ids::kPlayerPosition));
    slider_->setToolTip(Text(ids::kPlayerPosition));
    layout->addWidget(slider_, 1);
    QWidget::setTabOrder(ButtonOf(play_), ButtonOf(pause_));
    QWidget::setTabOrder(ButtonOf(pause_), ButtonOf(stop_));
    QWidget::setTabOrder(ButtonOf(stop_), slider_);

    // Times, as the audio control's SecondsAsTimeString writes them.
    timeRun_ = new QLabel(SecondsToClock(0), this);
    timeRun_->setObjectName(QStringLiteral("lblTimeRun"));
    layout->addWidget(timeRun_);
    length_ = new QLabel(SecondsToClock(0), this);
    length_->setObjectName(QStringLiteral("lblLength"));
    layout->addWidget(length_);

    connect(play_, &QAction::triggered, &control_, &PlaybackControl::PlayClicked);
    connect(stop_, &QAction::triggered, &control_, &PlaybackControl::StopClicked);
    connect(pause_, &QAction::triggered, &control_, [this] {
        control_.PauseClicked();
        // A click without a playback leaves the button up.
        SetPausedLook(control_.Paused());
    });
    connect(slider_, &PositionSlider::SpacePressed, &control_, &PlaybackControl::PlayPause);
    connect(slider_, &QSlider::sliderPressed, &control_, &PlaybackControl::ThumbPressed);
    connect(slider_, &QSlider::valueChanged, &control_, &PlaybackControl::SliderValueChanged);
    connect(slider_, &QSlider::sliderReleased, &control_, &PlaybackControl::ThumbReleased);
    connect(slider_, &PositionSlider::TrackPressed, &control_, &PlaybackControl::TrackPressed);
    connect(slider_, &PositionSlider::KeyStepped, &control_, &PlaybackControl::SliderStepped);
    control_.SetView(this);
    if (calls != nullptr) {
        calls_ = std::make_unique<CallsListPlaybackCalls>(*calls);
        control_.SetCalls(calls_.get());
        connect(calls->View(), &CallsListView::PlayPauseRequested, &control_,
                &PlaybackControl::PlayPause);
        // The rows' context menu runs the same buttons.
        calls->SetPlaybackCommands({[this] { play_->trigger(); }, [this] { pause_->trigger(); },
                                    [this] { return control_.Playing(); },
                                    [this] { return control_.Paused(); }});
        panel_ = calls;
    }
}

QWidget* PlaybackBar::ButtonOf(QAction* action) const {
    return buttons_->widgetForAction(action);
}

void PlaybackBar::SetPausedLook(bool paused) {
    pause_->setChecked(paused);
}

PlaybackBar::~PlaybackBar() {
    if (panel_ != nullptr) {
        panel_->SetPlaybackCommands({});
    }
    control_.SetView(nullptr);
    if (calls_) {
        control_.SetCalls(nullptr);
    }
}

void PlaybackBar::SetSliderValue(int percent) {
    // A held thumb stays where the user drags it; the timer's position
    // would make it jump back.
    if (slider_->isSliderDown() && percent != 0) {
        return;
    }
    slider_->setValue(percent);
}

int PlaybackBar::SliderValue() const {
    return slider_->value();
}

void PlaybackBar::SetTimeRunText(const QString& text) {
    timeRun_->setText(text);
}

void PlaybackBar::SetLengthText(const QString& text) {
    length_->setText(text);
}

int CallsListPlaybackCalls::CurrentRow() const {
    return panel_.View()->CurrentRow();
}

void CallsListPlaybackCalls::RefreshCurrentRow() {
    // Shows the current row again without touching a selection of several
    // rows, which Play marks read next.
    CallsListView* view = panel_.View();
    view->scrollTo(view->currentIndex());
    view->viewport()->update();
}

QString CallsListPlaybackCalls::CurrentFolder() const {
    const int row = CurrentRow();
    if (row < 0) {
        return {};
    }
    const auto* model = static_cast<const CallsListModel*>(panel_.View()->model());
    return model->CellText(row, calls_column::kMsgPath);
}

QString CallsListPlaybackCalls::CurrentFileName() const {
    const int row = CurrentRow();
    if (row < 0) {
        return {};
    }
    const auto* model = static_cast<const CallsListModel*>(panel_.View()->model());
    return model->CellText(row, calls_column::kMsgFile);
}

void CallsListPlaybackCalls::MarkSelectedRead() {
    panel_.ButtonClicked(CallsListPanel::kMarkRead);
}

void PlaybackBar::SayNoRecording() {
    ShowMessage(Text(ids::kMsgNoRecording), false);
}

}  // namespace orvane
