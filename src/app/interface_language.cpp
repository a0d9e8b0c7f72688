#include "app/interface_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace app {

InterfaceLanguage::InterfaceLanguage(const QStringList& uiLanguages) {
    for (const QString& tag : uiLanguages) {
        const QLocale locale(tag);
        // An English speaker who also reads Japanese must not get Japanese only because English has no file.
        if (locale.language() == QLocale::English) {
            return;
        }
        if (locale.language() == QLocale::C ||
            !m_own.load(locale, QStringLiteral("vellumpad"), QStringLiteral("_"), QStringLiteral(":/i18n"))) {
            continue;
        }
        QCoreApplication::installTranslator(&m_own);
        // Qt's buttons and dialogs follow in the same language only, so that a window never mixes two languages.
        if (m_qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(&m_qt);
        }
        m_language = tag;
        return;
    }
}

InterfaceLanguage::~InterfaceLanguage() {
    QCoreApplication::removeTranslator(&m_qt);
    QCoreApplication::removeTranslator(&m_own);
}

} // namespace app
