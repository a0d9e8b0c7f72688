#include "../cipher/test_support.h"
#include "cipher/crypto/aes.h"
#include "cipher/files/file_io.h"
#include "cipher/files/interrupted_saves.h"
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
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <functional>
#include <iostream>
#include <regex>
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
        {{"decrypt", "--output=a b", "--password-file=pw", "--", "-odd.vpd"},
         {.kind = CommandKind::decrypt, .input = "-odd.vpd", .output = "a b", .passwordFile = "pw"}},
        {{"rekey", "--old-password-file", "old", "a.vpd", "--new-password-file=new", "b.vpd"},
         {.kind = CommandKind::rekey, .oldPasswordFile = "old", .newPasswordFile = "new", .files = {"a.vpd", "b.vpd"}}},
        {{"decrypt", "-o", "x", "--version"}, {.kind = CommandKind::version}},
        {{"encrypt", "-oout.vpd", "in.txt", "-p"},
         {.kind = CommandKind::encrypt, .input = "in.txt", .output = "out.vpd", .askPassword = true}},
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
        {{"decrypt", "--password=hunter2"}, "never taken from the command line"},
        {{"decrypt", "-phunter2"}, "never taken from the command line"},
        {{"decrypt", "--password", "hunter2"}, "never taken from the command line"},
        {{"encrypt", "--out=x"}, "unknown option '--out'"},
        {{"encrypt", "-o"}, "option '-o' needs a file name"},
        {{"encrypt", "--verbose=hunter2"}, "option '--verbose' takes no value"},
        {{"decrypt", "--ask-password=hunter2"}, "option '--ask-password' takes no value"},
        {{"encrypt", "-p", "--password-file", "pw"}, "cannot be used together"},
        {{"encrypt", "--password-file", "-"}, "for standard input name /dev/stdin"},
        {{"decrypt", "--old-password-file", "x"}, "option '--old-password-file' does not apply to decrypt"},
        {{"encrypt", "-o", "a", "--output", "b"}, "option '--output' is given twice"},
        {{"encrypt", "a", "hunter2"}, "encrypt takes one input file at most, not 2"},
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
    /// The peak resident memory of the largest process the run waited for, in KiB.
    long peakKiB = 0;
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

    /// Starts a shell command line in the temporary folder, after what (after the fork) prepares the child, with HOME
    /// and XDG_CONFIG_HOME there too so that the real user's preferences are never read; its process id.
    pid_t start(const std::string& pipeFrom, const std::string& command, const std::function<void()>& prepare = {},
                bool trace = false) {
        const std::string dir = "'" + m_dir.string() + "'";
        const std::string line = "cd " + dir + " && " + pipeFrom + "HOME=" + dir + " XDG_CONFIG_HOME=" + dir +
                                 "/config VELLUMPAD_TRACE=" + (trace ? "1 " : "0 ") + command;
        const pid_t child = ::fork();
        if (child == 0) {
            if (prepare) {
                prepare();
            }
            ::execl("/bin/sh", "sh", "-c", line.c_str(), nullptr);
            ::_exit(127);
        }
        return child;
    }

    /// Runs a shell command line in the temporary folder, the input piped in.
    Outcome shell(const std::string& commandLine, std::string_view input = {}, bool trace = false) {
        writeFile(m_dir / "stdin", input);
        const pid_t child = start("cat stdin | ", commandLine + " >stdout 2>stderr", {}, trace);
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(m_dir / "stdout"), readFile(m_dir / "stderr"),
                usage.ru_maxrss};
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
        // This end of the terminal stays open here too, so that all the run showed can be read once it has ended.
        int master = -1;
        int slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return {};
        }
        const pid_t child = start("", "exec " + tool(arguments), [&] { ::login_tty(slave); });
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

    /// The temporary files of saves in the folder.
    std::vector<std::string> temporaryFiles() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_dir)) {
            if (cipher::isTemporarySaveName(entry.path().filename().string())) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
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

    /// A refused or failed run leaves no temporary file of an atomic save behind.
    void expectNoTemporaryFiles() const { EXPECT_EQ(temporaryFiles(), std::vector<std::string>{}); }

    const cipher::test::TempDir m_tempDir;
    const fs::path m_dir = m_tempDir.path();
};

