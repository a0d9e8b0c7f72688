#include "preferences/password_store.h"
#include "preferences/preference_view_controller.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>

using preferences::PreferenceViewController;

namespace {

struct RecordingStore final : preferences::PasswordStore {
    QString getPassword() const override { return password; }
    void setPasswordWithPass(const QString& newPassword) override { stored.append(newPassword); }
    QString password = QStringLiteral(" pässwort 秘密 ");
    QStringList stored;
};

// Opens the dialog and checks that it shows the stored password, hidden.
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
    void onlySaveStoresTheFieldExactlyAndEachOpeningHidesThePassword_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("closedBy");
        QTest::newRow("empty") << QString() << false << QStringLiteral("Save");
        QTest::newRow("blanks kept") << QStringLiteral("  a b  ") << false << QStringLiteral("Save");
        QTest::newRow("non-ASCII, shown") << QStringLiteral("Grüße 秘密 🔑") << true << QStringLiteral("Save");
        QTest::newRow("Cancel") << QStringLiteral("not saved") << true << QStringLiteral("Cancel");
        QTest::newRow("Esc") << QStringLiteral("not saved") << true << QStringLiteral("Esc");
        QTest::newRow("closed") << QStringLiteral("not saved") << true << QStringLiteral("close");
    }

    void onlySaveStoresTheFieldExactlyAndEachOpeningHidesThePassword() {
        QFETCH(QString, typed);
        QFETCH(bool, shown);
        QFETCH(QString, closedBy);
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
        if (closedBy == QLatin1String("Esc")) {
            QTest::keyClick(dialog.tfPassword, Qt::Key_Escape);
        } else if (closedBy == QLatin1String("close")) {
            dialog.close();
        } else {
            const bool save = closedBy == QLatin1String("Save");
            QTest::mouseClick(button(dialog, save ? QDialogButtonBox::Save : QDialogButtonBox::Cancel), Qt::LeftButton);
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(store.stored, closedBy == QLatin1String("Save") ? QStringList{typed} : QStringList{});
        // Opened again, it shows the stored password, hidden, whatever was typed or shown before.
        openDialog(dialog, store);
    }

    void everyControlHasANameToSpeak() {
        PreferenceViewController dialog;
        int controls = 0;
        for (QWidget* widget : dialog.findChildren<QWidget*>()) {
            // A field's own buttons are Qt's, inside the field.
            if ((!qobject_cast<QAbstractButton*>(widget) && !qobject_cast<QLineEdit*>(widget)) ||
                qobject_cast<QLineEdit*>(widget->parent())) {
                continue;
            }
            ++controls;
            const QString name = QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
            QVERIFY2(std::any_of(name.begin(), name.end(), [](QChar c) { return c.isLetter(); }),
                     qPrintable(widget->objectName() + QStringLiteral(" is named \"") + name + u'"'));
        }
        QCOMPARE(controls, 4);
    }
};

QTEST_MAIN(PreferenceViewControllerTest)
#include "preference_view_controller_test.moc"
