#include "preferences/password_store.h"
#include "preferences/preference_view_controller.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using preferences::PreferenceViewController;

namespace {

struct RecordingStore final : preferences::PasswordStore {
    QString getPassword() const override { return password; }
    void setPasswordWithPass(const QString& newPassword) override { stored.append(newPassword); }
    QString password = QStringLiteral(" pässwort 秘密 ");
    QStringList stored;
};

void openDialog(PreferenceViewController& dialog, RecordingStore& store) {
    dialog.viewDidLoad(store);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.tfPassword->text(), store.password);
    QCOMPARE(dialog.tfPassword->echoMode(), QLineEdit::Password);
    QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("showPassword"))->isChecked());
}

QPushButton* button(PreferenceViewController& dialog, QDialogButtonBox::StandardButton which) {
    return dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttons"))->button(which);
}

} // namespace

class PreferenceViewControllerTest : public QObject {
    Q_OBJECT

private slots:
    void saveStoresTheFieldExactlyAndCloses_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("shown");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("blanks kept") << QStringLiteral("  a b  ") << false;
        QTest::newRow("non-ASCII, shown") << QStringLiteral("Grüße 秘密 🔑") << true;
    }

    void saveStoresTheFieldExactlyAndCloses() {
        QFETCH(QString, typed);
        QFETCH(bool, shown);
        RecordingStore store;
        PreferenceViewController dialog;
        openDialog(dialog, store);
        if (shown) {
            auto* show = dialog.findChild<QCheckBox*>(QStringLiteral("showPassword"));
            QTest::mouseClick(show, Qt::LeftButton, {}, QPoint(8, show->height() / 2));
            QCOMPARE(dialog.tfPassword->echoMode(), QLineEdit::Normal);
        }
        dialog.tfPassword->selectAll();
        dialog.tfPassword->insert(typed);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
        QCOMPARE(store.stored, QStringList{typed});
        QVERIFY(!dialog.isVisible());
    }

    void passwordIsHiddenAgainWheneverTheDialogOpens() {
        RecordingStore store;
        PreferenceViewController dialog;
        openDialog(dialog, store);
        auto* show = dialog.findChild<QCheckBox*>(QStringLiteral("showPassword"));
        show->setChecked(true);
        QCOMPARE(dialog.tfPassword->echoMode(), QLineEdit::Normal);
        show->setChecked(false);
        QCOMPARE(dialog.tfPassword->echoMode(), QLineEdit::Password);
        show->setChecked(true);
        dialog.reject();
        openDialog(dialog, store);
    }

    void closingAnyOtherWayStoresNothing() {
        RecordingStore store;
        for (int how = 0; how < 3; ++how) {
            PreferenceViewController dialog;
            openDialog(dialog, store);
            dialog.tfPassword->setText(QStringLiteral("typed but not saved"));
            if (how == 0) {
                QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
            } else if (how == 1) {
                QTest::keyClick(dialog.tfPassword, Qt::Key_Escape);
            } else {
                dialog.close();
            }
            QVERIFY(!dialog.isVisible());
        }
        QVERIFY(store.stored.isEmpty());
    }
};

QTEST_MAIN(PreferenceViewControllerTest)
#include "preference_view_controller_test.moc"
