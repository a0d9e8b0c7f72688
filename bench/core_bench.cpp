#include "cipher/crypto/aes.h"
#include "cipher/encoding/base64.h"
#include "cipher/encoding/utf8.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/stream/note_stream.h"
#include "support/memory_log.h"

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <random>
#include <string>

namespace {

using namespace cipher;

constexpr std::string_view password = "correct horse";
constexpr std::int64_t kib = 1024;
constexpr std::int64_t mib = 1024 * kib;

// A note of mixed scripts, as a user might type: ASCII words and line breaks with accented letters, CJK and emoji.
std::string makeNote(std::size_t size) {
    static const char* const pieces[] = {"the ",
                                         "note ",
                                         "a",
                                         "Z",
                                         " ",
                                         "\n",
                                         "\r\n",
                                         "caf\xC3\xA9 ",
                                         "\xE5\x90\x8D\xE5\x89\x8D ",
                                         "\xF0\x9F\x98\x80",
                                         "0123456789",
                                         "\t"};
    std::mt19937 random(20240611);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        text += pieces[random() % std::size(pieces)];
    }
    text.resize(wellFormedUtf8PrefixLength(asBytes(std::string_view(text).substr(0, size))));
    return text;
}

// The note, its ciphertext and file text for one size, made once and shared by the benchmarks.
struct Fixture {
    std::string note;
    Bytes cipherBytes;
    std::string fileText;
};

const Fixture& fixture(std::int64_t size) {
    static std::map<std::int64_t, Fixture> made;
    auto [it, inserted] = made.try_emplace(size);
    if (inserted) {
        Fixture& f = it->second;
        f.note = makeNote(static_cast<std::size_t>(size));
        f.cipherBytes = *aesCbcEncrypt(deriveKey(password), noteIv, asBytes(f.note));
        f.fileText = base64Encode(f.cipherBytes);
    }
    return it->second;
}

void setBytes(benchmark::State& state, std::size_t perIteration) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(perIteration));
}

void sizes(benchmark::internal::Benchmark* b) {
    b->Arg(kib)->Arg(mib)->Arg(100 * mib)->Unit(benchmark::kMicrosecond);
}

// Each stage as the pipeline runs it: over pieces of 48 KiB (Base64 text: 64 KiB) into buffers that are reused,
// so that a stage's figure is its own work, not the first-touch cost of a fresh 100 MiB buffer. The Base64 and
// UTF-8 stages also run with the scalar code (Isa::scalar), to show what the vector code buys.

constexpr std::size_t pieceBytes = NoteEncryptor::pieceBytes;
constexpr std::size_t pieceChars = 64 * 1024;

Isa isaArg(const benchmark::State& state) {
    return state.range(1) == 0 ? Isa::scalar : bestIsa();
}

void sizesAndIsas(benchmark::internal::Benchmark* b) {
    b->ArgsProduct({{kib, mib, 100 * mib}, {0, 1}})->ArgNames({"bytes", "simd"})->Unit(benchmark::kMicrosecond);
}

// Save, stage by stage.

void Save1Utf8Bytes(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    for (auto _ : state) {
        SecureBytes bytes = utf8Bytes(f.note);
        benchmark::DoNotOptimize(bytes.data());
    }
    setBytes(state, f.note.size());
}
BENCHMARK(Save1Utf8Bytes)->Apply(sizes);

void Save2Utf8Check(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    const Isa isa = isaArg(state);
    for (auto _ : state) {
        benchmark::DoNotOptimize(wellFormedUtf8PrefixLength(asBytes(f.note), isa));
    }
    setBytes(state, f.note.size());
}
BENCHMARK(Save2Utf8Check)->Apply(sizesAndIsas);

// CBC over the bytes in the pieces a save (encrypting) or an open (decrypting) uses.
void runCipherInPieces(benchmark::State& state, ByteView input, bool encrypting) {
    const SecureBytes key = deriveKey(password);
    Bytes out(pieceBytes + 16);
    for (auto _ : state) {
        std::optional<CbcStream> cipher = CbcStream::make(key, noteIv, encrypting);
        for (std::size_t pos = 0; pos < input.size(); pos += pieceBytes) {
            benchmark::DoNotOptimize(
                cipher->update(input.subspan(pos, std::min(pieceBytes, input.size() - pos)), out.data()));
        }
        benchmark::DoNotOptimize(cipher->finish(out.data()));
    }
    setBytes(state, input.size());
}

void Save3Encrypt(benchmark::State& state) {
    runCipherInPieces(state, asBytes(fixture(state.range(0)).note), true);
}
BENCHMARK(Save3Encrypt)->Apply(sizes);

