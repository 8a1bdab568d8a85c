#pragma once
// Colours taken from the palette in use, so that text stays readable on
// light and dark desktops alike.

#include <QColor>
#include <QPalette>

namespace orvane {

// The contrast ratio of two colours as the web's accessibility guidelines
// define it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// `wanted`, moved towards `text` until it reads on `background` (at least
// 4.5:1): a colour that means something (red for a fault) keeps as much of
// its hue as the palette allows.
QColor ReadableColour(const QColor& wanted, const QColor& background, const QColor& text);

// The colour of a call's note under its row: the palette's link colour,
// moved towards the text colour until it reads on the base colour (at
// least 4.5:1), so a dark palette with a dark link colour keeps notes
// readable.
QColor NoteTextColour(const QPalette& palette);

}  // namespace orvane
