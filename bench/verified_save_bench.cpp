// What reading back and checking a save costs: saves one large note into FOLDER with and without the check,
// both the way saveEncryptedText works (a piece at a time) and with the whole file text in memory.
//   verified_save_bench FOLDER [MEGABYTES (100)] [ROUNDS (5)]
// Each way runs in its own child process, so that its peak memory is its own; the figures are medians.
#include "cipher/base/log.h"
#include "cipher/files/atomic_file.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/note/trace.h"
#include "cipher/stream/note_stream.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* password = "benchmark";

class NullLog final : public cipher::Log {
public:
    void write(std::string_view) override {}
};

struct Sample {
    double seconds = 0;
    long extraKilobytes = 0;
    bool ok = false;
};

// A field of /proc/self/status in kilobytes, such as "VmRSS" or "VmHWM"; -1 when it cannot be read.
long statusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(field + ":")) {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

// Runs the step in a child process and returns its duration and how far its resident memory rose above where it
// started, the memory it needed of its own.
Sample measure(const std::function<bool()>& step) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        // Resets the high-water mark to the present resident size.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long startKilobytes = statusKilobytes("VmRSS");
        const auto start = Clock::now();
        Sample sample;
        sample.ok = step();
        sample.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        sample.extraKilobytes = statusKilobytes("VmHWM") - startKilobytes;
        const bool sent = ::write(channel[1], &sample, sizeof sample) == static_cast<ssize_t>(sizeof sample);
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    Sample sample;
    if (child < 0 || ::read(channel[0], &sample, sizeof sample) != static_cast<ssize_t>(sizeof sample)) {
        sample = {};
    }
    ::close(channel[0]);
    if (child > 0) {
        ::waitpid(child, nullptr, 0);
    }
    return sample;
}

Sample median(const std::function<bool()>& step, int rounds) {
    std::vector<Sample> samples;
    for (int i = 0; i < rounds; ++i) {
        samples.push_back(measure(step));
        if (!samples.back().ok) {
            return {};
        }
    }
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    return samples[samples.size() / 2];
}

// The least an atomic save does, as the baseline: write a temporary file, flush it, rename it, flush the folder.
bool writePlainlyAtomically(const fs::path& target, std::string_view content) {
    const std::string temporary = (target.parent_path() / ".verified-save-bench.tmp").string();
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < content.size();) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        ok = written > 0;
        done += ok ? static_cast<std::size_t>(written) : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = folder >= 0 && ::fsync(folder) == 0 && ok;
    if (folder >= 0) {
        ::close(folder);
    }
    return ok;
}

// saveEncryptedText's content without its check: the encrypted pieces are written and read back, nothing more.
class UncheckedNote final : public cipher::PiecewiseContent {
public:
    explicit UncheckedNote(cipher::NoteEncryptor encryptor) : m_encryptor(std::move(encryptor)) {}
    cipher::Result<std::string_view> nextPiece() override { return m_encryptor.next(); }
    cipher::Result<cipher::Done> checkPiece(std::string_view) override { return cipher::Done{}; }

private:
    cipher::NoteEncryptor m_encryptor;
};

std::string makeNote(std::size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line) {
        text += "Line " + std::to_string(line) + " of a long note, with a little UTF-8: été, 名称.\n";
    }
    text.resize(text.rfind('\n', size) + 1);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fputs("usage: verified_save_bench FOLDER [MEGABYTES] [ROUNDS]\n", stderr);
        return 2;
    }
    const fs::path target = fs::path(argv[1]) / "verified-save-bench.vpd";
    const std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    if (megabytes == 0 || rounds <= 0) {
        std::fputs("MEGABYTES and ROUNDS must be whole numbers above 0\n", stderr);
        return 2;
    }

    const std::string note = makeNote(megabytes * 1'000'000);
    NullLog log;
    const std::optional<std::string> fileText = cipher::encrypt(note, cipher::NoteFormat(password), log);
    if (!fileText) {
        std::fputs("the note could not be encrypted\n", stderr);
        return 1;
    }
    // The check of the whole-text path: the written text must open as exactly the note.
    const cipher::ContentCheck opensAsTheNote = [&](std::string_view written) -> cipher::Result<cipher::Done> {
        if (!cipher::opensAs(written, note, cipher::NoteFormat(password))) {
            return cipher::Failure{cipher::FailureCause::readBackDiffers};
        }
        return cipher::Done{};
    };

    const Sample encryptOnly =
        median([&] { return cipher::encrypt(note, cipher::NoteFormat(password), log).has_value(); }, rounds);
    const Sample writePlain = median([&] { return writePlainlyAtomically(target, *fileText); }, rounds);
    const Sample writeUnchecked = median([&] { return cipher::writeFileAtomically(target, *fileText).ok(); }, rounds);
    const Sample writeChecked =
        median([&] { return cipher::writeFileAtomically(target, *fileText, opensAsTheNote).ok(); }, rounds);
    const Sample saveUnchecked = median(
        [&] {
            cipher::TextSource source(note);
            std::optional<cipher::NoteEncryptor> encryptor =
                cipher::NoteEncryptor::make(source, cipher::NoteFormat(password));
            if (!encryptor) {
                return false;
            }
            UncheckedNote content(std::move(*encryptor));
            return cipher::writeFileAtomically(target, content).ok();
        },
        rounds);
    const Sample save =
        median([&] { return cipher::saveEncryptedText(target, note, cipher::NoteFormat(password), log).ok(); }, rounds);
    std::error_code ignored;
    fs::remove(target, ignored);
    if (!encryptOnly.ok || !writePlain.ok || !writeUnchecked.ok || !writeChecked.ok || !saveUnchecked.ok || !save.ok) {
        std::fputs("a save failed\n", stderr);
        return 1;
    }

    const auto row = [&](const char* what, const Sample& sample) {
        std::printf("%-54s %7.3f s %6ld MB peak memory of its own\n", what, sample.seconds,
                    sample.extraKilobytes / 1024);
    };
    std::printf("note %zu MB, file %zu MB, median of %d rounds\n", note.size() / 1'000'000,
                fileText->size() / 1'000'000, rounds);
    std::printf("whole file text in memory:\n");
    row("  encrypt", encryptOnly);
    row("  plain atomic write (write, fsync, rename)", writePlain);
    row("  writeFileAtomically, read back, no check", writeUnchecked);
    row("  writeFileAtomically, read back, decrypt and compare", writeChecked);
    std::printf("a piece at a time:\n");
    row("  encrypt, write, read back, no check", saveUnchecked);
    row("  saveEncryptedText (the same, decrypt and compare)", save);
    std::printf("decrypting and comparing adds %.3f s to a save of %.3f s (%.0f%%); reading back adds %.3f s\n",
                save.seconds - saveUnchecked.seconds, save.seconds,
                100.0 * (save.seconds - saveUnchecked.seconds) / save.seconds,
                writeUnchecked.seconds - writePlain.seconds);
    return 0;
}
