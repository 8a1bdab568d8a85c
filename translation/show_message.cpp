#include "translation/show_message.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <deque>
#include <optional>
#include <vector>

#include "core/product.h"
#include "translation/right_to_left.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

struct Seam {
    std::deque<qint16> answers;
    std::vector<ShownMessage> shown;
};

// The Yes/No boxes open now, innermost last.
std::vector<QMessageBox*>& OpenQuestions() {
    static std::vector<QMessageBox*> open;
    return open;
}

// The boxes of AskQuestion open now, oldest first.
std::vector<QMessageBox*>& AsyncQuestions() {
    static std::vector<QMessageBox*> open;
    return open;
}

Seam& TheSeam() {
    static Seam seam;
    return seam;
}

ShownMessage Describe(const QMessageBox& box) {
    return {box.text(),
            box.windowTitle(),
            box.icon(),
            box.standardButtons(),
            box.layoutDirection(),
            box.textFormat()};
}

// Every box of the program looks alike: captioned with the application
// title, plain text, in the language's direction.
void BuildBox(QMessageBox& box, const QString& text, bool ask) {
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(product::kApplicationTitle);
    // Messages carry file names and other outside text: never markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(ask ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    if (IsRightToLeft()) {
        box.setLayoutDirection(Qt::RightToLeft);
        IsolateRightToLeftTexts(&box);
    }
}

// The seam's queued answer, if any, recording the box it stands for.
std::optional<qint16> TakeSeamAnswer(const QMessageBox& box) {
    Seam& seam = TheSeam();
    if (seam.answers.empty()) {
        return std::nullopt;
    }
    const qint16 answer = seam.answers.front();
    seam.answers.pop_front();
    seam.shown.push_back(Describe(box));
    return answer;
}

}  // namespace

qint16 ShowMessage(const QString& text, bool ask) {
    QMessageBox box(QApplication::activeWindow());
    BuildBox(box, text, ask);
    if (const std::optional<qint16> answer = TakeSeamAnswer(box)) {
        return *answer;
    }

    if (ask) {
        OpenQuestions().push_back(&box);
    }
    box.exec();
    if (ask) {
        std::erase(OpenQuestions(), &box);
    }
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    if (!ask) {
        return kAnswerOk;
    }
    return pressed == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
}

void AskQuestion(const QString& text, std::function<void(bool yes)> answered) {
    auto* box = new QMessageBox(QApplication::activeWindow());
    BuildBox(*box, text, true);
    if (const std::optional<qint16> answer = TakeSeamAnswer(*box)) {
        delete box;
        // Still an event, as a real answer is: never inside the asker's call.
        QTimer::singleShot(0, qApp, [answered = std::move(answered), yes = *answer == kAnswerYes] {
            answered(yes);
        });
        return;
    }
    OpenQuestions().push_back(box);
    AsyncQuestions().push_back(box);
    // A box gone with its window has no answer left to give.
    QObject::connect(box, &QObject::destroyed, [box] {
        std::erase(OpenQuestions(), box);
        std::erase(AsyncQuestions(), box);
    });
    QObject::connect(box, &QDialog::finished, box, [box, answered = std::move(answered)](int) {
        std::erase(OpenQuestions(), box);
        std::erase(AsyncQuestions(), box);
        const bool yes = box->standardButton(box->clickedButton()) == QMessageBox::Yes;
        box->deleteLater();
        answered(yes);
    });
    box->open();
}

void CloseOpenQuestions() {
    // A copy: each box leaves the list once its exec() returns or it finishes.
    const std::vector<QMessageBox*> open = OpenQuestions();
    for (QMessageBox* box : open) {
        box->reject();
    }
}

void SetNextMessageAnswer(qint16 answer) {
    TheSeam().answers.push_back(answer);
}

bool AnswerOpenQuestion(qint16 answer) {
    if (AsyncQuestions().empty()) {
        return false;
    }
    QMessageBox* box = AsyncQuestions().front();
    box->button(answer == kAnswerYes ? QMessageBox::Yes : QMessageBox::No)->click();
    return true;
}

std::vector<ShownMessage> TakeShownMessages() {
    std::vector<ShownMessage> shown;
    shown.swap(TheSeam().shown);
    return shown;
}

void ResetMessageSeam() {
    TheSeam().answers.clear();
    TheSeam().shown.clear();
}

}  // namespace orvane
