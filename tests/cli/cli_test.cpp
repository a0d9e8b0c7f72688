#include "../cipher/test_support.h"
#include "cipher/crypto/aes.h"
#include "cipher/files/file_io.h"
#include "cipher/note/note_cipher.h"
#include "cli/arguments.h"
#include "cli/mapped_file.h"
#include "cli/quoted_name.h"
#include "cli/run.h"
#include "platform/preferences.h"
#include "support/memory_log.h"
#include "support/memory_preferences.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <tuple>
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
        {{"decrypt", "-o", "x", "--version"}, {.kind = CommandKind::version}},
        {{"encrypt", "-p", "--verbose"}, {.kind = CommandKind::encrypt, .askPassword = true, .verbose = true}},
        {{"rekey", "a.vpd", "--ask-password", "--new-password-file", "new"},
         {.kind = CommandKind::rekey, .newPasswordFile = "new", .files = {"a.vpd"}, .askPassword = true}},
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
        {{"decrypt", "--ask-password=hunter2"}, "option '--ask-password' takes no value"},
        {{"encrypt", "-p", "--password-file", "pw"}, "cannot be used together"},
        {{"rekey", "--old-password-file", "o", "a.vpd"}, "rekey needs --new-password-file FILE or --ask-password"},
        {{"rekey", "-p", "--old-password-file", "o", "--new-password-file", "n", "a.vpd"}, "nothing to ask"},
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

/// What a terminal showed of a run: prompts, output and errors alike.
struct TerminalOutcome {
    /// The exit status, or 128 plus the signal that ended the run.
    int status = -1;
    std::string shown;
    /// Whether the terminal echoed typing again once the run had ended.
    bool echoOn = false;
};