void Save4Base64Encode(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    const Isa isa = isaArg(state);
    const ByteView bytes(f.cipherBytes);
    std::string out(base64EncodedSize(pieceBytes + 16), '\0');
    for (auto _ : state) {
        std::size_t pos = 0;
        for (; bytes.size() - pos > pieceBytes; pos += pieceBytes) {
            benchmark::DoNotOptimize(base64EncodePiece(bytes.subspan(pos, pieceBytes), false, out.data(), isa));
        }
        benchmark::DoNotOptimize(base64EncodePiece(bytes.subspan(pos), true, out.data(), isa));
    }
    setBytes(state, bytes.size());
}
BENCHMARK(Save4Base64Encode)->Apply(sizesAndIsas);

void SaveWholeEncrypt(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    MemoryLog log;
    for (auto _ : state) {
        auto out = encrypt(f.note, NoteFormat(password), log);
        benchmark::DoNotOptimize(out->data());
    }
    setBytes(state, f.note.size());
}
BENCHMARK(SaveWholeEncrypt)->Apply(sizes);

// Open, stage by stage.

void Open1Base64Decode(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    const Isa isa = isaArg(state);
    const std::string_view text = f.fileText;
    Bytes out(Base64Decoder::maxDecodedSize(pieceChars));
    for (auto _ : state) {
        Base64Decoder decoder(isa);
        for (std::size_t pos = 0; pos < text.size(); pos += pieceChars) {
            benchmark::DoNotOptimize(decoder.feed(text.substr(pos, pieceChars), out.data()));
        }
        benchmark::DoNotOptimize(decoder.finish(out.data()));
    }
    setBytes(state, text.size());
}
BENCHMARK(Open1Base64Decode)->Apply(sizesAndIsas);

void Open2Decrypt(benchmark::State& state) {
    runCipherInPieces(state, fixture(state.range(0)).cipherBytes, false);
}
BENCHMARK(Open2Decrypt)->Apply(sizes);

// The same check as on saving, run on the decrypted note.
void Open3Utf8Check(benchmark::State& state) {
    Save2Utf8Check(state);
}
BENCHMARK(Open3Utf8Check)->Apply(sizesAndIsas);

void OpenWholeDecrypt(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    for (auto _ : state) {
        auto out = decryptWhole(f.fileText, NoteFormat(password));
        benchmark::DoNotOptimize(out.value().data());
    }
    setBytes(state, f.note.size());
}
BENCHMARK(OpenWholeDecrypt)->Apply(sizes);

// Whole file operations, with the disk: a verified atomic save and a read of the note file.

// A folder of its own under the temporary folder, removed when the program ends.
class ScratchFolder {
public:
    ScratchFolder() : m_path((std::filesystem::temp_directory_path() / "vellumpad-bench-XXXXXX").string()) {
        if (mkdtemp(m_path.data()) == nullptr) {
            m_path.clear();
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    [[nodiscard]] std::filesystem::path file() const { return std::filesystem::path(m_path) / "note.vpd"; }

private:
    std::string m_path;
};

std::filesystem::path scratchFile() {
    static const ScratchFolder folder;
    return folder.file();
}

void FileSave(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    MemoryLog log;
    for (auto _ : state) {
        if (!saveEncryptedText(scratchFile(), f.note, NoteFormat(password), log)) {
            state.SkipWithError("save failed");
        }
    }
    setBytes(state, f.note.size());
}
BENCHMARK(FileSave)->Apply(sizes)->Unit(benchmark::kMillisecond);

void FileOpen(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    MemoryLog log;
    if (!saveEncryptedText(scratchFile(), f.note, NoteFormat(password), log)) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        auto fileText = readNoteFile(scratchFile());
        auto note = decryptWhole(fileText.value(), NoteFormat(password));
        benchmark::DoNotOptimize(note.value().data());
    }
    setBytes(state, f.note.size());
}
BENCHMARK(FileOpen)->Apply(sizes)->Unit(benchmark::kMillisecond);

// The same in one pass (openNoteFile): the file is decrypted as it is read and never held whole.
void FileOpenInOnePass(benchmark::State& state) {
    const Fixture& f = fixture(state.range(0));
    MemoryLog log;
    if (!saveEncryptedText(scratchFile(), f.note, NoteFormat(password), log)) {
        state.SkipWithError("save failed");
        return;
    }
    for (auto _ : state) {
        auto note = openNoteFile(scratchFile(), NoteFormat(password));
        benchmark::DoNotOptimize(note.value().data());
    }
    setBytes(state, f.note.size());
}
BENCHMARK(FileOpenInOnePass)->Apply(sizes)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
