#include "platform/preferences.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string_view>

namespace {

using platform::passwordKey;

mode_t modeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
}

class SettingsPreferencesTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString m_folder = m_dir.filePath(QStringLiteral("Vellumpad"));
    QString m_file = m_folder + QStringLiteral("/Vellumpad.conf");
};

TEST_F(SettingsPreferencesTest, StoresExactValuesInOwnerOnlyFilesAndTellsMissingFromEmpty) {
    EXPECT_FALSE(platform::SettingsPreferences(m_file).stringForKey(passwordKey).has_value());
    EXPECT_FALSE(QFile::exists(m_file)) << "reading must not create the file";
    const QString values[] = {QStringLiteral("  blanks  "),
                              QStringLiteral("a=b;c#d [x]"),
                              QStringLiteral("a, b"),
                              QStringLiteral("line\nbreak\r\n"),
                              QStringLiteral("caf\u00e9 \u65e5"),
                              QStringLiteral("@Variant(x) \"q\" \\n"),
                              QString()};
    for (const QString& value : values) {
        EXPECT_TRUE(platform::SettingsPreferences(m_file).setString(passwordKey, value));
        EXPECT_EQ(platform::SettingsPreferences(m_file).stringForKey(passwordKey), value) << value.toStdString();
        EXPECT_EQ(modeOf(m_file), 0600u);
        EXPECT_EQ(modeOf(m_folder), 0700u);
        // Opened up as a careless copy might leave them; the next save must close them again.
        ASSERT_EQ(::chmod(m_folder.toLocal8Bit().constData(), 0755), 0);
        ASSERT_EQ(::chmod(m_file.toLocal8Bit().constData(), 0644), 0);
    }
}

TEST_F(SettingsPreferencesTest, HoldsAKeyThatIsNoStringOrCannotBeRead) {
    const platform::SettingsPreferences store(m_file);
    EXPECT_FALSE(store.holdsKey(passwordKey)) << "a missing file holds nothing";
    ASSERT_TRUE(QDir().mkpath(m_folder));
    // What the file says, and the password a key may be derived from: none for one that is no usable text.
    const struct {
        const char* line;
        std::optional<QByteArray> password;
    } cases[] = {
        {"password=a, b", std::nullopt},
        {"password=@ByteArray(pw)", std::nullopt},
        {"password=pw\\xd800", std::nullopt},
        {"password=pw", QByteArray("pw")},
        {"password=caf\\xe9", QByteArray("caf\xc3\xa9")},
        {"other=x", QByteArray()},
    };
    for (const auto& row : cases) {
        QFile file(m_file);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("[General]\n") + row.line + '\n');
        file.close();
        EXPECT_EQ(store.holdsKey(passwordKey), std::string_view(row.line).starts_with("password=")) << row.line;
        EXPECT_EQ(platform::storedPasswordUtf8(store), row.password) << row.line;
    }
    ASSERT_TRUE(QFile::remove(m_file));
    ASSERT_TRUE(QDir().mkdir(m_file));
    EXPECT_TRUE(store.holdsKey(passwordKey)) << "an unreadable file may hold it";
    EXPECT_FALSE(platform::storedPasswordUtf8(store).has_value());
}

TEST_F(SettingsPreferencesTest, AValueThatCannotBeWrittenIsReportedAndTheEarlierOneStays) {
    // The name leaves no room for the lock and temporary files QSettings writes beside it, so writing fails even
    // for root; the earlier value is put in by hand.
    const QString file = m_dir.filePath(QString(250, u'p') + QStringLiteral(".c"));
    QFile earlier(file);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("[General]\npassword=old\n");
    earlier.close();
    platform::SettingsPreferences store(file);
    ASSERT_EQ(store.stringForKey(passwordKey), QStringLiteral("old"));

    EXPECT_FALSE(store.setString(passwordKey, QStringLiteral("new")));
    // QSettings caches values per file for the whole process: the refused one must not be read back from there.
    EXPECT_EQ(platform::SettingsPreferences(file).stringForKey(passwordKey), QStringLiteral("old"));
    EXPECT_FALSE(store.setString(QStringLiteral("other"), QStringLiteral("x")));
    EXPECT_FALSE(store.stringForKey(QStringLiteral("other")).has_value());
}

// Qt's file panels rewrite their history with the mode of the file they replace, or else the umask's.
TEST_F(SettingsPreferencesTest, KeepsTheFilePanelHistoryOwnerOnlyThroughQtsRewrites) {
    EXPECT_TRUE(platform::filePanelHistoryPath().endsWith(QStringLiteral("/QtProject.conf")));
    const QString history = m_dir.filePath(QStringLiteral("QtProject.conf"));
    const mode_t previous = ::umask(022);
    for (const bool existed : {false, true}) {
        if (existed) {
            ASSERT_EQ(::chmod(history.toLocal8Bit().constData(), 0644), 0);
        }
        platform::keepOwnerOnly(history);
        EXPECT_EQ(modeOf(history), 0600u);
        QSettings settings(history, QSettings::IniFormat);
        settings.setValue(QStringLiteral("FileDialog/lastVisited"), QStringLiteral("file:///home/me/notes"));
        settings.sync();
        EXPECT_EQ(modeOf(history), 0600u) << existed;
    }
    ::umask(previous);
}

} // namespace