/// Prompts and the answers typed at them, in order.
using Dialogue = std::vector<std::pair<std::string, std::string>>;

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
    static std::string tool(const std::string& arguments) { return "'" VELLUMPAD_CLI_PATH "' " + arguments; }
    Outcome cli(const std::string& arguments, std::string_view input = {}, bool trace = false) {
        return shell(tool(arguments), input, trace);
    }
    /// The tool with its own redirections, which the outer ones of shell() do not override.
    Outcome redirected(const std::string& arguments) { return shell("sh -c \"" + tool(arguments) + "\""); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    /// Runs the tool in a session of its own on a new pseudo-terminal, its controlling terminal and standard
    /// streams, typing each answer and Enter once the terminal shows its prompt.
    TerminalOutcome onTerminal(const std::string& arguments, const Dialogue& dialogue) {
        int master = -1;
        int slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return {};
        }
        const std::string dir = "'" + m_dir.string() + "'";
        const std::string line = "cd " + dir + " && HOME=" + dir + " XDG_CONFIG_HOME=" + dir +
                                 "/config VELLUMPAD_TRACE=0 exec " + tool(arguments);
        const char* const argv[] = {"sh", "-c", line.c_str(), nullptr};
        const pid_t child = ::fork();
        if (child == 0) {
            ::setsid();
            ::ioctl(slave, TIOCSCTTY, 0);
            ::dup2(slave, STDIN_FILENO);
            ::dup2(slave, STDOUT_FILENO);
            ::dup2(slave, STDERR_FILENO);
            ::execv("/bin/sh", const_cast<char* const*>(argv));
            ::_exit(127);
        }
        TerminalOutcome outcome;
        std::size_t answered = 0;
        std::size_t unread = 0;
        int status = 0;
        bool ended = false;
        // Ten quiet seconds mean a prompt that never came; once the run has ended, a quiet moment means all is read.
        for (int quiet = 0; quiet < 100 && !(ended && quiet > 0);) {
            pollfd ready{master, POLLIN, 0};
            char buffer[4096];
            const ssize_t got = ::poll(&ready, 1, 100) > 0 ? ::read(master, buffer, sizeof buffer) : 0;
            if (got > 0) {
                outcome.shown.append(buffer, static_cast<std::size_t>(got));
                quiet = 0;
            } else {
                ++quiet;
            }
            if (answered < dialogue.size()) {
                const auto& [prompt, answer] = dialogue[answered];
                if (const std::size_t at = outcome.shown.find(prompt, unread); at != std::string::npos) {
                    unread = at + prompt.size();
                    const std::string typed = answer + "\n";
                    EXPECT_EQ(::write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
                    ++answered;
                }
            }
            ended = ended || ::waitpid(child, &status, WNOHANG) == child;
        }
        if (!ended) {
            ADD_FAILURE() << arguments << " did not end; the terminal showed: " << outcome.shown;
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
        }
        termios after{};
        outcome.echoOn = ::tcgetattr(slave, &after) == 0 && (after.c_lflag & ECHO) != 0;
        ::close(master);
        ::close(slave);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return outcome;
    }

    /// Runs the tool in this process with its errors in a file: the exit status and what it reported there.
    std::pair<int, std::string> runHere(const Command& command, cipher::MemoryLog& log,
                                        cipher::FileOps& ops = cipher::systemFileOps()) {
        platform::MemoryPreferences preferences;
        std::FILE* errors = std::fopen(path("errors").c_str(), "w");
        if (errors == nullptr) {
            ADD_FAILURE() << "cannot write the errors file";
            return {-1, ""};
        }
        const int status =
            cli::run(command, {.errors = errors, .preferences = preferences, .log = log, .fileOps = &ops});
        std::fclose(errors);
        return {status, readFile(m_dir / "errors")};
    }

    /// Runs the tool in the folder with its standard input fed from the file through a pipe (from /dev/null when
    /// none is named) and its standard output into the named file: the exit status and the peak resident memory
    /// of the tool alone, in KiB.
    std::pair<int, long> peakMemory(const Args& arguments, const std::string& fedFrom, const std::string& outputTo) {
        std::vector<std::string> words{VELLUMPAD_CLI_PATH};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        std::string home = "HOME=" + m_dir.string(), config = "XDG_CONFIG_HOME=" + path("config");
        char* envp[] = {home.data(), config.data(), nullptr};
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "no pipe";
            return {-1, 0};
        }
        const pid_t child = ::fork();
        if (child == 0) {
            const int input = fedFrom.empty() ? ::open("/dev/null", O_RDONLY) : ends[0];
            const int output = ::open(path(outputTo).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int errors = ::open("/dev/null", O_WRONLY);
            if (::chdir(m_dir.c_str()) == 0 && ::dup2(input, 0) == 0 && ::dup2(output, 1) == 1 &&
                ::dup2(errors, 2) == 2) {
                ::execve(argv[0], argv.data(), envp);
            }
            ::_exit(127);
        }
        ::close(ends[0]);
        // A tool that stops reading early must not end this process with SIGPIPE.
        const sighandler_t previous = std::signal(SIGPIPE, SIG_IGN);
        if (!fedFrom.empty()) {
            std::ifstream fed(path(fedFrom), std::ios::binary);
            std::vector<char> piece(1 << 20);
            bool open = true;
            while (open && fed.read(piece.data(), static_cast<std::streamsize>(piece.size())).gcount() > 0) {
                open = ::write(ends[1], piece.data(), static_cast<std::size_t>(fed.gcount())) == fed.gcount();
            }
        }
        ::close(ends[1]);
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        std::signal(SIGPIPE, previous);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, usage.ru_maxrss};
    }

    /// A refused or failed run leaves no temporary file of an atomic save behind.
    void expectNoTemporaryFiles() const {
        for (const fs::directory_entry& entry : fs::directory_iterator(m_dir)) {
            EXPECT_FALSE(cipher::isTemporarySaveName(entry.path().filename().string())) << entry.path();
        }
    }

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
    const std::string help = cli("--help").out;
    EXPECT_EQ(help.substr(0, 6), "Usage:");
    for (const char* option : {"-p, --ask-password", "--verbose", "--version"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    const Outcome unknown = cli("--x");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "vellumpad-cli: unknown option '--x'; see 'vellumpad-cli --help'\n");
}

