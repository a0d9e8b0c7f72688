#include "property.h"
#include "scratch.h"

#include "cli/run.h"

#include "cipher/base/log.h"
#include "cipher/encoding/utf8.h"
#include "cipher/files/atomic_file.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/trace.h"
#include "platform/preferences.h"
#include "support/memory_log.h"
#include "support/memory_preferences.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;

// The seed corpus in fuzz/corpus/cli_run holds notes saved under this password.
constexpr std::string_view password = "correct horse";
constexpr std::string_view newPassword = "battery staple";
constexpr std::string_view earlier = "earlier content\n";

// One folder per process, in memory when the system offers it, with the two password files in it.
const fs::path& folder() {
    static const fs::path& made = []() -> const fs::path& {
        const fs::path& path = fuzz::scratchFolder("cli");
        std::ofstream(path / "pw", std::ios::binary) << password << '\n';
        std::ofstream(path / "new-pw", std::ios::binary) << newPassword;
        return path;
    }();
    return made;
}

using fuzz::readFile;

void writeFile(const fs::path& path, std::string_view content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// How the command is given its input and where its output goes, from the first byte of the fuzz input.
struct Setup {
    cli::CommandKind kind;
    bool namedInput;   // a named (mapped) file, else a pipe on standard input
    bool outputFile;   // -o out, which holds earlier content, else standard output
    bool middleOfFile; // standard output in the middle of a file, where nothing can be taken back
    bool traced;
};

Setup setupFrom(std::uint8_t byte) {
    const cli::CommandKind kinds[] = {cli::CommandKind::encrypt, cli::CommandKind::decrypt, cli::CommandKind::rekey};
    return {kinds[byte % 3], (byte & 4) != 0, (byte & 8) != 0, (byte & 16) != 0, (byte & 32) != 0};
}

// Standard input as a pipe that holds the whole input: fuzz inputs stay well below a pipe's buffer.
int pipeHolding(std::string_view content) {
    int ends[2];
    require(::pipe2(ends, O_CLOEXEC) == 0);
    require(::fcntl(ends[1], F_SETPIPE_SZ, 1 << 20) >= 0 || content.size() <= 65536);
    require(::write(ends[1], content.data(), content.size()) == static_cast<ssize_t>(content.size()));
    ::close(ends[1]);
    return ends[0];
}

// What the command must do with this input: the bytes it writes, or no value when it must refuse.
std::optional<std::string> expected(const Setup& setup, std::string_view input) {
    switch (setup.kind) {
    case cli::CommandKind::encrypt: {
        cipher::MemoryLog log;
        return cipher::isWellFormedUtf8(input) ? cipher::encrypt(input, cipher::NoteFormat(password), log)
                                               : std::nullopt;
    }
    case cli::CommandKind::decrypt:
    case cli::CommandKind::rekey: {
        cipher::Result<std::string> note = cipher::decryptWhole(input, cipher::NoteFormat(password));
        if (!cipher::isWellFormedUtf8(input) || !note) {
            return std::nullopt;
        }
        if (setup.kind == cli::CommandKind::decrypt) {
            return std::move(note).value();
        }
        cipher::MemoryLog log;
        return cipher::encrypt(note.value(), cipher::NoteFormat(newPassword), log);
    }
    case cli::CommandKind::help:
    case cli::CommandKind::version:
        break;
    }
    return std::nullopt;
}

} // namespace

// The first byte chooses the command and how it reads and writes (Setup); the rest is the input. Whatever the
// input, the command writes exactly what the core would make of it, or refuses and leaves every file as it was and
// standard output empty, and never leaves a temporary file behind.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Setup setup = setupFrom(data[0]);
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const fs::path& dir = folder();
    const fs::path note = dir / "note.vpd", out = dir / "out", stdoutFile = dir / "stdout";
    writeFile(note, input);
    writeFile(out, earlier);
    writeFile(stdoutFile, earlier);

    cli::Command command{.kind = setup.kind};
    const bool rekey = setup.kind == cli::CommandKind::rekey;
    if (rekey) {
        command.oldPasswordFile = (dir / "pw").string();
        command.newPasswordFile = (dir / "new-pw").string();
        command.files = {note.string()};
    } else {
        command.passwordFile = (dir / "pw").string();
        command.input = setup.namedInput ? note.string() : std::string();
        command.output = setup.outputFile ? out.string() : std::string();
    }
    std::FILE* output = std::fopen(stdoutFile.c_str(), "r+");
    std::FILE* errors = std::fopen("/dev/null", "w");
    require(output != nullptr && errors != nullptr);
    // At the end of the file, what is written can be taken back; in the middle, nothing may be written unchecked.
    require(std::fseek(output, setup.middleOfFile ? 3 : 0, setup.middleOfFile ? SEEK_SET : SEEK_END) == 0);
    const int input_fd = setup.namedInput || rekey ? -1 : pipeHolding(input);
    platform::MemoryPreferences preferences;
    cipher::MemoryLog log;
    std::FILE* const traceSink = setup.traced ? std::fopen("/dev/null", "w") : nullptr;
    const int status = cli::run(command, {.input = input_fd,
                                          .output = output,
                                          .errors = errors,
                                          .preferences = preferences,
                                          .log = log,
                                          .trace = cipher::Trace(traceSink)});
    std::fclose(output);
    std::fclose(errors);
    if (traceSink != nullptr) {
        std::fclose(traceSink);
    }
    if (input_fd >= 0) {
        ::close(input_fd);
    }

    const std::optional<std::string> made = expected(setup, input);
    require(status == (made ? cli::exitSuccess : cli::exitFailure));
    const std::string atStart(earlier);
    if (rekey) {
        require(readFile(note) == (made ? *made : std::string(input)));
    } else {
        require(readFile(note) == input);
        const bool toFile = setup.outputFile;
        const std::string written = made ? *made : std::string();
        require(readFile(out) == (toFile && made ? written : atStart));
        const std::string onStandardOutput = toFile ? std::string() : written;
        const std::string actual = readFile(stdoutFile);
        if (setup.middleOfFile && !onStandardOutput.empty()) {
            // Written over the middle of the file, after its first three bytes.
            require(actual.starts_with(atStart.substr(0, 3) + onStandardOutput));
        } else {
            require(actual == (setup.middleOfFile ? atStart : atStart + onStandardOutput));
        }
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        require(!cipher::isTemporarySaveName(entry.path().filename().string()));
    }
    return 0;
}
