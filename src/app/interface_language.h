#pragma once

#include <QString>
#include <QStringList>
#include <QTranslator>

namespace app {

/// The language of the interface: while it lives, the application's texts, and Qt's own (standard buttons, file
/// dialogs) when Qt's translations are installed, are shown in the first of the user's languages that Vellumpad
/// has a translation for. English, the language of the source texts, needs none.
class InterfaceLanguage {
public:
    /// Installs the translators for the first language in uiLanguages (BCP 47 tags, most preferred first, as
    /// QLocale::uiLanguages() gives them) that is English or has a translation; none for English or when no
    /// language has one. Needs a QCoreApplication.
    explicit InterfaceLanguage(const QStringList& uiLanguages);
    /// Removes the translators again.
    ~InterfaceLanguage();
    InterfaceLanguage(const InterfaceLanguage&) = delete;
    InterfaceLanguage& operator=(const InterfaceLanguage&) = delete;

    /// The language tag whose translation is in use, such as "ja-JP"; empty for the source texts in English.
    [[nodiscard]] QString language() const { return m_language; }

private:
    QTranslator m_own;
    QTranslator m_qt;
    QString m_language;
};

} // namespace app
