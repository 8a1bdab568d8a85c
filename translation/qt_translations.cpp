#include "translation/qt_translations.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QTranslator>

namespace orvane {
namespace {

bool SameName(const QString& a, const QString& b) {
    return !b.isEmpty() && QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

QPointer<QTranslator>& InstalledTranslator() {
    static QPointer<QTranslator> installed;
    return installed;
}

// The locale of the language whose English or own name is `name`.
QString LocaleOfLanguageName(const QString& name) {
    for (int i = QLocale::AnyLanguage + 1; i <= QLocale::LastLanguage; ++i) {
        const auto language = static_cast<QLocale::Language>(i);
        const QLocale locale(language);
        // Languages without locale data fall back to "C".
        if (locale.language() != language) {
            continue;
        }
        if (SameName(name, QLocale::languageToString(language)) ||
            SameName(name, locale.nativeLanguageName())) {
            return locale.name();
        }
    }
    return {};
}

}  // namespace

QString QtLocaleForLanguage(const QString& name) {
    const QString wanted = name.trimmed();
    if (wanted.isEmpty()) {
        return {};
    }
    if (QString byName = LocaleOfLanguageName(wanted); !byName.isEmpty()) {
        return byName;
    }
    // Only a name shaped like a code is read as one: QLocale makes something
    // of almost any text.
    static const QRegularExpression code(QStringLiteral("^[A-Za-z]{2,3}([_-][A-Za-z0-9]{2,8})*$"));
    if (code.match(wanted).hasMatch()) {
        const QLocale locale(wanted);
        if (locale.language() != QLocale::C &&
            SameName(wanted.section(QRegularExpression(QStringLiteral("[_-]")), 0, 0),
                     QLocale::languageToCode(locale.language()))) {
            return locale.name();
        }
    }
    // A variant of a language: "German (formal)", "Hebrew-2".
    static const QRegularExpression notALetter(QStringLiteral("[^\\p{L}]"));
    const QString firstWord = wanted.section(notALetter, 0, 0);
    return firstWord.isEmpty() || firstWord == wanted ? QString() : LocaleOfLanguageName(firstWord);
}

bool UseQtTranslationsFor(const QString& name) {
    // A catalogue of a right-to-left language would turn every window
    // right-to-left; the program's own rules decide which windows turn.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        QGuiApplication::setLayoutDirection(Qt::LeftToRight);
    }
    QPointer<QTranslator>& installed = InstalledTranslator();
    delete installed.data();  // also takes it out of the application
    const QString localeName = QtLocaleForLanguage(name);
    if (localeName.isEmpty() || QCoreApplication::instance() == nullptr) {
        return false;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    // "qt_xx" gathers the catalogues of every Qt module; "qtbase_xx" is
    // the one that matters where a language has no gathering file.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale locale(localeName);
    if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"), folder) &&
        !translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

}  // namespace orvane
