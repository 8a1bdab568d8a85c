#pragma once
// The bar above the calls list that narrows it: a search field, toggles for
// unread and marked calls, the kind of call and a range of days (off until
// ticked). Every change applies at once to the list's model (CallsFilter);
// Esc anywhere in the bar clears it all and hands the focus back to the
// list. It reads right to left with the language.

#include <QString>
#include <QWidget>

#include "calls/list/calls_filter.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QToolButton;

namespace orvane {

class CallsListModel;

class CallsSearchBar final : public QWidget {
    Q_OBJECT
  public:
    explicit CallsSearchBar(CallsListModel& model, QWidget* parent = nullptr);

    // Ctrl+F, Edit > Find: the field takes the focus, its words selected.
    void FocusSearch();
    // Esc: no words, no filter.
    void Clear();
    // The filter the bar shows.
    CallsFilter Filter() const;

  Q_SIGNALS:
    // Esc cleared the bar: the list takes the focus.
    void Done();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Apply();
    // "Blocked (3)": the kinds without a recording with their counts.
    void ShowUnrecordedCounts();

    CallsListModel& model_;
    QLineEdit* field_ = nullptr;
    QToolButton* unread_ = nullptr;
    QToolButton* marked_ = nullptr;
    QComboBox* kind_ = nullptr;
    QCheckBox* dates_ = nullptr;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    bool clearing_ = false;
};

// "N of M calls" while the model's filter narrows the list; empty when it
// shows every call.
QString ShownCallsText(const CallsListModel& model);

}  // namespace orvane