TEST_F(CliTest, TakesThePasswordFromTheFileLessOneLineBreakOrElseFromThePreferences) {
    const QString store = QString::fromStdString(path("config/Vellumpad/Vellumpad.conf"));
    ASSERT_TRUE(platform::SettingsPreferences(store).setString(platform::passwordKey, QStringLiteral("stored")));
    const std::string fileText = cli("encrypt", "note").out;
    const std::pair<std::string, bool> cases[] = {
        {"stored", true}, {"stored\n", true}, {"stored\r\n", true}, {"stored\n\n", false}, {"stored\r", false}};
    for (const auto& [content, opens] : cases) {
        writeFile(m_dir / "given", content);
        const Outcome decrypted = cli("decrypt --password-file given", fileText);
        EXPECT_EQ(decrypted.status, opens ? 0 : 1) << decrypted.err;
        EXPECT_EQ(decrypted.out, opens ? "note" : "");
    }
    EXPECT_EQ(cli("decrypt -o plain", fileText, true).out.substr(0, 14), "decryptedData\n");
    EXPECT_EQ(readFile(m_dir / "plain"), "note");

    // A hand-edited password that is no text is refused, never read as empty or with '?' in it.
    for (const char* line : {"password=pw\\xd800", "password=a, b", "password=@ByteArray(pw)"}) {
        writeFile(store.toStdString(), std::string("[General]\n") + line + "\n");
        const Outcome refused = cli("encrypt -o refused.vpd", "note");
        EXPECT_EQ(refused.status, 1) << line;
        EXPECT_NE(refused.err.find("the stored password is unusable"), std::string::npos) << refused.err;
        EXPECT_FALSE(std::filesystem::exists(m_dir / "refused.vpd")) << line;
    }
}

TEST_F(CliTest, SucceedsSilentlyUnlessVerboseAndWarnsOfAnEmptyPassword) {
    writeFile(m_dir / "empty", "\n");
    writeFile(m_dir / "note.txt", "note");
    ASSERT_EQ(cli("encrypt --password-file pw -o n.vpd note.txt").status, 0);
    const std::string warning = "vellumpad-cli: warning: no password is set; anyone with the file can read it\n";
    // The arguments, and what standard error must hold with and without --verbose.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"encrypt --password-file pw -o n.vpd note.txt", "", "] Success!\n"},
        {"decrypt --password-file pw -o n.txt n.vpd", "", ""},
        {"rekey --old-password-file pw --new-password-file pw n.vpd", "", "] Success!\n"},
        {"encrypt --password-file empty -o e.vpd note.txt", warning, "] Success!\n"},
        {"encrypt --password-file empty note.txt", warning, ""},
        {"rekey --old-password-file empty --new-password-file empty e.vpd", warning, "] Success!\n"},
    };
    for (const auto& [arguments, quiet, verboseEnd] : cases) {
        const Outcome run = cli(arguments);
        EXPECT_EQ(run.status, 0) << arguments;
        EXPECT_EQ(run.err, quiet) << arguments;
        const Outcome verbose = cli(arguments + " --verbose");
        EXPECT_EQ(verbose.status, 0) << arguments;
        EXPECT_TRUE(verbose.err.starts_with(quiet) && verbose.err.ends_with(verboseEnd)) << verbose.err;
        EXPECT_EQ(std::ranges::count(verbose.err, '\n'), std::ranges::count(quiet + verboseEnd, '\n')) << verbose.err;
    }
    EXPECT_EQ(cli("decrypt --password-file empty e.vpd").out, "note");
    EXPECT_EQ(cli("--version").out, "vellumpad-cli " VELLUMPAD_VERSION "\n");
}

TEST_F(CliTest, ReportsAFailedWriteInOneLineNamingTheFile) {
    writeFile(m_dir / "note.txt", "note");
    ASSERT_EQ(cli("encrypt --password-file pw -o n.vpd note.txt").status, 0);
    const std::pair<std::string, std::string> cases[] = {
        {"encrypt --password-file pw -o gone/n.vpd note.txt", "gone/n.vpd"},
        {"decrypt --password-file pw -o gone/n.txt n.vpd", "gone/n.txt"},
        {"decrypt --password-file pw -o gone/n.txt", "gone/n.txt"},
    };
    for (const auto& [arguments, file] : cases) {
        const Outcome failed = cli(arguments + " --verbose", readFile(m_dir / "n.vpd"));
        EXPECT_EQ(failed.status, 1);
        EXPECT_TRUE(failed.err.ends_with("vellumpad-cli: " + file + ": cannot be written: the folder does not exist\n"))
            << failed.err;
        EXPECT_EQ(cli(arguments, readFile(m_dir / "n.vpd")).err, failed.err.substr(failed.err.rfind("vellumpad-cli: ")))
            << arguments;
    }
}

