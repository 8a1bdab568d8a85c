#pragma once
// What a person is told when the line could not be opened or was lost.

#include <QString>
#include <QtGlobal>

namespace orvane {

// The reason for the control's result `code` in the user's language;
// `controlText` (LineErrText) stands in for the codes without a text of
// their own. `holder` names who holds a port in use ("minicom (PID 1234)").
QString LineProblemText(qint32 code, const QString& controlText, const QString& holder = {});

}  // namespace orvane
