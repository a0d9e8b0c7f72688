#include "app/interface_language.h"
#include "scripted_seams.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLibraryInfo>
#include <QMenu>
#include <QPushButton>
#include <QTest>

class InterfaceLanguageTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void windowSpeaksFirstTranslatedLanguage_data() {
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("Japanese") << QStringList{"ja-JP", "ja"} << "ja-JP";
        QTest::newRow("Japanese without a region") << QStringList{"ja"} << "ja";
        QTest::newRow("English") << QStringList{"en-US", "en"} << "";
        QTest::newRow("English before Japanese") << QStringList{"en-GB", "ja-JP"} << "";
        QTest::newRow("untranslated language before Japanese") << QStringList{"fr-FR", "ja-JP"} << "ja-JP";
        QTest::newRow("no translated language") << QStringList{"de-DE", "C"} << "";
        QTest::newRow("no language at all") << QStringList{} << "";
    }

    void windowSpeaksFirstTranslatedLanguage() {
        QFETCH(QStringList, uiLanguages);
        QFETCH(QString, chosen);
        const QStringList fileMenu =
            chosen.isEmpty() ? QStringList{QStringLiteral("&File"), QStringLiteral("Save &As...")}
                             : QStringList{QStringLiteral("ファイル(&F)"), QStringLiteral("名前を付けて保存(&A)…")};

        const app::InterfaceLanguage language(uiLanguages);
        QCOMPARE(language.language(), chosen);
        platform::MemoryPreferences preferences;
        ScriptedPanels panels;
        ScriptedPrompts prompts;
        cipher::MemoryLog log;
        app::Editor editor(preferences, panels, prompts, log);

        auto* menu = editor.mainWindow().findChild<QMenu*>(QStringLiteral("menuFile"));
        const QStringList shown{menu->title(), action(editor, "actionSaveAs")->text()};
        QCOMPARE(shown, fileMenu);
        // The untitled name is the same in every language.
        QVERIFY(editor.mainWindow().windowTitle().startsWith(QStringLiteral("名称未設定")));
        // Started over empty preferences, the editor stores no password of its own accord.
        QVERIFY(!preferences.stringForKey(QString::fromLatin1(platform::passwordKey)));
    }

    void qtDialogsFollowTheTranslatedLanguage() {
        if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ja.qm"))) {
            QSKIP("Qt's own Japanese translation is not installed (Debian package qt6-translations-l10n)");
        }
        const auto cancelText = [] {
            QDialogButtonBox buttons(QDialogButtonBox::Cancel);
            return buttons.button(QDialogButtonBox::Cancel)->text();
        };
        const QString untranslated = cancelText();
        {
            const app::InterfaceLanguage japanese({QStringLiteral("ja-JP")});
            QCOMPARE(cancelText(), QStringLiteral("キャンセル"));
        }
        // A language without our translation leaves Qt's texts in English too, so a window never mixes two.
        const app::InterfaceLanguage french({QStringLiteral("fr-FR")});
        QCOMPARE(cancelText(), untranslated);
    }
};

QTEST_MAIN(InterfaceLanguageTest)
#include "interface_language_test.moc"
