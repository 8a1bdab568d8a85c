#pragma once
// The addresses the Help menu opens (the help pages in the program folder,
// the update check and the product page) and the one place that hands an
// address to the desktop's browser, replaceable in tests.

#include <QString>
#include <QUrl>
#include <functional>

namespace orvane {

// The maker's site when the setting holds none.
inline const QString kDefaultWebSite = QStringLiteral("https://www.quenzo.com/");
// Sent with the update check so the page knows which build asks.
inline const QString kUpdateCheckComment = QStringLiteral("linux");

// The site address from its setting: an absolute http or https address,
// ending in "/"; anything else (empty, another scheme, not an address)
// gives kDefaultWebSite.
QString WebSiteBase(const QString& stored);
// base + "call-recorder/newversion/CheckForNewVer.asp?Comment=<comment>&CurVer=<version>"
QUrl UpdateCheckUrl(const QString& base);
// base + "call-recorder/"
QUrl ProductPageUrl(const QString& base);
// The file address of a page in the program folder's Help folder.
QUrl HelpPageUrl(const QString& page);

// Opens `url` in the desktop's browser; false when the desktop cannot: no
// program to open it with (for a page of the program folder, nothing set
// to open HTML files), or the desktop refused.
bool OpenInBrowser(const QUrl& url);
// Replaces how OpenInBrowser opens an address (an empty function brings the
// desktop back); returns the one it replaces.
using UrlOpener = std::function<bool(const QUrl& url)>;
UrlOpener SetUrlOpenerForTesting(UrlOpener opener);

}  // namespace orvane
