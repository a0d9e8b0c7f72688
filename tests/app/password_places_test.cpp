// Where the password is kept, against a real Secret Service: run by with_private_keyring.sh in a D-Bus session and
// keyring of their own, or, with VELLUMPAD_KEYRING=none, with no session bus at all.
#include "app/password_places.h"
#include "cipher/note/note_cipher.h"
#include "platform/keyring_password_keeper.h"
#include "platform/password_keeper.h"
#include "platform/preferences.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <optional>
#include <variant>

using platform::PasswordPlace;

namespace {

std::optional<QString> textOf(const platform::PasswordRead& read) {
    if (const auto* text = std::get_if<QString>(&read)) {
        return *text;
    }
    return std::nullopt;
}

std::optional<platform::KeeperFault> faultOf(const platform::PasswordRead& read) {
    if (const auto* failure = std::get_if<platform::KeeperFailure>(&read)) {
        return failure->fault;
    }
    return std::nullopt;
}

// Runs vellumpad-cli with the note on standard input; its exit status, standard output and error.
struct CliRun {
    int status = -1;
    QByteArray output, errors;
};
CliRun runCli(const QStringList& arguments, const QByteArray& input) {
    QProcess cli;
    cli.start(QStringLiteral(VELLUMPAD_CLI_PATH), arguments);
    cli.write(input);
    cli.closeWriteChannel();
    cli.waitForFinished(60000);
    return {cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1, cli.readAllStandardOutput(),
            cli.readAllStandardError()};
}

// Checks that the tool refused with this status, saying these words, and wrote nothing.
void checkRefused(const QStringList& arguments, const QByteArray& input, int status, const char* words) {
    const CliRun refused = runCli(arguments, input);
    QCOMPARE(refused.status, status);
    QVERIFY2(refused.errors.contains(words), refused.errors.constData());
    QVERIFY(refused.output.isEmpty());
}

class PlacesFixture : public QObject {
    Q_OBJECT

protected:
    // The preferences the editor and the tool read: in the temporary XDG_CONFIG_HOME the test was started with.
    QString m_file;
    std::optional<platform::SettingsPreferences> m_preferences;
    platform::KeyringPasswordKeeper m_keyring;
    std::optional<app::PasswordPlaces> m_places;

    void startWithFilePassword(const QString& password) {
        m_file = platform::SettingsPreferences::defaultFilePath();
        QVERIFY2(m_file.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")) &&
                     !qEnvironmentVariable("XDG_CONFIG_HOME").isEmpty(),
                 "never the user's own preferences");
        QFile::remove(m_file);
        m_places.reset();
        m_preferences.emplace(m_file);
        QVERIFY(m_preferences->setString(QString::fromLatin1(platform::passwordKey), password));
        m_places.emplace(*m_preferences, m_keyring);
    }
    bool fileHoldsPassword() const { return QSettings(m_file, QSettings::IniFormat).contains(platform::passwordKey); }
};

class KeyringTest : public PlacesFixture {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(!m_keyring.remove());
        startWithFilePassword(QStringLiteral("file pässword 秘密"));
    }

    void theKeyringKeepsAnyTextExactly_data() {
        QTest::addColumn<QString>("password");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks and non-ASCII") << QStringLiteral("  pässwort 秘密 \t");
        QTest::newRow("long") << QString(4096, QLatin1Char('x'));
    }
    void theKeyringKeepsAnyTextExactly() {
        QFETCH(QString, password);
        QVERIFY(!m_keyring.write(password));
        QCOMPARE(textOf(m_keyring.read()), password);
        QVERIFY(!m_keyring.remove());
        // Never the empty password: a keyring that holds none may be one whose unlock was cancelled.
        QCOMPARE(faultOf(m_keyring.read()), platform::KeeperFault::missing);
    }

    void movingToTheKeyringAndBackLeavesOneCopy() {
        QCOMPARE(m_places->moveTo(PasswordPlace::keyring, std::nullopt), std::nullopt);
        QCOMPARE(m_places->place(), PasswordPlace::keyring);
        QVERIFY2(!fileHoldsPassword(), "the preferences file still holds the password");
        QCOMPARE(textOf(m_keyring.read()), QStringLiteral("file pässword 秘密"));
        QCOMPARE(textOf(m_places->read()), QStringLiteral("file pässword 秘密"));

        // A new password typed in keyring mode replaces the one in the keyring, and only there.
        QVERIFY(!m_places->write(QStringLiteral("new one")));
        QCOMPARE(textOf(m_keyring.read()), QStringLiteral("new one"));
        QVERIFY(!fileHoldsPassword());

        QCOMPARE(m_places->moveTo(PasswordPlace::preferencesFile, std::nullopt), std::nullopt);
        QCOMPARE(m_places->place(), PasswordPlace::preferencesFile);
        QCOMPARE(m_preferences->stringForKey(platform::passwordKey), QStringLiteral("new one"));
        QCOMPARE(faultOf(m_keyring.read()), platform::KeeperFault::missing);
    }

