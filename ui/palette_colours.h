#pragma once
// Colours taken from the palette in use, so that text stays readable on
// light and dark desktops alike.

#include <QColor>
#include <QPalette>

namespace orvane {

// The contrast ratio of two colours as the web's accessibility guidelines
// define it: 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// The colour of a call's note under its row: the palette's link colour,
// moved towards the text colour until it reads on the base colour (at
// least 4.5:1), so a dark palette with a dark link colour keeps notes
// readable.
QColor NoteTextColour(const QPalette& palette);

}  // namespace orvane
