#pragma once
// The help pages in a window of the program, for desktops that cannot open
// them (no browser, nothing set to open web pages). A line at the top says
// why they are shown here. Links between the help pages stay in the
// window; any other link goes to the desktop.

#include <QString>
#include <QUrl>
#include <QWidget>

class QLabel;
class QTextBrowser;

namespace orvane {

class HelpWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows `page` (a file of the Help folder) and brings the window up.
    void ShowPage(const QUrl& page);
    // Where a link leads: the page of the Help folder it names (shown
    // here), or an empty address for a link that leaves the folder.
    static QUrl HelpPageOf(const QUrl& link, const QUrl& from);

    QTextBrowser* Browser() const { return browser_; }
    QLabel* Note() const { return note_; }

  private:
    void FollowLink(const QUrl& link);

    QLabel* note_ = nullptr;
    QTextBrowser* browser_ = nullptr;
};

// Opens a page of the Help folder: in the desktop's browser, or in the
// program's help window (made once, as a child of `owner`) when the desktop
// cannot. Returns the help window when it is used, otherwise nullptr.
HelpWindow* ShowHelp(const QString& page, QWidget* owner);

}  // namespace orvane
