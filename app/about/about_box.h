#pragma once
// The about box: the program's name and version, its audio engine's
// version, its licence and the libraries it is built on with theirs.

#include <QDialog>

namespace orvane {

class AboutBox final : public QDialog {
    Q_OBJECT
  public:
    explicit AboutBox(QWidget* parent = nullptr);

    // Everything the box says, as plain text lines (the window shows them
    // laid out; tests and the log read them here).
    QString PlainText() const;

  private:
    QStringList lines_;
};

}  // namespace orvane
