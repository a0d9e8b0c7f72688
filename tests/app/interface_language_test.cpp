#include "app/interface_language.h"
#include "platform/failure_text.h"
#include "scripted_seams.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLibraryInfo>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

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
        // A failure of the core is said in the window's language too.
        const QTemporaryDir dir;
        QVERIFY(!editor.delegate().openNote(dir.filePath(QStringLiteral("gone.vpd"))));
        QCOMPARE(editor.mainWindow().viewController().problem().startsWith(QStringLiteral("「")), !chosen.isEmpty());
    }

    // Every cause has English words (the tool's) and Japanese ones (the window's).
    void everyFailureIsSaidInEachLanguage() {
        QList<cipher::Failure> failures;
        QStringList english;
        for (int cause = 0; cause <= static_cast<int>(cipher::FailureCause::last); ++cause) {
            for (const cipher::Operation operation : {cipher::Operation::open, cipher::Operation::save}) {
                failures.append({static_cast<cipher::FailureCause>(cause), operation, "/n.vpd", EIO});
                english << platform::FailureText::causeWords(failures.last());
            }
        }
        const app::InterfaceLanguage japanese({QStringLiteral("ja-JP")});
        for (qsizetype i = 0; i < failures.size(); ++i) {
            QVERIFY2(!english[i].isEmpty() && platform::FailureText::causeWords(failures[i]) != english[i] &&
                         !platform::FailureText::sentence(failures[i]).contains(QStringLiteral("Could not")),
                     qPrintable(english[i]));
        }
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