TEST_F(CliTest, AsksForPasswordsAtTheTerminalWithoutShowingThem) {
    writeFile(m_dir / "note.txt", "note");
    writeFile(m_dir / "typed", "s3cret");
    const std::string wrong = "n.vpd: wrong password or damaged file";
    // Run in order: each note is left for the next, under the password the last one set.
    const std::tuple<std::string, Dialogue, int, std::string> cases[] = {
        {"encrypt -p -o n.vpd note.txt", {{"Password: ", "s3cret"}, {"Repeat password: ", "s3cret"}}, 0, ""},
        {"decrypt -p n.vpd", {{"Password: ", "s3cret"}}, 0, "note"},
        {"encrypt --ask-password -o n.vpd note.txt",
         {{"Password: ", "s3cret"}, {"Repeat password: ", "s3cre"}},
         1,
         "the two passwords typed differ"},
        {"rekey -p --old-password-file typed n.vpd",
         {{"New password: ", "n3w"}, {"Repeat new password: ", "n3w"}},
         0,
         ""},
        {"rekey -p --new-password-file typed n.vpd", {{"Old password: ", "s3cret"}}, 1, wrong},
        {"rekey -p n.vpd",
         {{"Old password: ", "n3w"}, {"New password: ", "s3cret"}, {"Repeat new password: ", "s3cret"}},
         0,
         ""},
        {"decrypt -p n.vpd", {{"Password: ", "s3cret"}}, 0, "note"},
        {"encrypt -p note.txt", {{"Password: ", ""}, {"Repeat password: ", ""}}, 0, "warning: no password is set"},
        {"decrypt -p n.vpd", {{"Password: ", "\x03"}}, 128 + SIGINT, ""},
    };
    for (const auto& [arguments, dialogue, status, shows] : cases) {
        const TerminalOutcome run = onTerminal(arguments, dialogue);
        EXPECT_EQ(run.status, status) << arguments << ": " << run.shown;
        EXPECT_NE(run.shown.find(shows), std::string::npos) << arguments << ": " << run.shown;
        for (const char* typed : {"s3cre", "n3w"}) {
            EXPECT_EQ(run.shown.find(typed), std::string::npos) << arguments << ": " << run.shown;
        }
        EXPECT_TRUE(run.echoOn) << arguments;
    }
    // Without a terminal there is no one to ask.
    const Outcome detached = shell("setsid -w " + tool("encrypt -p -o d.vpd note.txt"));
    EXPECT_EQ(detached.status, 2);
    EXPECT_NE(detached.err.find("needs a terminal"), std::string::npos) << detached.err;
    EXPECT_FALSE(fs::exists(path("d.vpd")));
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
    const std::string notUtf8 = "in: not UTF-8 text", refused = "in: wrong password or damaged file";
    // The arguments, the input and the error it must give.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"encrypt --password-file pw", "ok \xff\xfe", notUtf8},
        {"encrypt --password-file pw", std::string(3 << 20, 'x') + "\xe2\x82", notUtf8},
        {"decrypt --password-file wrong", valid, refused},
        {"decrypt --password-file pw", "not*base64=", refused},
        {"decrypt --password-file pw", valid.substr(0, 70), refused},
        {"decrypt --password-file pw", notText, refused},
    };
    for (const auto& [arguments, input, message] : cases) {
        writeFile(m_dir / "in", input);
        fs::remove(path("out"));
        // No output file is made; one that held something keeps it, as the cli_run fuzzer checks for any input.
        const Outcome toNewFile = cli(arguments + " -o out in");
        EXPECT_EQ(toNewFile.status, 1);
        EXPECT_NE(toNewFile.err.find(message), std::string::npos) << toNewFile.err;
        EXPECT_FALSE(fs::exists(path("out")));
        const Outcome toStdout = cli(arguments + " in");
        EXPECT_EQ(toStdout.status, 1);
        EXPECT_EQ(toStdout.out, "");
        // Into a pipe nothing is written before all is checked; a file appended to is cut back, also when it
        // takes the error message too.
        EXPECT_EQ(shell(tool(arguments + " in") + " | cat").out, "");
        writeFile(m_dir / "kept", "earlier\n");
        EXPECT_EQ(redirected(arguments + " in >>kept 2>&1").status, 1);
        EXPECT_EQ(readFile(m_dir / "kept"), "earlier\n" + toStdout.err);
        EXPECT_EQ(redirected(arguments + " in >both 2>&1").status, 1);
        EXPECT_EQ(readFile(m_dir / "both"), toStdout.err);

        // From a pipe the note is encrypted or decrypted as it is read, and refused all the same.
        const std::string cause = message.substr(message.find(':'));
        EXPECT_EQ(cli(arguments + " -o out", input).status, 1);
        EXPECT_FALSE(fs::exists(path("out")));
        const Outcome pipedToStdout = cli(arguments, input);
        EXPECT_EQ(pipedToStdout.status, 1);
        EXPECT_EQ(pipedToStdout.out, "");
        EXPECT_TRUE(pipedToStdout.err.starts_with("vellumpad-cli: standard input" + cause)) << pipedToStdout.err;
        writeFile(m_dir / "kept", "earlier\n");
        EXPECT_EQ(shell("sh -c \"" + tool(arguments + " >>kept 2>&1") + "\"", input).status, 1);
        EXPECT_EQ(readFile(m_dir / "kept"), "earlier\n" + pipedToStdout.err);
        // Into a pipe, what was written cannot be taken back: the message says whether any was.
        const Outcome intoPipe = shell("sh -c \"" + tool(arguments) + " | cat\"", input);
        EXPECT_EQ(intoPipe.out.empty(), intoPipe.err.ends_with("; nothing written\n")) << intoPipe.err;
        EXPECT_EQ(intoPipe.out.empty(), !intoPipe.err.ends_with("; the output is incomplete\n")) << intoPipe.err;
    }
    writeFile(m_dir / "kept", "earlier\n");
    writeFile(m_dir / "in", "note");
    ASSERT_EQ(redirected("encrypt --password-file pw in >>kept").status, 0);
    EXPECT_EQ(readFile(m_dir / "kept"), "earlier\n" + cli("encrypt --password-file pw in").out);
    expectNoTemporaryFiles();
}

