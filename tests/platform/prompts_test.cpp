#include "platform/prompts.h"

#include <QDialog>
#include <QInputDialog>
#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <functional>
#include <memory>

using MakeBox = std::function<std::unique_ptr<QDialog>()>;
Q_DECLARE_METATYPE(MakeBox)

// The boxes as they are configured, opened without exec().
class PromptsTest : public QObject {
    Q_OBJECT

private slots:
    void everyButtonHasItsOwnMnemonic_data() {
        QTest::addColumn<MakeBox>("make");
        QTest::addColumn<int>("buttons");
        QTest::newRow("unsaved changes") << MakeBox([] { return platform::makeUnsavedChangesBox(nullptr, "n.vpd"); })
                                         << 3;
        QTest::newRow("new password") << MakeBox([] { return platform::makeNewPasswordBox(nullptr); }) << 2;
        QTest::newRow("overwrite") << MakeBox([] {
            return platform::makeOverwriteBox(nullptr, "/n.vpd", platform::OverwriteReason::ReadOnly);
        }) << 3;
        QTest::newRow("password") << MakeBox([] {
            return platform::makeMaskedTextBox(nullptr, "t", "l", "refused", QObject::tr("&Open"));
        }) << 2;
    }

    void everyButtonHasItsOwnMnemonic() {
        QFETCH(MakeBox, make);
        QFETCH(int, buttons);
        const std::unique_ptr<QDialog> box = make();
        box->open();
        QSet<QKeySequence> keys;
        int shown = 0;
        for (const QPushButton* button : box->findChildren<QPushButton*>()) {
            if (!button->isVisible()) {
                continue;
            }
            ++shown;
            const QKeySequence key = QKeySequence::mnemonic(button->text());
            QVERIFY2(!key.isEmpty(), qPrintable(button->text()));
            keys.insert(key);
        }
        QCOMPARE(shown, buttons);
        QCOMPARE(keys.size(), buttons);
        box->reject();
    }
};

QTEST_MAIN(PromptsTest)
#include "prompts_test.moc"
