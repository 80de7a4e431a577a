#include "hostapp/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace hostapp {

QStringList installQtTranslations() {
    // qtbase holds the widgets, print support and standard dialogs.
    static const char* const catalogues[] = {"qtbase"};
    static QList<QTranslator*> installed;
    QStringList missing;
    if (!installed.isEmpty()) return missing;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    for (const char* name : catalogues) {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, QString::fromLatin1(name), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            installed << translator;
        } else {
            delete translator;
            missing << QString::fromLatin1(name);
        }
    }
    return missing;
}

} // namespace hostapp