// Each of these once took gigabytes, ran for ever, or wrote over the note; now each is refused at once with the
// reason, and nothing is written.
TEST_F(CliTest, RefusesInputsItCannotSafelyReadAndWritesNothing) {
    ASSERT_EQ(cli("encrypt --password-file pw -o note.vpd", "note").status, 0);
    const std::string note = readFile(m_dir / "note.vpd");
    writeFile(m_dir / "junk.vpd", note + "\r\n\xFF");
    writeFile(m_dir / "long-pw", std::string(64 * 1024 + 1, 'p'));
    writeFile(m_dir / "longest-pw", std::string(64 * 1024, 'p'));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    fs::create_symlink("note.vpd", path("link"));
    const int sparse = ::open(path("sparse.vpd").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_TRUE(sparse >= 0 && ::ftruncate(sparse, off_t{64} << 30) == 0);
    ::close(sparse);
    const std::string refused = "wrong password or damaged file; nothing written";
    const std::string sameFile = "is the same file as the output";
    // The command line (run by sh, in the folder) and what its message must hold.
    const std::pair<std::string, std::string> cases[] = {
        {"encrypt --password-file /dev/zero note.vpd", "/dev/zero: larger than 64 KiB"},
        {"decrypt --password-file long-pw note.vpd", "long-pw: larger than 64 KiB"},
        {"encrypt --password-file pw /dev/zero", "/dev/zero: cannot be read: it is neither a regular file nor a pipe"},
        {"decrypt --password-file pw /dev/zero", "/dev/zero: cannot be read: it is neither a regular file nor a pipe"},
        {"decrypt --password-file pw .", ".: cannot be read: it is a folder"},
        {"encrypt --password-file pw </dev/urandom", "standard input: not UTF-8 text"},
        {"decrypt --password-file pw </dev/zero", "standard input: " + refused},
        {"decrypt --password-file pw sparse.vpd", "sparse.vpd: " + refused},
        {"head -c 300000000 /dev/zero | tr '\\0' A | " + tool("decrypt --password-file pw"), refused},
        {"decrypt --password-file pw junk.vpd", "junk.vpd: " + refused},
        {"decrypt --password-file pw <junk.vpd", "standard input: " + refused},
        {"rekey --old-password-file pw --new-password-file pw fifo", "fifo: cannot be read: it is not a regular file"},
        {"decrypt --password-file pw -o note.vpd note.vpd", "note.vpd: " + sameFile + ", note.vpd; nothing written"},
        {"decrypt --password-file pw -o link note.vpd", sameFile},
        {"decrypt --password-file pw -o note.vpd <note.vpd", "standard input: " + sameFile},
        {"encrypt --password-file pw note.vpd >>note.vpd", sameFile + ", standard output"},
    };
    for (const auto& [commandLine, message] : cases) {
        const Outcome outcome =
            shell("timeout 60 sh -c \"" + (commandLine.starts_with("head") ? commandLine : tool(commandLine)) + "\"");
        EXPECT_EQ(outcome.status, 1) << commandLine;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << commandLine << ": " << outcome.err;
        EXPECT_EQ(outcome.out, "") << commandLine;
        EXPECT_EQ(readFile(m_dir / "note.vpd"), note) << commandLine;
    }
    // The largest password file still allowed, and a named pipe, still work.
    EXPECT_EQ(cli("encrypt --password-file longest-pw", "n").status, 0);
    EXPECT_EQ(shell("sh -c \"cat note.vpd >fifo & " + tool("decrypt --password-file pw fifo") + "\"").out, "note");
    // A name that would clear the screen is quoted.
    cipher::MemoryLog log;
    const Command command{.kind = CommandKind::decrypt, .input = path("a\nb\x1b[2J"), .passwordFile = path("pw")};
    EXPECT_EQ(runHere(command, log), std::pair(cli::exitFailure, "vellumpad-cli: $'" + path("a\\nb\\033[2J") +
                                                                     "': cannot be read: no such file\n"));
    expectNoTemporaryFiles();
}

// Neither a note from a pipe nor a mapped note file is held whole, and a mapped file's memory is given back as it
// is decrypted: the tool's peak memory grows far less with a large note than the note. Holding one would add all of
// it, whatever the build's own overhead. The tool starts with as much memory as this process had when it forked, so
// this process holds nothing large meanwhile.
TEST_F(CliTest, KeepsItsMemoryFarBelowALargeNoteFromAPipeOrAFile) {
    constexpr std::size_t large = std::size_t{64} << 20;
    // Written a line at a time: the tool starts with this process's memory, which would hide the tool's own.
    for (std::ofstream lines(path("large.txt"), std::ios::binary); fs::file_size(path("large.txt")) < large;) {
        for (int line = 0; line < 100000; ++line) {
            lines << "A line of the note, caf\u00e9 \u65e5\u672c.\n";
        }
        lines.flush();
    }
    writeFile(m_dir / "small.txt", "note");
    for (const std::string size : {"small", "large"}) {
        ASSERT_EQ(cli("encrypt --password-file pw -o " + size + ".vpd " + size + ".txt").status, 0);
    }
    // The arguments (SIZE stands for small or large), the file fed through a pipe, and where output goes.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"encrypt --password-file pw -o out.vpd", "SIZE.txt", "stdout"},
        {"encrypt --password-file pw", "SIZE.txt", "/dev/null"},
        {"decrypt --password-file pw -o out.txt", "SIZE.vpd", "stdout"},
        {"decrypt --password-file pw", "SIZE.vpd", "stdout"},
        {"decrypt --password-file pw -o out.txt SIZE.vpd", "", "stdout"},
        {"decrypt --password-file pw SIZE.vpd", "", "/dev/null"},
    };
    const auto sized = [](std::string line, const std::string& size) {
        for (std::size_t at = line.find("SIZE"); at != std::string::npos; at = line.find("SIZE")) {
            line.replace(at, 4, size);
        }
        return line;
    };
    for (const auto& [arguments, fed, output] : cases) {
        std::array<long, 2> peak{};
        for (const std::size_t at : {0U, 1U}) {
            const std::string size = at == 0 ? "small" : "large";
            Args words;
            std::istringstream split(sized(arguments, size));
            for (std::string word; split >> word;) {
                words.push_back(word);
            }
            const auto [status, kib] = peakMemory(words, sized(fed, size), output);
            EXPECT_EQ(status, 0) << arguments << " " << size;
            peak[at] = kib;
        }
        EXPECT_LT(peak[1] - peak[0], static_cast<long>(large / 1024 / 3))
            << arguments << ": " << peak[0] << " KiB for a small note, " << peak[1] << " KiB for a large one";
    }
}

