#include "app/recorder/recorder_toolbar.h"

#include <QAction>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLCDNumber>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPixmap>
#include <QToolBar>
#include <string>

#include "calls/call_views.h"
#include "telephony/tapi.h"
#include "translation/show_message.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"
#include "ui/palette_colours.h"

namespace orvane {
namespace {

constexpr int kScopeWidth = kScopePoints;
constexpr int kScopeHeight = 46;
constexpr int kIdleLineY = 23;
const QColor kScopeGreen(0, 255, 0);  // colour value 65280

enum class RecorderIcon { Record, Pause, Stop, Listen, EndCall };

// The recorder's icons, drawn rather than shipped, as the calls list's are:
// a red dot, two bars, a square, a loudspeaker and a handset put down.
QIcon DrawRecorderIcon(RecorderIcon icon) {
    constexpr int kSize = 16;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r(2, 2, kSize - 4, kSize - 4);
    painter.setPen(Qt::NoPen);
    switch (icon) {
        case RecorderIcon::Record:
            painter.setBrush(QColor(240, 72, 72));
            painter.drawEllipse(r);
            break;
        case RecorderIcon::Pause:
            painter.setBrush(QColor(125, 133, 144));
            painter.drawRect(QRectF(r.left() + 1, r.top(), 3.5, r.height()));
            painter.drawRect(QRectF(r.right() - 4.5, r.top(), 3.5, r.height()));
            break;
        case RecorderIcon::Stop:
            painter.setBrush(QColor(125, 133, 144));
            painter.drawRect(r.adjusted(1, 1, -1, -1));
            break;
        case RecorderIcon::Listen: {
            QPainterPath speaker;
            speaker.moveTo(r.left(), r.top() + 4);
            speaker.lineTo(r.left() + 3, r.top() + 4);
            speaker.lineTo(r.left() + 7, r.top());
            speaker.lineTo(r.left() + 7, r.bottom());
            speaker.lineTo(r.left() + 3, r.bottom() - 4);
            speaker.lineTo(r.left(), r.bottom() - 4);
            speaker.closeSubpath();
            painter.fillPath(speaker, QColor(61, 134, 224));
            painter.setPen(QPen(QColor(61, 134, 224), 1.3));
            painter.setBrush(Qt::NoBrush);
            painter.drawArc(QRectF(r.left() + 4, r.top() + 2, 6, 8), -60 * 16, 120 * 16);
            painter.drawArc(QRectF(r.left() + 3, r.top(), 9, 12), -60 * 16, 120 * 16);
            break;
        }
        case RecorderIcon::EndCall: {
            painter.setPen(QPen(QColor(240, 72, 72), 3, Qt::SolidLine, Qt::RoundCap));
            painter.drawArc(QRectF(r.left(), r.top() + 3, r.width(), r.height()), 20 * 16,
                            140 * 16);
            break;
        }
    }
    return QIcon(pixmap);
}

QAction* AddButton(QToolBar* toolbar, const QString& name, const QString& tip, bool checkable,
                   RecorderIcon icon) {
    QAction* action = toolbar->addAction(DrawRecorderIcon(icon), tip);
    action->setObjectName(name);
    action->setToolTip(tip);
    action->setCheckable(checkable);
    return action;
}

// An indicator in its colour with its meaning as the tool tip: a fixed
// caption in bold ("Rec", "Pause Rec"), or a round mark where it has none.
QLabel* AddIndicator(QToolBar* toolbar, const QString& name, const QColor& wanted,
                     const QString& tip, const QString& caption = QString()) {
    auto* label = new QLabel(toolbar);
    const QPalette palette = toolbar->palette();
    const QColor colour = ReadableColour(wanted, palette.color(QPalette::Window),
                                         palette.color(QPalette::WindowText));
    label->setObjectName(name);
    label->setToolTip(tip);
    if (!caption.isEmpty()) {
        label->setText(caption);
        label->setTextFormat(Qt::PlainText);
        // A style sheet: the toolbar's style would draw over a palette.
        label->setStyleSheet(
            QStringLiteral("QLabel { color: %1; font-weight: bold; margin: 0 4px; }")
                .arg(colour.name()));
    } else {
        QPixmap mark(12, 12);
        mark.fill(Qt::transparent);
        {
            QPainter painter(&mark);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(colour);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(1, 1, 10, 10);
        }
        label->setPixmap(mark);
    }
    QAction* action = toolbar->addWidget(label);
    action->setObjectName(name + QStringLiteral("Action"));
    return label;
}

void SetVisible(QWidget* label, bool visible) {
    // A widget in a toolbar is shown and hidden through its action.
    for (QAction* action : label->parentWidget()->actions()) {
        if (action->objectName() == label->objectName() + QStringLiteral("Action")) {
            action->setVisible(visible);
        }
    }
    label->setProperty("shown", visible);
}

}  // namespace

Scope::Scope(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("Scope"));
    setFixedSize(kScopeWidth, kScopeHeight);
}

