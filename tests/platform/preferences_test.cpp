#include "platform/preferences.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

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

TEST_F(SettingsPreferencesTest, StoresExactValuesAcrossInstances) {
    const QString values[] = {
        QStringLiteral("secret"),
        QStringLiteral("  blanks  "),
        QStringLiteral("a=b;c#d"),
        QStringLiteral("line\nbreak\r\n"),
        QStringLiteral("caf\u00e9 \u65e5\u672c"),
        QStringLiteral("a, b"),
        QStringLiteral("@Variant(x)"),
        QStringLiteral("\"quoted\" \\n"),
        QString(),
    };
    for (const QString& value : values) {
        platform::SettingsPreferences(m_file).setString(passwordKey, value);
        const auto readBack = platform::SettingsPreferences(m_file).stringForKey(passwordKey);
        ASSERT_TRUE(readBack.has_value()) << value.toStdString();
        EXPECT_EQ(*readBack, value);
    }
}

TEST_F(SettingsPreferencesTest, MissingIsNoValueButEmptyIsStored) {
    platform::SettingsPreferences preferences(m_file);
    EXPECT_FALSE(preferences.stringForKey(passwordKey).has_value());
    EXPECT_FALSE(QFile::exists(m_file)) << "reading must not create the file";
    preferences.setString(passwordKey, QString());
    EXPECT_EQ(preferences.stringForKey(passwordKey), QString());
    EXPECT_FALSE(preferences.stringForKey(QStringLiteral("other")).has_value());
}

TEST_F(SettingsPreferencesTest, KeepsFileAndFolderOwnerOnly) {
    platform::SettingsPreferences preferences(m_file);
    preferences.setString(passwordKey, QStringLiteral("first"));
    EXPECT_EQ(modeOf(m_file), 0600u);
    EXPECT_EQ(modeOf(m_folder), 0700u);

    // A file and folder opened up by someone else are closed again by the next save.
    ASSERT_EQ(::chmod(m_folder.toLocal8Bit().constData(), 0755), 0);
    ASSERT_EQ(::chmod(m_file.toLocal8Bit().constData(), 0644), 0);
    preferences.setString(passwordKey, QStringLiteral("second"));
    EXPECT_EQ(modeOf(m_file), 0600u);
    EXPECT_EQ(modeOf(m_folder), 0700u);
    EXPECT_EQ(preferences.stringForKey(passwordKey), QStringLiteral("second"));
}

TEST_F(SettingsPreferencesTest, TightensAFileThatExistedBeforeTheFirstSave) {
    std::filesystem::create_directories(m_folder.toStdString());
    std::ofstream(m_file.toStdString()) << "[General]\nother=1\n";
    ASSERT_EQ(::chmod(m_folder.toLocal8Bit().constData(), 0755), 0);
    ASSERT_EQ(::chmod(m_file.toLocal8Bit().constData(), 0644), 0);
    platform::SettingsPreferences preferences(m_file);
    preferences.setString(passwordKey, QStringLiteral("p"));
    EXPECT_EQ(modeOf(m_file), 0600u);
    EXPECT_EQ(modeOf(m_folder), 0700u);
    EXPECT_EQ(preferences.stringForKey(QStringLiteral("other")), QStringLiteral("1"));
}

TEST(MemoryPreferences, StoresUntilReplaced) {
    platform::MemoryPreferences preferences;
    EXPECT_FALSE(preferences.stringForKey(passwordKey).has_value());
    preferences.setString(passwordKey, QString());
    EXPECT_EQ(preferences.stringForKey(passwordKey), QString());
    preferences.setString(passwordKey, QStringLiteral("new"));
    EXPECT_EQ(preferences.stringForKey(passwordKey), QStringLiteral("new"));
}

} // namespace
