#include "cli/run.h"

#include "cipher/aes.h"
#include "cipher/base64.h"
#include "cipher/log.h"
#include "cipher/note_cipher.h"
#include "platform/preferences.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

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

    /// Runs the program with the input through a pipe, its output in files, and HOME and XDG_CONFIG_HOME in the
    /// temporary folder so that the real user's preferences are never read.
    Outcome runProgram(const std::string& program, std::vector<std::string> args, std::string_view input = {},
                       bool trace = false) {
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> env = {"HOME=" + m_dir.string(), "XDG_CONFIG_HOME=" + (m_dir / "config").string()};
        for (const char* name : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) {
                env.push_back(std::string(name) + "=" + value);
            }
        }
        if (trace) {
            env.emplace_back("VELLUMPAD_TRACE=1");
        }
        std::vector<char*> envp;
        for (std::string& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);

        int pipeFds[2];
        EXPECT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
        const std::string outPath = (m_dir / "stdout").string();
        const std::string errPath = (m_dir / "stderr").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        const int spawned = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[0]);
        // A child that stops reading early is fine: its exit status tells.
        for (std::size_t done = 0; spawned == 0 && done < input.size();) {
            const ssize_t written = ::write(pipeFds[1], input.data() + done, input.size() - done);
            if (written <= 0) {
                break;
            }
            done += static_cast<std::size_t>(written);
        }
        ::close(pipeFds[1]);
        Outcome outcome;
        int status = 0;
        if (spawned == 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            outcome.status = WEXITSTATUS(status);
        }
        outcome.out = readFile(outPath);
        outcome.err = readFile(errPath);
        return outcome;
    }

    Outcome runCli(std::vector<std::string> args, std::string_view input = {}, bool trace = false) {
        return runProgram(VELLUMPAD_CLI_PATH, std::move(args), input, trace);
    }

    std::string path(const char* name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

TEST_F(CliTest, RoundTripsNotesWithOwnerOnlyOutput) {
    const std::string notes[] = {"", "caf\u00e9 \u65e5\u672c\r\nline two\n",
                                 std::string(3 << 20, 'x') + "\xe2\x82\xac"};
    for (const std::string& note : notes) {
        fs::remove(path("note.vpd"));
        const Outcome encrypted = runCli({"encrypt", "--password-file", path("pw"), "-o", path("note.vpd")}, note);
        ASSERT_EQ(encrypted.status, 0) << encrypted.err;
        EXPECT_EQ(fs::status(path("note.vpd")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        const Outcome decrypted = runCli({"decrypt", "--password-file", path("pw"), path("note.vpd")});
        ASSERT_EQ(decrypted.status, 0) << decrypted.err;
        EXPECT_TRUE(decrypted.out == note) << "note of " << note.size() << " bytes";
    }
}

TEST_F(CliTest, TakesThePasswordFromTheFileLessOneLineBreakOrElseFromThePreferences) {
    platform::SettingsPreferences(QString::fromStdString(path("config/Vellumpad/Vellumpad.conf")))
        .setString(platform::passwordKey, "stored");
    const Outcome byPreference = runCli({"encrypt"}, "note");
    ASSERT_EQ(byPreference.status, 0) << byPreference.err;
    const struct {
        std::string fileContent;
        bool opens;
    } cases[] = {
        {"stored", true}, {"stored\n", true}, {"stored\r\n", true}, {"stored\n\n", false}, {"stored\r", false}};
    for (const auto& [fileContent, opens] : cases) {
        writeFile(path("given"), fileContent);
        const Outcome decrypted = runCli({"decrypt", "--password-file", path("given")}, byPreference.out);
        EXPECT_EQ(decrypted.status, opens ? 0 : 1) << decrypted.err;
        EXPECT_EQ(decrypted.out, opens ? "note" : "");
    }
    const Outcome traced = runCli({"decrypt", "-o", path("plain")}, byPreference.out, true);
    EXPECT_EQ(traced.out.substr(0, 14), "decryptedData\n");
    EXPECT_EQ(readFile(path("plain")), "note");
}

TEST_F(CliTest, InteroperatesWithOpenssl) {
    if (runProgram("openssl", {"version"}).status != 0) {
        GTEST_SKIP() << "the openssl command is not installed";
    }
    // Key: the ASCII bytes of md5("password") (RFC 1321's digest, well known); IV: the ASCII digits.
    std::string keyHex;
    for (const char c : std::string("5f4dcc3b5aa765d61d8327deb882cf99")) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned>(c));
        keyHex += byte;
    }
    const std::vector<std::string> enc = {
        "enc", "-aes-256-cbc", "-K", keyHex, "-iv", "37343035323139333638313530323733", "-a"};
    writeFile(path("pw"), "password");
    const std::string note(200, 'n');

    const Outcome ours = runCli({"encrypt", "--password-file", path("pw")}, note);
    std::vector<std::string> decryptArgs = enc;
    decryptArgs.emplace_back("-d");
    EXPECT_EQ(runProgram("openssl", decryptArgs, ours.out).out, note);

    const Outcome theirs = runProgram("openssl", enc, note);
    ASSERT_EQ(theirs.status, 0) << theirs.err;
    EXPECT_EQ(runCli({"decrypt", "--password-file", path("pw")}, theirs.out).out, note);
}

TEST_F(CliTest, RefusesBadInputAndWritesNothing) {
    const std::string valid = runCli({"encrypt", "--password-file", path("pw")}, std::string(100, 'v')).out;
    writeFile(path("wrong"), "wrong");
    // Decrypts with valid padding, but to bytes that are not UTF-8: only a part of it would be a note.
    const std::string notText = cipher::base64Encode(
        *cipher::aesCbcEncrypt(cipher::deriveKey("correct horse"), cipher::noteIv, cipher::asBytes("ok \xff")));
    const struct {
        const char* command;
        const char* passwordFile;
        std::string input;
        std::string message;
    } cases[] = {
        {"encrypt", "pw", "ok \xff\xfe", "not UTF-8 text"},
        {"decrypt", "wrong", valid, "wrong password or damaged file"},
        {"decrypt", "pw", "not*base64=", "wrong password or damaged file"},
        {"decrypt", "pw", valid.substr(0, 70), "wrong password or damaged file"},
        {"decrypt", "pw", "", "wrong password or damaged file"},
        {"decrypt", "pw", notText, "wrong password or damaged file"},
    };
    for (const auto& [command, passwordFile, input, message] : cases) {
        writeFile(path("in"), input);
        fs::remove(path("out"));
        const std::vector<std::string> args = {command, "--password-file", path(passwordFile),
                                               "-o",    path("out"),       path("in")};
        Outcome refused = runCli(args);
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find(path("in") + ": " + message), std::string::npos) << refused.err;
        EXPECT_FALSE(fs::exists(path("out")));
        writeFile(path("out"), "earlier");
        refused = runCli(args);
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(readFile(path("out")), "earlier");
    }
}

