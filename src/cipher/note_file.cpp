#include "note_file.h"

#include "file_io.h"
#include "note_cipher.h"
#include "note_stream.h"
#include "utf8.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <utility>

namespace cipher {

namespace {

Failure openFailure(const std::filesystem::path& path, std::string_view cause) {
    std::string message = "Could not open \"";
    message += path.string();
    message += "\": ";
    message += cause;
    message += '.';
    return Failure{std::move(message)};
}

constexpr std::string_view someError = "some error";
constexpr std::string_view notEncrypted = "the note could not be encrypted";

// The file text of a note, encrypted as it is written and checked as it is read back, so that saving a large note
// holds neither the file text nor a decrypted copy.
class NoteFileContent final : public PiecewiseContent {
public:
    NoteFileContent(NoteEncryptor encryptor, NoteVerifier verifier, Log& log)
        : m_encryptor(std::move(encryptor)), m_verifier(std::move(verifier)), m_log(log) {}

    Result<std::string_view> nextPiece() override {
        const std::optional<std::string_view> piece = m_encryptor.next();
        if (!piece) {
            m_log.write(someError);
            return Failure{std::string(notEncrypted)};
        }
        return *piece;
    }

    Result<Done> checkPiece(std::string_view written) override {
        if (!(written.empty() ? m_verifier.finish() : m_verifier.feed(written))) {
            return Failure{"the saved file could not be read back correctly"};
        }
        return Done{};
    }

private:
    NoteEncryptor m_encryptor;
    NoteVerifier m_verifier;
    Log& m_log;
};

Failure encryptFailure(const std::filesystem::path& path) {
    return Failure{"Could not save \"" + path.string() + "\": " + std::string(notEncrypted) + "."};
}

// What saveEncryptedText does when the trace is on: encrypt whole, so that the trace shows each step.
Result<Done> saveTraced(const std::filesystem::path& path, std::string_view text, std::string_view password,
                        ByteView iv, const Trace& trace, Log& log, FileOps& ops) {
    const std::optional<std::string> fileText = encrypt(text, password, iv, trace, log);
    if (!fileText) {
        return encryptFailure(path);
    }
    // The written file must open as exactly this note under this password, checked without a trace.
    const ContentCheck opensAsTheNote = [&](std::string_view written) -> Result<Done> {
        if (!opensAs(written, text, password, iv)) {
            return Failure{"the saved file could not be read back correctly"};
        }
        return Done{};
    };
    return writeFileAtomically(path, *fileText, opensAsTheNote, ops);
}

} // namespace

FileContent readWholeFile(const std::string& path) {
    FileContent result;
    // O_NONBLOCK so that a pipe chosen by mistake is refused instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        result.error = errno;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        result.error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        result.error = ENODEV;
    }
    if (result.error != 0) {
        ::close(fd);
        return result;
    }
    try {
        // The size is a hint only: the file may change while it is read.
        result.bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t used = 0;
        for (;;) {
            if (used == result.bytes.size()) {
                result.bytes.resize(used + 64 * 1024);
            }
            const ssize_t got = ::read(fd, result.bytes.data() + used, result.bytes.size() - used);
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                result.error = errno;
                break;
            }
            if (got == 0) {
                break;
            }
            used += static_cast<std::size_t>(got);
        }
        result.bytes.resize(used);
    } catch (const std::bad_alloc&) {
        result.error = ENOMEM;
    }
    ::close(fd);
    if (result.error != 0) {
        result.bytes.clear();
    }
    return result;
}

Result<std::string> readNoteFile(const std::filesystem::path& path) {
    FileContent content = readWholeFile(path.string());
    switch (content.error) {
    case 0:
        break;
    case ENOENT:
        return openFailure(path, "no such file");
    case ENOTDIR:
        return openFailure(path, "the folder does not exist");
    case ENOMEM:
        return openFailure(path, "it is too large to open");
    default:
        return openFailure(path, describeFileError(content.error));
    }
    if (!isWellFormedUtf8(content.bytes)) {
        return openFailure(path, "it is not a note file (not text)");
    }
    return std::move(content.bytes);
}

std::string readTextFile(const std::filesystem::path& path) {
    Result<std::string> content = readNoteFile(path);
    return content ? std::move(content).value() : std::string();
}

Result<Done> saveEncryptedText(const std::filesystem::path& path, std::string_view text, std::string_view password,
                               ByteView iv, const Trace& trace, Log& log, FileOps& ops) {
    Result<Done> saved = Done{};
    try {
        if (trace.enabled()) {
            saved = saveTraced(path, text, password, iv, trace, log, ops);
        } else {
            std::optional<NoteEncryptor> encryptor = NoteEncryptor::make(text, password, iv);
            std::optional<NoteVerifier> verifier = NoteVerifier::make(text, password, iv);
            if (!encryptor || !verifier) {
                log.write(someError);
                saved = encryptFailure(path);
            } else {
                NoteFileContent content(std::move(*encryptor), std::move(*verifier), log);
                saved = writeFileAtomically(path, content, ops);
            }
        }
    } catch (const std::bad_alloc&) {
        saved = Failure{"Could not save \"" + path.string() + "\": " + describeFileError(ENOMEM) + "."};
    }
    log.write(saved ? "Success!" : "Failed!!");
    return saved;
}

} // namespace cipher
