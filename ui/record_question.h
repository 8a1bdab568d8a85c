#pragma once
// The "ask" rule's question in the caller display: "Record this call?" with
// a button for each answer; once answered, the choice and a button that
// changes it, until the call ends.

#include <QWidget>

#include "calls/call_views.h"

class QLabel;
class QPushButton;

namespace orvane {

class RecordQuestionBar : public QWidget {
    Q_OBJECT
  public:
    explicit RecordQuestionBar(QWidget* parent = nullptr);

    // Hidden for kHidden; the texts are read from the string table here, so
    // a language change shows with the next call.
    void Show(RecordQuestion state);
    RecordQuestion State() const { return state_; }

  Q_SIGNALS:
    void Answered(bool keep);

  private:
    RecordQuestion state_ = RecordQuestion::kHidden;
    QLabel* text_ = nullptr;
    QPushButton* keep_ = nullptr;
    QPushButton* discard_ = nullptr;
};

}  // namespace orvane