void Scope::Show(const std::array<int, kScopePoints>& levels) {
    QImage image(kScopeWidth, kScopeHeight, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.setPen(QPen(kScopeGreen, 2));
        for (int x = 0; x < kScopePoints; ++x) {
            painter.drawPoint(x, levels[x]);
        }
    }
    setPixmap(QPixmap::fromImage(image));
}

void Scope::DrawIdleLine() {
    std::array<int, kScopePoints> levels;
    levels.fill(kIdleLineY);
    Show(levels);
}

void Scope::DrawLevels(const uint8_t* bytes, qint32 size) {
    Show(ScopeLevels(bytes, size, height()));
}

RecorderToolbar::RecorderToolbar(QWidget* window, CallView& calls)
    : calls_(calls), toolbar_(new QToolBar(window)) {
    toolbar_->setObjectName(QStringLiteral("cToolbarRecorder"));
    // Icons with their texts as tool tips: five words side by side would
    // push the time and the level display off a narrow window.
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar_->addSeparator();
    record_ = AddButton(toolbar_, QStringLiteral("Record"), Text(ids::kTipRecord), true,
                        RecorderIcon::Record);
    pause_ = AddButton(toolbar_, QStringLiteral("Pause"), Text(ids::kTipPause), true,
                       RecorderIcon::Pause);
    stop_ = AddButton(toolbar_, QStringLiteral("Stop"), Text(ids::kTipStopRecording), false,
                      RecorderIcon::Stop);
    listen_ = AddButton(toolbar_, QStringLiteral("Listen"), Text(ids::kTipListen), true,
                        RecorderIcon::Listen);
    toolbar_->addSeparator();
    endCall_ = AddButton(toolbar_, QStringLiteral("EndCall"), Text(ids::kTipEndCall), false,
                         RecorderIcon::EndCall);
    toolbar_->addSeparator();
    lblRec_ = AddIndicator(toolbar_, QStringLiteral("lblRec"), QColor(200, 0, 0),
                           Text(ids::kTipRecord), Text(ids::kIndicatorRec));
    lblPause_ = AddIndicator(toolbar_, QStringLiteral("lblPause"), QColor(200, 110, 0),
                             Text(ids::kTipPause), Text(ids::kIndicatorPauseRec));
    lblPreScreen_ = AddIndicator(toolbar_, QStringLiteral("lblPreScreen"), QColor(0, 120, 255),
                                 Text(ids::kTipListen));
    // The running time is data, shown as digits.
    lblTimeRec_ = new QLCDNumber(7, toolbar_);
    lblTimeRec_->setObjectName(QStringLiteral("lblTimeRec"));
    lblTimeRec_->setSegmentStyle(QLCDNumber::Flat);
    lblTimeRec_->display(QStringLiteral("0:00:00"));
    toolbar_->addWidget(lblTimeRec_);
    scope_ = new Scope(toolbar_);
    toolbar_->addWidget(scope_);
    ShowRec(false);
    ShowPause(false);
    ShowPreScreen(false);
}

void RecorderToolbar::Connect(RecorderControl& control) {
    QObject::connect(record_, &QAction::triggered, toolbar_,
                     [&control] { control.RecordClicked(); });
    QObject::connect(pause_, &QAction::triggered, toolbar_, [&control] { control.PauseClicked(); });
    QObject::connect(stop_, &QAction::triggered, toolbar_, [&control] { control.StopClicked(); });
    QObject::connect(listen_, &QAction::triggered, toolbar_,
                     [&control] { control.ListenClicked(); });
    QObject::connect(endCall_, &QAction::triggered, toolbar_,
                     [&control] { control.EndCallClicked(); });
}

QString RecorderToolbar::TimeText() const {
    return timeText_;
}

