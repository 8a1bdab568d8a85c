#pragma once
// Where words land when a text is laid out as a widget lays out its one
// line, so tests can tell a sentence that reads in order from a scrambled
// one without looking at pixels.

#include <QFont>
#include <QString>
#include <QStringList>
#include <QTextLayout>
#include <QTextOption>
#include <vector>

namespace orvane::testing {

// The horizontal place of each of `words` (its middle), looked for one after the other
// in `text`, with `text` laid out alone in a paragraph of `direction`
// (Qt::LayoutDirectionAuto: taken from the text, as a label does). A word
// not found gives -1.
inline std::vector<qreal> WordMiddles(const QString& text, const QStringList& words,
                                      Qt::LayoutDirection direction) {
    QTextLayout layout(text, QFont());
    QTextOption option;
    option.setTextDirection(direction);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(100000);
    layout.endLayout();
    std::vector<qreal> middles;
    qsizetype from = 0;
    for (const QString& word : words) {
        const qsizetype at = text.indexOf(word, from);
        if (at < 0) {
            middles.push_back(-1);
            continue;
        }
        from = at + word.size();
        // A cursor inside a word has one place; one at its edge may stand
        // at either end of a run of the other direction.
        const int inside = static_cast<int>(at + word.size() / 2);
        middles.push_back(word.size() > 1 ? line.cursorToX(inside)
                                          : (line.cursorToX(static_cast<int>(at)) +
                                             line.cursorToX(static_cast<int>(from))) /
                                                2);
    }
    return middles;
}

// Whether `words` stand from right to left (`rightToLeft`) or from left to
// right, in the order given.
inline bool InReadingOrder(const std::vector<qreal>& middles, bool rightToLeft) {
    for (size_t i = 0; i + 1 < middles.size(); ++i) {
        if (middles[i] < 0 || middles[i + 1] < 0 ||
            (rightToLeft ? middles[i] <= middles[i + 1] : middles[i] >= middles[i + 1])) {
            return false;
        }
    }
    return true;
}

}  // namespace orvane::testing