TEST_F(CliTest, RoundTripsNotesIntoOwnerOnlyFiles) {
    const std::string notes[] = {"", "caf\u00e9 \u65e5\u672c\r\n\n", std::string(3 << 20, 'x') + "\u20ac"};
    for (const std::string& note : notes) {
        fs::remove(path("note.vpd"));
        const Outcome encrypted = cli("encrypt --password-file pw -o note.vpd", note);
        ASSERT_EQ(encrypted.status, 0) << encrypted.err;
        EXPECT_EQ(fs::status(path("note.vpd")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        const Outcome decrypted = cli("decrypt --password-file pw note.vpd");
        ASSERT_EQ(decrypted.status, 0) << decrypted.err;
        EXPECT_TRUE(decrypted.out == note) << "note of " << note.size() << " bytes";
        ASSERT_EQ(cli("decrypt --password-file pw -o plain.txt note.vpd").status, 0);
        EXPECT_TRUE(readFile(m_dir / "plain.txt") == note) << note.size();
    }
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

    // A file that is no preferences text, or no file at all, holds no password anyone chose: nothing is encrypted
    // under the empty one, and a pipe there is not waited on. (A hand-edited value that is no text takes the same way
    // out of storedPasswordUtf8, whose answers are the preferences' own test.) With a password file the preferences
    // are never opened.
    const std::string unusable = "the stored password is unusable";
    const std::pair<std::string, std::string> broken[] = {
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18), unusable + ": the preferences file is damaged"},
        {"fifo", unusable + ": the preferences file is not a regular file"},
    };
    for (const auto& [content, message] : broken) {
        writeFile(store.toStdString(), content);
        if (content == "fifo") {
            fs::remove(store.toStdString());
            ASSERT_EQ(::mkfifo(store.toLocal8Bit().constData(), 0600), 0);
        }
        const Outcome outcome = shell("timeout 20 " + tool("encrypt -o refused.vpd"), "note");
        EXPECT_EQ(outcome.status, 1) << message;
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_FALSE(fs::exists(m_dir / "refused.vpd"));
        EXPECT_EQ(shell("timeout 20 " + tool("encrypt --password-file pw -o given.vpd"), "note").status, 0) << message;
    }
}

TEST_F(CliTest, WarnsOfAnEmptyPasswordAndOtherwiseSucceedsSilently) {
    writeFile(m_dir / "empty", "\n");
    const std::string warning = "vellumpad-cli: warning: no password is set; anyone with the file can read it\n";
    const std::string missing = "vellumpad-cli: missing.vpd: cannot be read: no such file";
    const std::tuple<std::string, int, std::string> cases[] = {
        {"encrypt --password-file pw -o n.vpd", 0, ""},
        {"decrypt --password-file pw -o n.txt n.vpd", 0, ""},
        {"encrypt --password-file empty -o e.vpd", 0, warning},
        {"rekey --old-password-file empty --new-password-file empty e.vpd", 0, warning},
        // Not before a failure that makes it moot.
        {"encrypt --password-file empty -o m.vpd missing.vpd", 1, missing + "\n"},
        {"rekey --old-password-file empty --new-password-file empty missing.vpd", 1, missing + "; left unchanged\n"},
    };
    for (const auto& [arguments, status, err] : cases) {
        const Outcome run = cli(arguments, "note");
        EXPECT_EQ(run.status, status) << arguments;
        EXPECT_EQ(run.err, err) << arguments;
    }
    EXPECT_EQ(cli("decrypt --password-file empty e.vpd").out, "note");
    const Outcome verbose = cli("encrypt --password-file empty --verbose -o v.vpd", "note");
    EXPECT_TRUE(verbose.err.starts_with(warning) && verbose.err.ends_with("] Success!\n")) << verbose.err;
}