TEST_F(CliTest, AnswersHelpAndUsageErrors) {
    const Outcome help = runCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.substr(0, 6), "Usage:");
    const Outcome bad = runCli({"--x"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "vellumpad-cli: unknown option '--x'; see 'vellumpad-cli --help'\n");
}

/// Fails the rename onto one chosen file, as a full or read-only disk would.
class FailingRename final : public cipher::FileOps {
public:
    explicit FailingRename(std::string target) : m_target(std::move(target)) {}
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

TEST_F(CliTest, RekeysEachNoteThatOpensAndLeavesTheOthersUntouched) {
    writeFile(path("new"), "new");
    writeFile(path("other"), "other");
    for (const auto& [name, passwordFile] : {std::pair{"a.vpd", "pw"}, {"stuck.vpd", "pw"}, {"foreign.vpd", "other"}}) {
        ASSERT_EQ(runCli({"encrypt", "--password-file", path(passwordFile), "-o", path(name)}, name).status, 0);
    }
    const std::string stuckBefore = readFile(path("stuck.vpd"));
    const std::string foreignBefore = readFile(path("foreign.vpd"));

    platform::MemoryPreferences preferences;
    cipher::MemoryLog log;
    FailingRename fileOps(path("stuck.vpd"));
    std::FILE* errors = std::tmpfile();
    const cli::Command rekey{.kind = cli::CommandKind::rekey,
                             .oldPasswordFile = path("pw"),
                             .newPasswordFile = path("new"),
                             .files = {path("a.vpd"), path("stuck.vpd"), path("foreign.vpd"), path("gone/x.vpd")}};
    EXPECT_EQ(cli::run(rekey, {.errors = errors, .preferences = preferences, .log = log, .fileOps = fileOps}), 1);

    std::rewind(errors);
    std::string messages(4096, '\0');
    messages.resize(std::fread(messages.data(), 1, messages.size(), errors));
    std::fclose(errors);
    EXPECT_NE(messages.find(path("foreign.vpd") + ": wrong password or damaged file; left unchanged"),
              std::string::npos)
        << messages;
    EXPECT_NE(messages.find(path("gone/x.vpd") + ": cannot be read"), std::string::npos) << messages;
    EXPECT_NE(messages.find(path("stuck.vpd")), std::string::npos) << messages;
    EXPECT_EQ(readFile(path("stuck.vpd")), stuckBefore);
    EXPECT_EQ(readFile(path("foreign.vpd")), foreignBefore);
    EXPECT_EQ(runCli({"decrypt", "--password-file", path("new"), path("a.vpd")}).out, "a.vpd");
}

} // namespace