TEST(QuotedName, QuotesOnlyNamesWithControlCharactersAsLsDoes) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain note.vpd", "plain note.vpd"},       {"caf\u00e9 it's", "caf\u00e9 it's"}, {"a\nb", "$'a\\nb'"},
        {"\x1b[2Jit's\\", "$'\\033[2Jit\\'s\\\\'"}, {"\t\r\x7f", "$'\\t\\r\\177'"},
    };
    for (const auto& [name, quoted] : cases) {
        EXPECT_EQ(cli::quotedName(name), quoted);
    }
}

TEST(MappedFile, AFileCutShortWhileMappedEndsTheProgramWithAPlainMessage) {
    const cipher::test::TempDir dir;
    writeFile(dir / "note.txt", std::string(1 << 20, 'n'));
    const std::string temporary = (dir / ".out.vellumpad-save-Ab12Cd.tmp").string();
    const auto touchAfterTheCut = [&] {
        // The writer's temporary file, as made during a decrypt -o, must go with the program.
        cli::TemporaryNotingFileOps ops(cipher::systemFileOps());
        if (ops.createExclusive(temporary, 0600) < 0) {
            return;
        }
        const int fd = ::open((dir / "note.txt").c_str(), O_RDWR);
        const std::optional<cli::MappedFile> mapped = cli::MappedFile::map(fd);
        // Another program's truncation, as far as the mapping can tell.
        if (mapped && ::ftruncate(fd, 0) == 0) {
            [[maybe_unused]] const volatile char touched = mapped->text()[600'000];
        }
    };
    EXPECT_EXIT(touchAfterTheCut(), ::testing::ExitedWithCode(cli::exitFailure),
                ::testing::Matcher<const std::string&>(std::string(cli::inputCutShortMessage)));
    EXPECT_EQ(dir.names(), std::vector<std::string>{"note.txt"});
}

/// Lets every write through except the rename onto one chosen note, which fails as on a read-only disk.
struct RenameFailsFor final : cipher::FileOps {
    explicit RenameFailsFor(std::string note) : target(std::move(note)) {}
    int rename(const std::string& from, const std::string& to) override {
        if (to == target) {
            errno = EROFS;
            return -1;
        }
        return cipher::FileOps::rename(from, to);
    }
    std::string target;
};

TEST_F(CliTest, RekeysEachNoteThatOpensAndCanBeWrittenAndLeavesTheOthersUntouched) {
    writeFile(m_dir / "new", "new");
    writeFile(m_dir / "other", "other");
    ASSERT_EQ(cli("encrypt --password-file pw -o a.vpd", "a").status, 0);
    ASSERT_EQ(cli("encrypt --password-file pw -o b.vpd", "b").status, 0);
    ASSERT_EQ(cli("encrypt --password-file other -o foreign.vpd", "foreign").status, 0);
    const std::string a = readFile(m_dir / "a.vpd"), foreign = readFile(m_dir / "foreign.vpd");

    // a.vpd cannot be written. b.vpd twice: once rekeyed it no longer opens under the old password and must not be
    // tried again.
    const Command command{
        .kind = CommandKind::rekey,
        .oldPasswordFile = path("pw"),
        .newPasswordFile = path("new"),
        .files = {path("a.vpd"), path("b.vpd"), path("foreign.vpd"), path("gone/x.vpd"), path("./b.vpd")}};
    cipher::MemoryLog log;
    RenameFailsFor ops(path("a.vpd"));
    const auto [status, reported] = runHere(command, log, ops);
    EXPECT_EQ(status, cli::exitFailure);
    EXPECT_NE(reported.find(path("a.vpd") + ": cannot be written: " + cipher::describeFileError(EROFS) + "\n"),
              std::string::npos)
        << reported;
    EXPECT_NE(reported.find(path("foreign.vpd") + ": wrong password or damaged file; left unchanged"),
              std::string::npos);
    EXPECT_NE(reported.find(path("gone/x.vpd") + ": cannot be read"), std::string::npos) << reported;
    EXPECT_EQ(reported.find("b.vpd: wrong"), std::string::npos) << reported;
    EXPECT_EQ(log.lines, (std::vector<std::string>{"Failed!!", "Success!"}));
    EXPECT_EQ(readFile(m_dir / "a.vpd"), a);
    EXPECT_EQ(readFile(m_dir / "foreign.vpd"), foreign);
    EXPECT_EQ(cli("decrypt --password-file new b.vpd").out, "b");
}

} // namespace
