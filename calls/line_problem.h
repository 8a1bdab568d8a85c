#pragma once
// What a person is told when the line could not be opened or was lost.

#include <QString>
#include <QtGlobal>

namespace orvane {

// The reason for the control's result `code` in the user's language;
// `controlText` (LineErrText) stands in for the codes without a text of
// their own.
QString LineProblemText(qint32 code, const QString& controlText);

}  // namespace orvane
