#include "translation/show_message.h"

#include <QApplication>
#include <deque>
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

}  // namespace

qint16 ShowMessage(const QString& text, bool ask) {
    QMessageBox box(QApplication::activeWindow());
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

    Seam& seam = TheSeam();
    if (!seam.answers.empty()) {
        const qint16 answer = seam.answers.front();
        seam.answers.pop_front();
        seam.shown.push_back(Describe(box));
        return answer;
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

void CloseOpenQuestions() {
    // A copy: each box leaves the list once its exec() returns.
    const std::vector<QMessageBox*> open = OpenQuestions();
    for (QMessageBox* box : open) {
        box->reject();
    }
}

void SetNextMessageAnswer(qint16 answer) {
    TheSeam().answers.push_back(answer);
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
