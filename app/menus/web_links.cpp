#include "app/menus/web_links.h"

#include <QDesktopServices>
#include <QDir>

#include "core/paths.h"
#include "core/product.h"

namespace orvane {
namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

}  // namespace

QString WebSiteBase(const QString& stored) {
    const QUrl url(stored.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.hasQuery() ||
        url.hasFragment()) {
        return kDefaultWebSite;
    }
    QString base = url.toString();
    if (!base.endsWith(QLatin1Char('/'))) {
        base += QLatin1Char('/');
    }
    return base;
}

QUrl UpdateCheckUrl(const QString& base) {
    return QUrl(WebSiteBase(base) + QStringLiteral("call-recorder/newversion/CheckForNewVer.asp") +
                    QStringLiteral("?Comment=") +
                    QString::fromLatin1(QUrl::toPercentEncoding(kUpdateCheckComment)) +
                    QStringLiteral("&CurVer=") + product::kVersionText,
                QUrl::StrictMode);
}

QUrl ProductPageUrl(const QString& base) {
    return QUrl(WebSiteBase(base) + QStringLiteral("call-recorder/"), QUrl::StrictMode);
}

QUrl HelpPageUrl(const QString& page) {
    return QUrl::fromLocalFile(QDir::cleanPath(paths::HelpFolder() + QLatin1Char('/') + page));
}

void OpenInBrowser(const QUrl& url) {
    if (Opener()) {
        Opener()(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

UrlOpener SetUrlOpenerForTesting(UrlOpener opener) {
    UrlOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

}  // namespace orvane
