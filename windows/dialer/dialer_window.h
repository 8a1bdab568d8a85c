#pragma once
// The dialer (frmDialer): a telephone keypad, the number box with the last
// numbers dialled, the buttons that place a standard or a record call and
// end it, and a status bar the call state machine drives while the call
// runs. It places calls through the function it is given (the program's
// MakeCall) and reflects their progress through DialerView.

#include <QDialog>
#include <QString>
#include <functional>

#include "calls/call_views.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace orvane {

struct CallState;

class DialerWindow final : public QDialog, public DialerView {
  public:
    struct Line {
        // Places a call to an already dialable number; 0 or a result code.
        std::function<qint32(const QString& number)> makeCall;
        // Ends the call on the line.
        std::function<void()> drop;
    };

    // `lastNumbersPath`: the file of the last numbers dialled.
    DialerWindow(CallState& state, Line line, QString lastNumbersPath, QWidget* parent = nullptr);

    // Shows the window modal, in the loaded language, with the last numbers
    // and `number` (if any) in the number box.
    void Open(const QString& number);

    // The buttons: "Make Standard Call", "Make Record Call", "End".
    void PlaceCall(bool record);
    void EndCall();

    // DialerView.
    bool IsLoaded() const override { return isVisible(); }
    void CallReady() override;
    void SetStatusText(const QString& text) override;
    void EnableCallButtons(bool enabled) override;
    void EnableEndButton(bool enabled) override;
    QString NumberText() const override;
    void Unload() override { close(); }

  private:
    void FillNumberList();
    void ApplyTexts();

    CallState& state_;
    Line line_;
    QString lastNumbersPath_;
    QComboBox* number_ = nullptr;
    QPushButton* standardCall_ = nullptr;
    QPushButton* recordCall_ = nullptr;
    QPushButton* end_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace orvane
