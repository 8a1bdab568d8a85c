#pragma once
// The thin bar above the calls list that names the folder whose calls the
// list shows: the folder's path, shortened in the middle to fit, with the
// whole path as its tool tip. It reads right to left with the language.

#include <QString>
#include <QWidget>

class QLabel;

namespace orvane {

class CallsFolderBar final : public QWidget {
  public:
    explicit CallsFolderBar(QWidget* parent = nullptr);

    // `folder` empty: no recordings folder is set.
    void SetFolder(const QString& folder);
    const QString& Folder() const { return folder_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowPath();

    QString folder_;
    QLabel* caption_ = nullptr;
    QLabel* path_ = nullptr;
};

}  // namespace orvane
