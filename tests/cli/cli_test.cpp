#include "cipher/aes.h"
#include "cipher/base64.h"
#include "cipher/note_cipher.h"
#include "cli/run.h"
#include "platform/preferences.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, std::string_view content) {
    std::ofstream(path, std::ios::binary) << content;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vellumpad-cli-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        writeFile(m_dir / "pw", "correct horse\n");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    /// Runs a shell command line in the temporary folder, the input piped in, with HOME and XDG_CONFIG_HOME there
    /// too so that the real user's preferences are never read.
    Outcome shell(const std::string& commandLine, std::string_view input = {}, bool trace = false) {
        writeFile(m_dir / "stdin", input);
        const std::string dir = "'" + m_dir.string() + "'";
        const std::string line = "cd " + dir + " && cat stdin | HOME=" + dir + " XDG_CONFIG_HOME=" + dir +
                                 "/config VELLUMPAD_TRACE=" + (trace ? "1 " : "0 ") + commandLine + " >stdout 2>stderr";
        const int status = std::system(line.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(m_dir / "stdout"), readFile(m_dir / "stderr")};
    }
    Outcome cli(const std::string& arguments, std::string_view input = {}, bool trace = false) {
        return shell("'" VELLUMPAD_CLI_PATH "' " + arguments, input, trace);
    }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

