#include "app/player/playback_bar.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QToolBar>

#include "app/calls_list/calls_list_view.h"
#include "calls/list/calls_list_model.h"
#include "core/common_functions.h"
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

void PositionSlider::mousePressEvent(QMouseEvent* event) {
    QSlider::mousePressEvent(event);
    // A press on the thumb holds it down (sliderPressed); any other press
    // in the slider is on its track.
    if (event->button() == Qt::LeftButton && !isSliderDown()) {
        Q_EMIT TrackPressed();
    }
}

void PositionSlider::keyPressEvent(QKeyEvent* event) {
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
    play_ = buttons_->addAction(OwnIcon("media-playback-start"), QString());
    play_->setObjectName(QStringLiteral("tlbrPlayButtons0"));
    stop_ = buttons_->addAction(OwnIcon("media-playback-stop"), QString());
    stop_->setObjectName(QStringLiteral("tlbrPlayButtons1"));
    layout->addWidget(buttons_);

    slider_ = new PositionSlider(this);
    slider_->setObjectName(QStringLiteral("cSlider1"));
    layout->addWidget(slider_, 1);

    // Times, as the audio control's SecondsAsTimeString writes them.
    timeRun_ = new QLabel(SecondsToClock(0), this);
    timeRun_->setObjectName(QStringLiteral("lblTimeRun"));
    layout->addWidget(timeRun_);
    length_ = new QLabel(SecondsToClock(0), this);
    length_->setObjectName(QStringLiteral("lblLength"));
    layout->addWidget(length_);

    connect(play_, &QAction::triggered, &control_, &PlaybackControl::PlayClicked);
    connect(stop_, &QAction::triggered, &control_, &PlaybackControl::StopClicked);
    connect(slider_, &QSlider::sliderPressed, &control_, &PlaybackControl::ThumbPressed);
    connect(slider_, &QSlider::valueChanged, &control_, &PlaybackControl::SliderValueChanged);
    connect(slider_, &QSlider::sliderReleased, &control_, &PlaybackControl::ThumbReleased);
    connect(slider_, &PositionSlider::TrackPressed, &control_, &PlaybackControl::TrackPressed);
    connect(slider_, &PositionSlider::KeyStepped, &control_, &PlaybackControl::SliderStepped);
    control_.SetView(this);
    if (calls != nullptr) {
        calls_ = std::make_unique<CallsListPlaybackCalls>(*calls);
        control_.SetCalls(calls_.get());
    }
}

PlaybackBar::~PlaybackBar() {
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

}  // namespace orvane
