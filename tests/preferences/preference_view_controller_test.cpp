#include "../window/readability.h"
#include "preferences/password_store.h"
#include "preferences/preference_view_controller.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using preferences::PreferenceViewController;

namespace {

struct RecordingStore final : preferences::PasswordStore {
    QString getPassword() const override { return password; }
    bool setPasswordWithPass(const QString& newPassword) override {
        if (refuse) {
            return false;
        }
        stored.append(newPassword);
        return true;
    }
    std::optional<platform::PasswordPlace> passwordPlace() const override { return place; }
    std::optional<QString> keepPasswordIn(platform::PasswordPlace to, const std::optional<QString>& moved) override {
        moves.append({to, moved});
        if (moveProblem.isEmpty()) {
            place = to;
            return std::nullopt;
        }
        return moveProblem;
    }
    QString password = QStringLiteral(" pässwort 秘密 ");
    QStringList stored;
    bool refuse = false;
    platform::PasswordPlace place = platform::PasswordPlace::preferencesFile;
    QList<QPair<platform::PasswordPlace, std::optional<QString>>> moves;
    QString moveProblem;
};

// Opens the dialog and checks that both fields show the stored password, hidden.
void openDialog(PreferenceViewController& dialog, RecordingStore& store) {
    dialog.viewDidLoad(store);
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (QLineEdit* field : {dialog.tfPassword.data(), dialog.tfRepeat}) {
        QCOMPARE(field->text(), store.password);
        QCOMPARE(field->echoMode(), QLineEdit::Password);
    }
    QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("showPassword"))->isChecked());
    QVERIFY(!dialog.findChild<QLabel*>(QStringLiteral("mismatch"))->isVisible());
}

QPushButton* button(PreferenceViewController& dialog, QDialogButtonBox::StandardButton which) {
    return dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttons"))->button(which);
}

} // namespace

class PreferenceViewControllerTest : public QObject {
    Q_OBJECT

    // What is typed in each field, whether it is shown, and the button that closes the dialog.
    using FieldsRow = std::tuple<QString, QString, bool, QString>;

    const QPalette m_themePalette = QApplication::palette();

private slots:
    void cleanup() { QApplication::setPalette(m_themePalette); }

    void onlySaveStoresTheFieldExactlyAndEachOpeningHidesThePassword_data() {
        QTest::addColumn<FieldsRow>("row");
        QTest::newRow("empty") << FieldsRow{{}, {}, false, "Save"};
        QTest::newRow("blanks kept") << FieldsRow{"  a b  ", "  a b  ", false, "Save"};
        QTest::newRow("non-ASCII, shown") << FieldsRow{"Grüße 秘密 🔑", "Grüße 秘密 🔑", true, "Save"};
        QTest::newRow("repeat differs by a blank") << FieldsRow{"a b", "a b ", false, "Save"};
        QTest::newRow("repeat left as it was") << FieldsRow{"new", {}, true, "Save"};
        QTest::newRow("Cancel") << FieldsRow{"not saved", "not saved", true, "Cancel"};
    }

