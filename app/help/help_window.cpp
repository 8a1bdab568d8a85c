#include "app/help/help_window.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/menus/web_links.h"
#include "core/paths.h"
#include "translation/right_to_left.h"
#include "translation/string_ids.h"
#include "translation/string_table.h"

namespace orvane {
namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 560;

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("lblHelpShownHere"));
    note_->setWordWrap(true);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("txtHelp"));
    // Every link is decided here: help pages in the window, the rest on
    // the desktop.
    browser_->setOpenLinks(false);
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::FollowLink);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(browser_, 1);
    resize(kWidth, kHeight);
}

void HelpWindow::ShowPage(const QUrl& page) {
    setWindowTitle(Text(ids::kMenuHelpContents));
    note_->setText(Text(ids::kHelpShownHere));
    note_->setVisible(!note_->text().isEmpty());
    ApplyRightToLeft(this);
    browser_->setSource(page, QTextDocument::HtmlResource);
    show();
    raise();
    activateWindow();
}

QUrl HelpWindow::HelpPageOf(const QUrl& link, const QUrl& from) {
    const QUrl target = from.resolved(link);
    if (!target.isLocalFile()) {
        return {};
    }
    const QString folder = QDir(paths::HelpFolder()).canonicalPath();
    const QFileInfo file(target.toLocalFile());
    const QString path = file.canonicalFilePath();
    // Only existing files of the Help folder itself; a link out of it (or
    // through a planted link) is not followed.
    if (folder.isEmpty() || path.isEmpty() || QFileInfo(path).dir().canonicalPath() != folder) {
        return {};
    }
    QUrl page = QUrl::fromLocalFile(path);
    page.setFragment(target.fragment());
    return page;
}

void HelpWindow::FollowLink(const QUrl& link) {
    const QUrl from = browser_->source();
    if (link.isRelative() || link.isLocalFile()) {
        const QUrl page = HelpPageOf(link, from);
        if (!page.isEmpty()) {
            browser_->setSource(page, QTextDocument::HtmlResource);
        }
        return;
    }
    OpenInBrowser(link);
}

HelpWindow* ShowHelp(const QString& page, QWidget* owner) {
    const QUrl url = HelpPageUrl(page);
    if (OpenInBrowser(url)) {
        return nullptr;
    }
    auto* window = owner != nullptr ? owner->findChild<HelpWindow*>() : nullptr;
    if (window == nullptr) {
        window = new HelpWindow(owner);
    }
    window->ShowPage(url);
    return window;
}

}  // namespace orvane