TEST_F(CliTest, RoundTripsNotesIntoOwnerOnlyFilesAndExplainsItsUsage) {
    const std::string notes[] = {"", "caf\u00e9 \u65e5\u672c\r\n\n", std::string(3 << 20, 'x') + "\u20ac"};
    for (const std::string& note : notes) {
        fs::remove(path("note.vpd"));
        const Outcome encrypted = cli("encrypt --password-file pw -o note.vpd", note);
        ASSERT_EQ(encrypted.status, 0) << encrypted.err;
        EXPECT_EQ(fs::status(path("note.vpd")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        const Outcome decrypted = cli("decrypt --password-file pw note.vpd");
        ASSERT_EQ(decrypted.status, 0) << decrypted.err;
        EXPECT_TRUE(decrypted.out == note) << "note of " << note.size() << " bytes";
    }
    EXPECT_EQ(cli("--help").out.substr(0, 6), "Usage:");
    EXPECT_EQ(cli("--x").err, "vellumpad-cli: unknown option '--x'; see 'vellumpad-cli --help'\n");
    EXPECT_EQ(cli("--x").status, 2);
}

TEST_F(CliTest, TakesThePasswordFromTheFileLessOneLineBreakOrElseFromThePreferences) {
    const QString store = QString::fromStdString(path("config/Vellumpad/Vellumpad.conf"));
    platform::SettingsPreferences(store).setString(platform::passwordKey, QStringLiteral("stored"));
    const std::string fileText = cli("encrypt", "note").out;
    const struct {
        std::string content;
        bool opens;
    } cases[] = {
        {"stored", true}, {"stored\n", true}, {"stored\r\n", true}, {"stored\n\n", false}, {"stored\r", false}};
    for (const auto& [content, opens] : cases) {
        writeFile(m_dir / "given", content);
        const Outcome decrypted = cli("decrypt --password-file given", fileText);
        EXPECT_EQ(decrypted.status, opens ? 0 : 1) << decrypted.err;
        EXPECT_EQ(decrypted.out, opens ? "note" : "");
    }
    EXPECT_EQ(cli("decrypt -o plain", fileText, true).out.substr(0, 14), "decryptedData\n");
    EXPECT_EQ(readFile(m_dir / "plain"), "note");
}

TEST_F(CliTest, InteroperatesWithOpenssl) {
    if (shell("command -v openssl").status != 0) {
        GTEST_SKIP() << "the openssl command is not installed";
    }
    // The key is the ASCII text of md5("password"), a well-known digest; the IV is the ASCII digits.
    const std::string openssl = "openssl enc -aes-256-cbc -a -iv 37343035323139333638313530323733 -K "
                                "3566346463633362356161373635643631643833323764656238383263663939";
    writeFile(m_dir / "pw", "password");
    const std::string note(200, 'n');
    EXPECT_EQ(shell(openssl + " -d", cli("encrypt --password-file pw", note).out).out, note);
    EXPECT_EQ(cli("decrypt --password-file pw", shell(openssl, note).out).out, note);
}

TEST_F(CliTest, RefusesBadInputAndWritesNothing) {
    const std::string valid = cli("encrypt --password-file pw", std::string(100, 'v')).out;
    // Decrypts with valid padding to bytes that are not UTF-8, of which only a part would be a note.
    const std::string notText = cipher::base64Encode(
        *cipher::aesCbcEncrypt(cipher::deriveKey("correct horse"), cipher::noteIv, cipher::asBytes("ok \xff")));
    writeFile(m_dir / "wrong", "wrong");
    const struct {
        std::string arguments;
        std::string input;
        std::string message;
    } cases[] = {
        {"encrypt --password-file pw", "ok \xff\xfe", "in: not UTF-8 text"},
        {"decrypt --password-file wrong", valid, "in: wrong password or damaged file"},
        {"decrypt --password-file pw", "not*base64=", "in: wrong password or damaged file"},
        {"decrypt --password-file pw", valid.substr(0, 70), "in: wrong password or damaged file"},
        {"decrypt --password-file pw", notText, "in: wrong password or damaged file"},
    };
    for (const auto& [arguments, input, message] : cases) {
        writeFile(m_dir / "in", input);
        fs::remove(path("out"));
        Outcome refused = cli(arguments + " -o out in");
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
        EXPECT_FALSE(fs::exists(path("out")));
        writeFile(m_dir / "out", "earlier");
        EXPECT_EQ(cli(arguments + " -o out in").status, 1);
        EXPECT_EQ(readFile(m_dir / "out"), "earlier");
    }
}

TEST_F(CliTest, RekeysEachNoteThatOpensAndLeavesTheOthersUntouched) {
    writeFile(m_dir / "new", "new");
    writeFile(m_dir / "other", "other");
    ASSERT_EQ(cli("encrypt --password-file pw -o a.vpd", "a").status, 0);
    ASSERT_EQ(cli("encrypt --password-file other -o foreign.vpd", "foreign").status, 0);
    const std::string foreign = readFile(m_dir / "foreign.vpd");
    // a.vpd twice: once rekeyed it no longer opens under the old password and must not be tried again.
    const Outcome rekeyed =
        cli("rekey --old-password-file pw --new-password-file new a.vpd foreign.vpd gone/x.vpd ./a.vpd");
    EXPECT_EQ(rekeyed.status, 1);
    EXPECT_NE(rekeyed.err.find("foreign.vpd: wrong password or damaged file; left unchanged"), std::string::npos);
    EXPECT_NE(rekeyed.err.find("gone/x.vpd: cannot be read"), std::string::npos) << rekeyed.err;
    EXPECT_EQ(rekeyed.err.find("a.vpd: wrong"), std::string::npos) << rekeyed.err;
    EXPECT_EQ(readFile(m_dir / "foreign.vpd"), foreign);
    EXPECT_EQ(cli("decrypt --password-file new a.vpd").out, "a");
}

/// Lets every write through except the rename onto one chosen note, which fails as on a read-only disk.
class RenameFailsFor final : public cipher::FileOps {
public:
    explicit RenameFailsFor(std::string target) : m_target(std::move(target)) {}
    int rename(const std::string& from, const std::string& to) override {
        if (to == m_target) {
            errno = EROFS;
            return -1;
        }
        return cipher::FileOps::rename(from, to);
    }

private:
    std::string m_target;
};

TEST_F(CliTest, RekeyReportsANoteThatCannotBeWrittenAndGoesOnWithTheOthers) {
    writeFile(m_dir / "new", "new");
    ASSERT_EQ(cli("encrypt --password-file pw -o a.vpd", "a").status, 0);
    ASSERT_EQ(cli("encrypt --password-file pw -o b.vpd", "b").status, 0);
    const std::string before = readFile(m_dir / "a.vpd");

    cli::Command command;
    command.kind = cli::CommandKind::rekey;
    command.oldPasswordFile = path("pw");
    command.newPasswordFile = path("new");
    command.files = {path("a.vpd"), path("b.vpd")};
    platform::MemoryPreferences preferences;
    cipher::MemoryLog log;
    RenameFailsFor ops(path("a.vpd"));
    std::FILE* errors = std::tmpfile();
    ASSERT_NE(errors, nullptr);
    const cli::Environment environment{.errors = errors, .preferences = preferences, .log = log, .fileOps = &ops};

    EXPECT_EQ(cli::run(command, environment), cli::exitFailure);
    std::rewind(errors);
    std::string reported(4096, '\0');
    reported.resize(std::fread(reported.data(), 1, reported.size(), errors));
    std::fclose(errors);
    EXPECT_NE(reported.find(path("a.vpd")), std::string::npos) << reported;
    EXPECT_NE(reported.find("left unchanged"), std::string::npos) << reported;
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Failed!!", "Success!"}));
    EXPECT_EQ(readFile(m_dir / "a.vpd"), before);
    EXPECT_EQ(cli("decrypt --password-file new b.vpd").out, "b");
}

} // namespace