    void onlySaveStoresTheFieldExactlyAndEachOpeningHidesThePassword() {
        QFETCH(FieldsRow, row);
        const auto& [typed, repeated, shown, closedBy] = row;
        RecordingStore store;
        PreferenceViewController dialog;
        openDialog(dialog, store);
        if (shown) {
            auto* show = dialog.findChild<QCheckBox*>(QStringLiteral("showPassword"));
            QTest::mouseClick(show, Qt::LeftButton, {}, QPoint(8, show->height() / 2));
            QCOMPARE(dialog.tfPassword->echoMode(), QLineEdit::Normal);
            QCOMPARE(dialog.tfRepeat->echoMode(), QLineEdit::Normal);
        }
        dialog.tfPassword->selectAll();
        dialog.tfPassword->insert(typed);
        // "Left as it was" keeps the stored password in the repeat field.
        if (!repeated.isEmpty() || typed.isEmpty()) {
            dialog.tfRepeat->selectAll();
            dialog.tfRepeat->insert(repeated);
        }
        if (dialog.tfRepeat->text() != typed) {
            // Save refuses and says why until the two match; then it stores the password as typed.
            QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
            QVERIFY(dialog.isVisible());
            QVERIFY(store.stored.isEmpty());
            auto* mismatch = dialog.findChild<QLabel*>(QStringLiteral("mismatch"));
            QVERIFY(mismatch->isVisible());
            dialog.tfRepeat->setText(typed);
            QVERIFY(!mismatch->isVisible());
        }
        const bool save = closedBy == QLatin1String("Save");
        QTest::mouseClick(button(dialog, save ? QDialogButtonBox::Save : QDialogButtonBox::Cancel), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(store.stored, closedBy == QLatin1String("Save") ? QStringList{typed} : QStringList{});
        // Opened again, it shows the stored password, hidden, whatever was typed or shown before.
        openDialog(dialog, store);
    }

    void aRefusedPasswordKeepsTheDialogOpenAndSaysSoReadably_data() { addLightAndDarkPaletteRows(); }

    void aRefusedPasswordKeepsTheDialogOpenAndSaysSoReadably() {
        QFETCH(QPalette, palette);
        QApplication::setPalette(palette);
        RecordingStore store;
        store.refuse = true;
        PreferenceViewController dialog;
        openDialog(dialog, store);
        dialog.tfPassword->setText(QStringLiteral("new"));
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
        // The dialog tints both its warnings, this and the refusal below, with the one warning colour.
        const QImage mismatch = dialog.findChild<QLabel*>(QStringLiteral("mismatch"))->grab().toImage();
        const double mismatchContrast =
            strongestContrast(mismatch, mismatch.rect(), [&](int, int) { return palette.color(QPalette::Window); });
        QVERIFY2(mismatchContrast >= 4.5, qPrintable(QString::number(mismatchContrast)));

        dialog.tfRepeat->setText(QStringLiteral("new"));
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        auto* problem = dialog.findChild<QLabel*>(QStringLiteral("storeProblem"));
        QVERIFY(problem->isVisible());
        QVERIFY2(problem->text().contains(QStringLiteral("could not be stored")), qPrintable(problem->text()));
        QCOMPARE(dialog.tfPassword->text(), QStringLiteral("new"));

        // Once the store takes it, the dialog closes, and it opens again without the old message.
        store.refuse = false;
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(store.stored, QStringList{QStringLiteral("new")});
        store.password = QStringLiteral("new");
        openDialog(dialog, store);
        QVERIFY(!problem->isVisible());
    }

    void everyControlHasANameToSpeak() {
        PreferenceViewController dialog;
        QCOMPARE(checkControlsAreNamed(dialog), 10);
    }

    // A password kept in the keyring or nowhere is never shown: the fields are empty, and left so they keep it.
    void choosingAnotherPlaceMovesThePasswordOrSaysWhyNot() {
        RecordingStore store;
        PreferenceViewController dialog;
        openDialog(dialog, store);
        dialog.findChild<QAbstractButton*>(QStringLiteral("placeKeyring"))->click();
        store.moveProblem = QStringLiteral("No desktop keyring answers.");
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("storeProblem"))->text(), store.moveProblem);

        // The fields hold the password kept in the file, and it is what moves.
        store.moveProblem.clear();
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(store.moves.size(), 2);
        QCOMPARE(store.moves.last(), qMakePair(platform::PasswordPlace::keyring, std::optional(store.password)));

        for (const char* next : {"placeKeyring", "placeNowhere", "placeNowhere"}) {
            dialog.viewDidLoad(store);
            dialog.open();
            dialog.findChild<QCheckBox*>(QStringLiteral("showPassword"))->setChecked(true);
            for (QLineEdit* field : {dialog.tfPassword.data(), dialog.tfRepeat}) {
                QVERIFY(field->text().isEmpty() && !field->placeholderText().isEmpty());
            }
            // From the keyring, fields left empty move the password kept there, whatever it is.
            dialog.findChild<QAbstractButton*>(QString::fromLatin1(next))->click();
            QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
            QVERIFY(store.stored.isEmpty());
        }
        QCOMPARE(store.moves.size(), 3);
        QCOMPARE(store.moves.last(), qMakePair(platform::PasswordPlace::nowhere, std::optional<QString>()));

        dialog.viewDidLoad(store);
        dialog.open();
        dialog.tfPassword->setText(QStringLiteral("replaced"));
        dialog.tfRepeat->setText(QStringLiteral("replaced"));
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
        QCOMPARE(store.stored, QStringList{QStringLiteral("replaced")});
    }

    void theMeterWarnsOfAWeakPasswordAndGenerateGivesAStrongOne() {
        RecordingStore store;
        PreferenceViewController dialog;
        openDialog(dialog, store);
        auto* warning = dialog.findChild<QLabel*>(QStringLiteral("strengthWarning"));
        dialog.tfPassword->setText(QStringLiteral("password1"));
        QVERIFY(warning->isVisible());
        QVERIFY2(dialog.findChild<QLabel*>(QStringLiteral("strengthTime"))->text().contains(QStringLiteral("second")),
                 qPrintable(dialog.findChild<QLabel*>(QStringLiteral("strengthTime"))->text()));

        dialog.findChild<QPushButton*>(QStringLiteral("generatePassword"))->click();
        QVERIFY(!warning->isVisible());
        QCOMPARE(dialog.tfRepeat->text(), dialog.tfPassword->text());
        QCOMPARE(dialog.tfPassword->echoMode(), QLineEdit::Normal);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Save), Qt::LeftButton);
        QCOMPARE(store.stored, QStringList{dialog.tfPassword->text()});
    }
};

QTEST_MAIN(PreferenceViewControllerTest)
#include "preference_view_controller_test.moc"
