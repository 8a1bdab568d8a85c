#include "app/menus/web_links.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include "core/paths.h"
#include "core/product.h"

namespace orvane {
namespace {

constexpr int kQueryTimeoutMs = 3000;

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

// xdg-open succeeds in starting even where nothing opens HTML files, and
// then fails out of sight; its own query says beforehand. Without xdg-mime
// the desktop's answer to openUrl decides.
bool DesktopOpensHtmlFiles() {
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty()) {
        return true;
    }
    QProcess process;
    process.start(
        query, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!process.waitForFinished(kQueryTimeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return true;
    }
    return process.exitCode() == 0 && !process.readAllStandardOutput().trimmed().isEmpty();
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

bool OpenInBrowser(const QUrl& url) {
    if (Opener()) {
        return Opener()(url);
    }
    if (url.isLocalFile() && !DesktopOpensHtmlFiles()) {
        return false;
    }
    return QDesktopServices::openUrl(url);
}

UrlOpener SetUrlOpenerForTesting(UrlOpener opener) {
    UrlOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

}  // namespace orvane