    void movingToNowhereEmptiesTheKeyringAndLockForgets() {
        QCOMPARE(m_places->moveTo(PasswordPlace::keyring, QStringLiteral("typed")), std::nullopt);
        QCOMPARE(m_places->moveTo(PasswordPlace::nowhere, std::nullopt), std::nullopt);
        QCOMPARE(faultOf(m_keyring.read()), platform::KeeperFault::missing);
        QVERIFY(!fileHoldsPassword());
        QCOMPARE(textOf(m_places->read()), QStringLiteral("typed"));

        m_places->asked().forget();
        int asked = 0;
        m_places->asked().setAsk([&asked]() -> std::optional<QString> {
            ++asked;
            return std::nullopt;
        });
        QCOMPARE(faultOf(m_places->read()), platform::KeeperFault::notGiven);
        QCOMPARE(asked, 1);
        // Nothing to move once forgotten and not given: the keyring is not handed the empty password.
        QVERIFY(m_places->moveTo(PasswordPlace::keyring, std::nullopt).has_value());
        QCOMPARE(m_places->place(), PasswordPlace::nowhere);
        QCOMPARE(faultOf(m_keyring.read()), platform::KeeperFault::missing);
    }

    void theToolReadsThePasswordFromTheKeyring() {
        QCOMPARE(m_places->moveTo(PasswordPlace::keyring, QStringLiteral("kept in the keyring")), std::nullopt);
        const CliRun encrypted = runCli({QStringLiteral("encrypt")}, "Dear diary\n");
        QCOMPARE(encrypted.status, 0);
        QVERIFY2(encrypted.errors.isEmpty(), encrypted.errors.constData());

        // The core alone, given the password, says what it was encrypted under.
        const auto decrypted =
            cipher::decryptWhole(encrypted.output.toStdString(), cipher::NoteFormat("kept in the keyring"));
        QVERIFY(decrypted && decrypted.value() == "Dear diary\n");

        // Gone from the keyring, it is refused rather than taken for the empty password.
        QVERIFY(!m_keyring.remove());
        checkRefused({QStringLiteral("decrypt")}, encrypted.output, 1, "keyring holds no Vellumpad password");
    }

    void theToolNeedsAPasswordGivenWhenItIsKeptNowhere() {
        QCOMPARE(m_places->moveTo(PasswordPlace::nowhere, std::nullopt), std::nullopt);
        checkRefused({QStringLiteral("encrypt")}, "note\n", 2, "use -p or --password-file");
    }

    // Last: the keyring stays locked.
    void aLockedKeyringThatCannotBeUnlockedChangesNothing() {
        QCOMPARE(m_places->moveTo(PasswordPlace::keyring, QStringLiteral("locked away")), std::nullopt);
        // Locked, its unlock needs a prompt, which this session without a display cannot show: as if cancelled.
        const QDBusMessage lock = QDBusConnection::sessionBus().call(
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
                                           QStringLiteral("/org/freedesktop/secrets"),
                                           QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"))
            << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(QStringLiteral("/org/freedesktop/secrets/"
                                                                                         "collection/login"))}));
        QCOMPARE(lock.type(), QDBusMessage::ReplyMessage);
        QVERIFY(faultOf(m_places->read()).has_value());
        QVERIFY(m_places->moveTo(PasswordPlace::preferencesFile, std::nullopt).has_value());
        QCOMPARE(m_places->place(), PasswordPlace::keyring);
        QVERIFY(!fileHoldsPassword());
    }
};

// No Secret Service to reach: nothing moves, nothing is lost.
class NoKeyringTest : public PlacesFixture {
    Q_OBJECT

private slots:
    void movingToAnUnreachableKeyringChangesNothing() {
        startWithFilePassword(QStringLiteral("stays"));
        const std::optional<QString> problem = m_places->moveTo(PasswordPlace::keyring, std::nullopt);
        QVERIFY(problem.has_value());
        QVERIFY2(problem->contains(QStringLiteral("No desktop keyring answers")), qPrintable(*problem));
        QCOMPARE(m_places->place(), PasswordPlace::preferencesFile);
        QCOMPARE(m_preferences->stringForKey(platform::passwordKey), QStringLiteral("stays"));
    }

    void anUnreachableKeyringIsNeverTheEmptyPassword() {
        startWithFilePassword(QStringLiteral("old"));
        QVERIFY(platform::recordPasswordPlace(*m_preferences, PasswordPlace::keyring));
        QVERIFY(faultOf(m_places->read()).has_value());
        checkRefused({QStringLiteral("encrypt")}, "note\n", 1,
                     "stored password cannot be read: no desktop keyring answers");
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (qEnvironmentVariable("VELLUMPAD_KEYRING") == QLatin1String("none")) {
        NoKeyringTest test;
        return QTest::qExec(&test, argc, argv);
    }
    KeyringTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "password_places_test.moc"
