#include "../cipher/test_support.h"
#include "cli/arguments.h"
#include "cli/mapped_file.h"
#include "cli/run.h"
#include "platform/preferences.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <variant>

namespace {

namespace fs = std::filesystem;
using cli::Command;
using cli::CommandKind;
using Args = std::vector<std::string>;

TEST(ParseArguments, UnderstandsGoodCommandLines) {
    const std::pair<Args, Command> cases[] = {
        {{"decrypt", "-o", "x", "--help"}, {}},
        {{"encrypt", "-", "-o", "-"}, {.kind = CommandKind::encrypt}},
        {{"encrypt", "-o", "out.vpd", "--password-file", "pw", "in.txt"},
         {.kind = CommandKind::encrypt, .input = "in.txt", .output = "out.vpd", .passwordFile = "pw"}},
        {{"decrypt", "--output=a b", "--password-file=pw", "--", "-odd.vpd"},
         {.kind = CommandKind::decrypt, .input = "-odd.vpd", .output = "a b", .passwordFile = "pw"}},
        {{"rekey", "--old-password-file", "old", "a.vpd", "--new-password-file=new", "b.vpd"},
         {.kind = CommandKind::rekey, .oldPasswordFile = "old", .newPasswordFile = "new", .files = {"a.vpd", "b.vpd"}}},
    };
    for (const auto& [args, expected] : cases) {
        const cli::ParseResult result = cli::parseArguments(args);
        ASSERT_TRUE(std::holds_alternative<Command>(result)) << std::get<cli::UsageError>(result).message;
        EXPECT_EQ(std::get<Command>(result), expected) << args.front();
    }
}

TEST(ParseArguments, RefusesBadCommandLinesWithoutEchoingSecrets) {
    const std::pair<Args, std::string> cases[] = {
        {{}, "no command given"},
        {{"open\x1b[2J"}, "unknown command 'open?[2J'"},
        {{"-o", "x", "encrypt"}, "the command (encrypt, decrypt or rekey) comes before option '-o'"},
        {{"decrypt", "--password=hunter2"}, "never taken from the command line"},
        {{"decrypt", "-phunter2"}, "never taken from the command line"},
        {{"encrypt", "-o"}, "option '-o' needs a file name"},
        {{"encrypt", "-o", "a", "--output", "b"}, "option '--output' is given twice"},
        {{"encrypt", "--password-file", "-"}, "for standard input name /dev/stdin"},
        {{"encrypt", "a", "hunter2"}, "encrypt takes one input file at most, not 2"},
        {{"decrypt", "--old-password-file", "x"}, "option '--old-password-file' does not apply to decrypt"},
        {{"rekey", "-o", "x"}, "option '-o' does not apply to rekey"},
        {{"rekey", "--new-password-file", "n", "a.vpd"}, "rekey needs --old-password-file FILE"},
        {{"rekey", "--old-password-file", "o", "--new-password-file", "n"}, "rekey needs at least one note file"},
        {{"rekey", "--old-password-file", "o", "--new-password-file", "n", "-"}, "cannot read standard input"},
    };
    for (const auto& [args, message] : cases) {
        const cli::ParseResult result = cli::parseArguments(args);
        ASSERT_TRUE(std::holds_alternative<cli::UsageError>(result)) << message;
        const std::string& actual = std::get<cli::UsageError>(result).message;
        EXPECT_NE(actual.find(message), std::string::npos) << actual;
        EXPECT_EQ(actual.find("hunter2"), std::string::npos) << actual;
    }
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

using cipher::test::readFile;
using cipher::test::writeFile;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { writeFile(m_dir / "pw", "correct horse\n"); }

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

    const cipher::test::TempDir m_tempDir;
    const fs::path m_dir = m_tempDir.path();
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
        // A named file is mapped rather than piped; the large note is encrypted on two threads either way.
        writeFile(m_dir / "note.txt", note);
        EXPECT_TRUE(cli("encrypt --password-file pw note.txt").out == readFile(m_dir / "note.vpd")) << note.size();
        ASSERT_EQ(cli("decrypt --password-file pw -o plain.txt note.vpd").status, 0);
        EXPECT_TRUE(readFile(m_dir / "plain.txt") == note) << note.size();
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
        {"encrypt --password-file pw", std::string(3 << 20, 'x') + "\xe2\x82", "in: not UTF-8 text"},
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
        refused = cli(arguments + " in");
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.out, "");
        // Into a pipe nothing is written before all is checked; a file appended to is cut back, also when it
        // takes the error message too.
        EXPECT_EQ(shell("'" VELLUMPAD_CLI_PATH "' " + arguments + " in | cat").out, "");
        writeFile(m_dir / "kept", "earlier\n");
        EXPECT_EQ(shell("sh -c \"'" VELLUMPAD_CLI_PATH "' " + arguments + " in >>kept 2>&1\"").status, 1);
        EXPECT_EQ(readFile(m_dir / "kept"), "earlier\n" + refused.err);
        EXPECT_EQ(shell("sh -c \"'" VELLUMPAD_CLI_PATH "' " + arguments + " in >both 2>&1\"").status, 1);
        EXPECT_EQ(readFile(m_dir / "both"), refused.err);
    }
    writeFile(m_dir / "kept", "earlier\n");
    writeFile(m_dir / "in", "note");
    ASSERT_EQ(shell("sh -c \"'" VELLUMPAD_CLI_PATH "' encrypt --password-file pw in >>kept\"").status, 0);
    EXPECT_EQ(readFile(m_dir / "kept"), "earlier\n" + cli("encrypt --password-file pw in").out);
    for (const fs::directory_entry& entry : fs::directory_iterator(m_dir)) {
        EXPECT_FALSE(cipher::isTemporarySaveName(entry.path().filename().string())) << entry.path();
    }
}

TEST(MappedFile, AFileCutShortWhileMappedEndsTheProgramWithAPlainMessage) {
    const cipher::test::TempDir dir;
    const fs::path file = dir.path() / "note.txt";
    writeFile(file, std::string(1 << 20, 'n'));
    int errors[2];
    ASSERT_EQ(::pipe(errors), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(errors[1], STDERR_FILENO);
        const int fd = ::open(file.c_str(), O_RDWR);
        const std::optional<cli::MappedFile> mapped = cli::MappedFile::map(fd);
        // Another program's truncation, as far as the mapping can tell.
        if (!mapped || ::ftruncate(fd, 0) != 0) {
            ::_exit(3);
        }
        const volatile char touched = mapped->text()[600'000];
        ::_exit(touched == 'n' ? 4 : 5);
    }
    ::close(errors[1]);
    std::string message;
    char buffer[512];
    for (ssize_t got; (got = ::read(errors[0], buffer, sizeof buffer)) > 0;) {
        message.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(errors[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), cli::exitFailure);
    EXPECT_EQ(message, cli::inputCutShortMessage);
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

    const Command command{.kind = CommandKind::rekey,
                          .oldPasswordFile = path("pw"),
                          .newPasswordFile = path("new"),
                          .files = {path("a.vpd"), path("b.vpd")}};
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