bool RecorderToolbar::IsRecordPressed() const {
    return record_->isChecked();
}
bool RecorderToolbar::IsPausePressed() const {
    return pause_->isChecked();
}
bool RecorderToolbar::IsListenPressed() const {
    return listen_->isChecked();
}
void RecorderToolbar::SetRecordPressed(bool pressed) {
    record_->setChecked(pressed);
}
void RecorderToolbar::SetPausePressed(bool pressed) {
    pause_->setChecked(pressed);
}
void RecorderToolbar::SetListenPressed(bool pressed) {
    listen_->setChecked(pressed);
}
void RecorderToolbar::ShowRec(bool visible) {
    SetVisible(lblRec_, visible);
}
void RecorderToolbar::ShowPause(bool visible) {
    SetVisible(lblPause_, visible);
}
void RecorderToolbar::ShowPreScreen(bool visible) {
    SetVisible(lblPreScreen_, visible);
}
void RecorderToolbar::SetTimeText(const QString& text) {
    timeText_ = text;
    lblTimeRec_->display(text);
}
void RecorderToolbar::SetCallStatus(const QString& text) {
    if (callStatus_) {
        callStatus_(text);
    }
}
void RecorderToolbar::ReportProblem(const QString& text) {
    if (problem_) {
        problem_(text);
    }
}
void RecorderToolbar::ReportFailure(const QString& text) {
    if (failure_) {
        failure_(text);
    } else if (problem_) {
        problem_(text);
    }
}
void RecorderToolbar::Inform(const QString& text) {
    calls_.Inform(text);
}
void RecorderToolbar::Ask(const QString& question, std::function<void(bool yes)> answered) {
    calls_.Ask(question, std::move(answered));
}

void RecorderToolbar::CloseQuestion() {
    CloseOpenQuestions();
}
void RecorderToolbar::DrawIdleLine() {
    scope_->DrawIdleLine();
}

qint32 Wave1Adapter::StartRecordACM(qint32 device, const QString& path,
                                    const sonvel::WaveFormat& input,
                                    const sonvel::WaveFormat& codec, qint32 bufferSize) {
    sonvel::Wave* wave = wave_();
    if (wave == nullptr) {
        return sonvel::kWaveErrNotWaveFile;
    }
    sonvel::WaveFormat in = input;
    sonvel::WaveFormat out = codec;
    int32_t size = bufferSize;
    sonvel::Bool16 visIn = sonvel::kTrue;
    return wave->StartRecordACM(device, QFile::encodeName(path).toStdString(), in, out, size,
                                visIn);
}
void Wave1Adapter::StopRecord() {
    if (sonvel::Wave* wave = wave_()) {
        wave->StopRecord();
    }
}
void Wave1Adapter::PauseIn() {
    if (sonvel::Wave* wave = wave_()) {
        wave->PauseIn();
    }
}
void Wave1Adapter::UnPauseIn() {
    if (sonvel::Wave* wave = wave_()) {
        wave->UnPauseIn();
    }
}
bool Wave1Adapter::IsPausedIn() const {
    sonvel::Wave* wave = wave_();
    return wave != nullptr && wave->IsPausedIn() != sonvel::kFalse;
}
bool Wave1Adapter::IsRecording() const {
    sonvel::Wave* wave = wave_();
    return wave != nullptr && wave->Recording() != sonvel::kFalse;
}
bool Wave1Adapter::IsPreScreen() const {
    sonvel::Wave* wave = wave_();
    return wave != nullptr && wave->IsPreScreen() != sonvel::kFalse;
}
qint32 Wave1Adapter::OpenPreScreen(const sonvel::WaveFormat& format, qint32 device) {
    sonvel::Wave* wave = wave_();
    if (wave == nullptr) {
        return sonvel::kWaveErrNotWaveFile;
    }
    sonvel::WaveFormat copy = format;
    return wave->OpenPreScreen(copy, device);
}
qint32 Wave1Adapter::ClosePreScreen() {
    sonvel::Wave* wave = wave_();
    return wave == nullptr ? 0 : wave->ClosePreScreen();
}
QString Wave1Adapter::WaveInErrText(qint32 code) const {
    sonvel::Wave* wave = wave_();
    return wave == nullptr ? QString() : QString::fromStdString(wave->WaveInErrText(code));
}
QString Wave1Adapter::DurationText(const QString& path) {
    sonvel::Wave* wave = wave_();
    if (wave == nullptr) {
        return QString();
    }
    sonvel::WaveFileDetails details;
    if (wave->GetDetailsWaveFile(QFile::encodeName(path).toStdString(), details) != 0) {
        return QString();
    }
    int32_t seconds = details.SecondsLength;
    return QString::fromStdString(wave->SecondsAsTimeString(seconds));
}

bool TapiLineAdapter::CallActive() const {
    return tapi_ != nullptr && tapi_->CallActive();
}
qint32 TapiLineAdapter::WaveInDevice() const {
    return tapi_ == nullptr ? -1 : tapi_->GetWaveID(1);
}
qint32 TapiLineAdapter::LineAnswer() {
    return tapi_ == nullptr ? -1 : tapi_->LineAnswer();
}
QString TapiLineAdapter::LineErrText(qint32 code) const {
    return tapi_ == nullptr ? QString() : tapi_->LineErrText(code);
}
qint32 TapiLineAdapter::LineIndex() const {
    return tapi_ == nullptr ? 0 : tapi_->LineIndex();
}

}  // namespace orvane
