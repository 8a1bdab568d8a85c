#pragma once
// Right-to-left layout of the windows that follow the language's reading
// order: the journal viewer, the settings dialog, the dialer, the note
// windows and the information window. Every other window keeps its
// left-to-right layout.

#include <QString>

class QWidget;

namespace orvane {

// When the loaded language is right-to-left: the window, each of its labels
// (also right-aligned) and each of its combo boxes turn right-to-left, except
// inside widgets kept left-to-right. Does nothing otherwise.
void ApplyRightToLeft(QWidget* window);

// Keeps `widget` and everything in it left-to-right whatever the window's
// direction: phone numbers and the dialer keypad read the same in every
// language. May be called before or after ApplyRightToLeft.
void KeepLeftToRight(QWidget* widget);

// `text` between LEFT-TO-RIGHT ISOLATE and POP DIRECTIONAL ISOLATE, so a
// number shown inside right-to-left text keeps its order.
QString LeftToRightIsolate(const QString& text);

}  // namespace orvane