TEST_F(CliTest, AsksForPasswordsAtTheTerminalWithoutShowingThem) {
    writeFile(m_dir / "note.txt", "note");
    // Run in order: each note is left for the next, under the password the last one set.
    const std::tuple<std::string, Dialogue, int, std::string> cases[] = {
        // A password being set that would fall to offline guessing within a century is warned about, and used.
        {"encrypt -p -o n.vpd note.txt",
         {{"Password: ", "s3cret"}, {"Repeat password: ", "s3cret"}},
         0,
         "warning: this password is weak"},
        {"encrypt -p -o n.vpd note.txt", {{"Password: ", "n3w"}, {"Repeat password: ", "s3cre"}}, 1, "differ"},
        {"rekey -p n.vpd",
         {{"Old password: ", "s3cret"}, {"New password: ", "n3w"}, {"Repeat new password: ", "n3w"}},
         0,
         ""},
        {"decrypt -p n.vpd", {{"Password: ", "n3w"}}, 0, "note"},
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
    // File text shown on a terminal ends its line, so that the prompt does not join it; a file gets it exactly.
    const TerminalOutcome shown = onTerminal("encrypt --password-file pw note.txt", {});
    EXPECT_EQ(shown.shown, cli("encrypt --password-file pw note.txt").out + "\r\n");
    // Without a terminal there is no one to ask.
    const Outcome detached = shell("setsid -w " + tool("encrypt -p -o d.vpd note.txt"));
    EXPECT_EQ(detached.status, 2);
    EXPECT_NE(detached.err.find("needs a terminal"), std::string::npos) << detached.err;
    EXPECT_FALSE(fs::exists(path("d.vpd")));
}

TEST_F(CliTest, RefusesBadInputAndWritesNothing) {
    // Decrypts with valid padding to bytes that are not UTF-8, of which only a part would be a note.
    const std::string notText = cipher::base64Encode(
        *cipher::aesCbcEncrypt(cipher::deriveKey("correct horse"), cipher::noteIv, cipher::asBytes("ok \xff")));
    // The arguments, the input and the reason it must give; that any input is refused cleanly is the cli_run
    // fuzzer's, these take a large note or stream part of one before the fault shows.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"encrypt --password-file pw", std::string(3 << 20, 'x') + "\xe2\x82", ": not UTF-8 text"},
        {"decrypt --password-file pw", notText, ": wrong password or damaged file"},
    };
    for (const auto& [arguments, input, reason] : cases) {
        writeFile(m_dir / "in", input);
        for (const std::string from : {"in", "standard input"}) {
            const std::string line = arguments + (from == "in" ? " in" : " <in");
            EXPECT_EQ(cli(line + " -o out").status, 1) << line;
            EXPECT_FALSE(fs::exists(path("out"))) << line;
            // A file appended to is cut back, also when it takes the error message too.
            writeFile(m_dir / "kept", "earlier\n");
            EXPECT_EQ(redirected(line + " >>kept 2>&1").status, 1) << line;
            const std::string kept = readFile(m_dir / "kept");
            EXPECT_TRUE(kept.starts_with("earlier\nvellumpad-cli: " + from + reason) &&
                        kept.ends_with("; nothing written\n") && std::ranges::count(kept, '\n') == 2)
                << line << ": " << kept;
            // Into a pipe, what was written cannot be taken back: the message says whether any was. Of a named
            // file all is checked first.
            const Outcome intoPipe = shell("sh -c \"" + tool(line) + " | cat\"");
            EXPECT_EQ(intoPipe.out.empty(), intoPipe.err.ends_with("; nothing written\n")) << intoPipe.err;
            EXPECT_EQ(intoPipe.out.empty(), !intoPipe.err.ends_with("; the output is incomplete\n")) << intoPipe.err;
            EXPECT_TRUE(from != "in" || intoPipe.out.empty()) << line;
        }
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
    writeFile(m_dir / "long-pw", std::string(64 * 1024 + 1, 'p'));
    writeFile(m_dir / "longest-pw", std::string(64 * 1024, 'p'));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    fs::create_symlink("note.vpd", path("link"));
    const int sparse = ::open(path("sparse.vpd").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_TRUE(sparse >= 0 && ::ftruncate(sparse, off_t{64} << 30) == 0);
    ::close(sparse);
    const std::string refused = "wrong password or damaged file; nothing written";
    const std::string noNote = "not a Vellumpad note, or damaged beyond opening; nothing written";
    const std::string sameFile = "is the same file as the output";
    // The command line (run by sh, in the folder) and what its message must hold.
    const std::pair<std::string, std::string> cases[] = {
        {"encrypt --password-file /dev/zero note.vpd", "/dev/zero: larger than 64 KiB"},
        {"decrypt --password-file long-pw note.vpd", "long-pw: larger than 64 KiB"},
        {"encrypt --password-file pw /dev/zero", "/dev/zero: cannot be read: it is neither a regular file nor a pipe"},
        {"decrypt --password-file pw .", ".: cannot be read: it is a folder"},
        {"encrypt --password-file pw </dev/urandom", "standard input: not UTF-8 text"},
        {"decrypt --password-file pw </dev/zero", "standard input: " + noNote},
        {"decrypt --password-file pw sparse.vpd", "sparse.vpd: " + noNote},
        {"head -c 300000000 /dev/zero | tr '\\0' A | " + tool("decrypt --password-file pw"), refused},
        {"rekey --old-password-file pw --new-password-file pw fifo", "fifo: cannot be read: it is not a regular file"},
        {"decrypt --password-file pw -o note.vpd note.vpd", "note.vpd: " + sameFile + ", note.vpd; nothing written"},
        {"decrypt --password-file pw -o link note.vpd", sameFile},
        {"decrypt --password-file pw -o note.vpd <note.vpd", "standard input: " + sameFile},
        {"encrypt --password-file pw note.vpd >>note.vpd", sameFile + ", standard output"},
        {"encrypt --password-file pw -o gone/n.vpd note.vpd",
         "gone/n.vpd: cannot be written: the folder does not exist"},
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
    // Fed through a pipe or named, the output into a file or elsewhere; SIZE stands for small or large.
    const std::string encrypt = tool("encrypt --password-file pw"), decrypt = tool("decrypt --password-file pw");
    const std::string cases[] = {
        "cat SIZE.txt | " + encrypt + " -o out.vpd",
        "cat SIZE.txt | " + encrypt + " >/dev/null",
        "cat SIZE.vpd | " + decrypt + " -o out.txt",
        "cat SIZE.vpd | " + decrypt + " >out.txt",
        decrypt + " -o out.txt SIZE.vpd",
        decrypt + " SIZE.vpd >/dev/null",
    };
    for (const std::string& line : cases) {
        std::array<long, 2> peak{};
        for (const std::size_t at : {0U, 1U}) {
            const std::string sized = std::regex_replace(line, std::regex("SIZE"), at == 0 ? "small" : "large");
            const Outcome run = shell("sh -c \"" + sized + " 2>/dev/null\"");
            EXPECT_EQ(run.status, 0) << sized;
            peak[at] = run.peakKiB;
        }
        EXPECT_LT(peak[1] - peak[0], static_cast<long>(large / 1024 / 3))
            << line << ": " << peak[0] << " KiB for a small note, " << peak[1] << " KiB for a large one";
    }
}

// Ctrl+C, a closed terminal, a kill or a reader gone away while -o is being written: the temporary file, which holds
// the note in clear on decrypt, goes with the tool, which ends as the signal would; the target stays as it was.
TEST_F(CliTest, ASignalWhileWritingLeavesNoTemporaryFileAndTheTargetAsItWas) {
    writeFile(m_dir / "large.txt", std::string(std::size_t{48} << 20, 'n'));
    ASSERT_EQ(cli("encrypt --password-file pw -o large.vpd large.txt").status, 0);
    const std::pair<std::string, std::string> runs[] = {
        {"decrypt --password-file pw -o target large.vpd", "target"},
        {"encrypt --password-file pw -o target large.txt", "target"},
        {"rekey --old-password-file pw --new-password-file pw large.vpd", "large.vpd"},
    };
    writeFile(m_dir / "target", "earlier");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        for (const auto& [arguments, target] : runs) {
            const std::string line = arguments + " killed by " + std::to_string(signal);
            const std::string before = readFile(m_dir / target);
            // Nothing on its standard streams and every signal handled by default, as from a shell.
            const pid_t child = start("", "exec " + tool(arguments) + " </dev/null >/dev/null 2>&1", [] {
                sigset_t none;
                sigemptyset(&none);
                ::sigprocmask(SIG_SETMASK, &none, nullptr);
                for (const int each : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
                    ::signal(each, SIG_DFL);
                }
            });
            int status = 0;
            bool ended = false;
            // Sent once the save is writing: its temporary file has grown.
            const auto writing = [&] {
                const std::vector<std::string> names = temporaryFiles();
                std::error_code error;
                return !names.empty() && fs::file_size(m_dir / names.front(), error) > 0;
            };
            for (int wait = 0; wait < 20000 && !writing() && !ended; ++wait) {
                ended = ::waitpid(child, &status, WNOHANG) == child;
                ::usleep(500);
            }
            ASSERT_FALSE(ended) << line << ": the save ended before it could be interrupted";
            ::kill(child, signal);
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << line << ": status " << status;
            EXPECT_TRUE(readFile(m_dir / target) == before) << line;
            expectNoTemporaryFiles();
        }
    }
}

// A note the user may not write, or made read-only, is not replaced, as openssl enc -out and the editor keep it.
TEST_F(CliTest, RefusesToReplaceAReadOnlyNote) {
    ASSERT_EQ(cli("encrypt --password-file pw -o note.vpd", "note").status, 0);
    writeFile(m_dir / "plain.txt", "plain");
    const std::string note = readFile(m_dir / "note.vpd");
    fs::permissions(path("note.vpd"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(path("plain.txt"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::pair<std::string, std::string> cases[] = {
        {"encrypt --password-file pw -o note.vpd plain.txt", "note.vpd"},
        {"decrypt --password-file pw -o plain.txt note.vpd", "plain.txt"},
        {"rekey --old-password-file pw --new-password-file pw note.vpd", "note.vpd"},
    };
    for (const auto& [arguments, target] : cases) {
        const std::string before = readFile(m_dir / target);
        const Outcome refused = cli(arguments);
        EXPECT_EQ(refused.status, 1) << arguments;
        EXPECT_EQ(refused.err, "vellumpad-cli: " + target + ": cannot be written: the file is read-only\n")
            << arguments;
        EXPECT_EQ(readFile(m_dir / target), before) << arguments;
    }
    EXPECT_EQ(readFile(m_dir / "note.vpd"), note);
    expectNoTemporaryFiles();

    // A folder the user may not write is named, as it is what to look at. Root writes any folder, so the tool runs as
    // nobody here.
    if (::geteuid() == 0) {
        fs::create_directory(path("locked"));
        fs::permissions(m_dir, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
        fs::permissions(path("pw"), fs::perms::others_read, fs::perm_options::add);
        const Outcome locked = shell("setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                     tool("encrypt --password-file pw -o locked/n.vpd plain.txt"));
        EXPECT_EQ(locked.status, 1);
        EXPECT_EQ(locked.err, "vellumpad-cli: locked/n.vpd: cannot be written: its folder \"" + path("locked") +
                                  "\" is not writable\n");
    }
}

// rekey racing another writer of the same note: each save holds the note's lock, and rekey replaces the note only if
// it is still the one it read, so the note encrypt wrote is never lost.
TEST_F(CliTest, RekeyNeverLosesANoteWrittenMeanwhile) {
    writeFile(m_dir / "new", "new");
    writeFile(m_dir / "theirs.txt", std::string(std::size_t{4} << 20, 't'));
    int rekeyRefused = 0;
    for (int round = 0; round < 12; ++round) {
        ASSERT_EQ(cli("encrypt --password-file pw -o note.vpd", std::string(std::size_t{4} << 20, 'o')).status, 0);
        const Outcome race = shell("sh -c \"" + tool("rekey --old-password-file pw --new-password-file new note.vpd") +
                                   " 2>rekey.err & " + tool("encrypt --password-file pw -o note.vpd theirs.txt") +
                                   "; e=\\$?; wait \\$!; echo \\$e \\$?\"");
        const std::string statuses = race.out;
        const std::string rekeyErr = readFile(m_dir / "rekey.err");
        ASSERT_TRUE(statuses.starts_with("0 ")) << statuses << race.err;
        const std::string underOld = cli("decrypt --password-file pw note.vpd").out;
        const std::string underNew = cli("decrypt --password-file new note.vpd").out;
        EXPECT_TRUE(underOld == readFile(m_dir / "theirs.txt") || underNew == readFile(m_dir / "theirs.txt"))
            << "round " << round << ": the note encrypt wrote is gone; rekey said " << rekeyErr;
        if (statuses != "0 0\n") {
            ++rekeyRefused;
            EXPECT_NE(rekeyErr.find("note.vpd: was changed by another program while it was being re-encrypted"),
                      std::string::npos)
                << rekeyErr;
        }
        expectNoTemporaryFiles();
    }
    std::cout << rekeyRefused << " of 12 rekeys found the note changed and left it" << std::endl;
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
        const int created = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (created < 0) {
            return;
        }
        const cipher::NotedTemporary noted(temporary);
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
    EXPECT_NE(reported.find(path("a.vpd") + ": cannot be written: the disk is read-only\n"), std::string::npos)
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
