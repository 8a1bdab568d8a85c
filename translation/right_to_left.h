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
// inside widgets kept left-to-right, and its texts are isolated as
// IsolateRightToLeftTexts does. Does nothing otherwise.
void ApplyRightToLeft(QWidget* window);

// Puts the right-to-left texts of `window`'s labels, buttons (push buttons,
// check boxes, radio buttons) and group box titles in a right-to-left
// isolate (bidi_text.h), so a Hebrew sentence holding a Latin word reads in
// order even where a widget lays its text out left-to-right (check boxes
// do, and so does every widget of a left-to-right window). Rich text and
// texts without right-to-left letters stay as they are. Windows that keep
// a left-to-right layout in every language call it themselves.
void IsolateRightToLeftTexts(QWidget* window);

// Keeps `widget` and everything in it left-to-right whatever the window's
// direction: phone numbers and the dialer keypad read the same in every
// language. May be called before or after ApplyRightToLeft.
void KeepLeftToRight(QWidget* widget);

}  // namespace orvane
