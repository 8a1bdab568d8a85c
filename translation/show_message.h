#pragma once
// The program's translated message box: every message the program shows in
// its own words goes through ShowMessage, so all of them read in the
// language's direction and tests can answer them without a screen.

#include <QMessageBox>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

namespace orvane {

// Results, as the program has always numbered them.
inline constexpr qint16 kAnswerOk = 1;
inline constexpr qint16 kAnswerYes = 6;
inline constexpr qint16 kAnswerNo = 7;

// A modal information box captioned with the application title: Yes and No
// when `ask`, else OK. Returns the button pressed (closing a Yes/No box
// counts as No). Right-to-left when the loaded language is.
qint16 ShowMessage(const QString& text, bool ask);

// The same Yes/No box, but it does not wait: it opens window-modal without
// a loop of its own, so line events go on while the user thinks, and
// `answered` runs once later with true for Yes (closing it counts as No).
void AskQuestion(const QString& text, std::function<void(bool yes)> answered);

// Closes every Yes/No box ShowMessage or AskQuestion has open, each
// answering No: a question about a call must not outlive the call.
void CloseOpenQuestions();

// The box ShowMessage built, as a test sees it.
struct ShownMessage {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::LayoutDirection direction = Qt::LeftToRight;
    Qt::TextFormat format = Qt::AutoText;
};

// Test seam. While answers are queued, ShowMessage shows nothing: it takes
// the oldest answer, returns it and records the box it would have shown.
// AskQuestion does the same, passing the answer on from the event loop.
void SetNextMessageAnswer(qint16 answer);
// Presses Yes (kAnswerYes) or No on the oldest box AskQuestion has open;
// false when none is open.
bool AnswerOpenQuestion(qint16 answer);
// The boxes recorded since the last call, oldest first.
std::vector<ShownMessage> TakeShownMessages();
// Drops queued answers and recorded boxes.
void ResetMessageSeam();

}  // namespace orvane
