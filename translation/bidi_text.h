#pragma once
// Unicode isolates that keep a text's word order wherever it is shown: a
// Hebrew sentence holding a Latin word in a widget that lays its paragraph
// out left-to-right, or a Hebrew caller name on the left-to-right ring
// strip. Plain strings, so the call state machine and the widgets share them.

#include <QString>

namespace orvane {

// Whether `text` holds a Hebrew or Arabic letter (or any other letter
// written right-to-left).
bool HasRightToLeftLetters(const QString& text);

// `text` between RIGHT-TO-LEFT ISOLATE and POP DIRECTIONAL ISOLATE when it
// holds right-to-left letters: it then reads right-to-left as a whole,
// whatever direction the widget gives its paragraph. Other texts, and texts
// isolated already, come back unchanged.
QString RightToLeftRun(const QString& text);

// `text` between LEFT-TO-RIGHT ISOLATE and POP DIRECTIONAL ISOLATE, so a
// number or path shown inside right-to-left text keeps its order.
QString LeftToRightIsolate(const QString& text);

// `text` between LEFT-TO-RIGHT ISOLATE and POP DIRECTIONAL ISOLATE when it
// holds right-to-left letters, so it takes part in a left-to-right line
// ("label: value") as a left-to-right text; other texts unchanged.
QString LeftToRightRun(const QString& text);

// A caller as one left-to-right line, "name - number": the name reads in
// its own direction and stays left of the number, for Hebrew names too.
QString CallerLine(const QString& name, const QString& number);

}  // namespace orvane
