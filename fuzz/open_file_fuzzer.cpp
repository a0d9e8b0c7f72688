#include "property.h"

#include "cipher/encoding/utf8.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/note_file.h"
#include "cipher/note/trace.h"
#include "cipher/stream/note_stream.h"

#include "cipher/encoding/base64.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <openssl/evp.h>

namespace {

// The seed corpus in fuzz/corpus/open_file holds notes saved under this password.
constexpr std::string_view password = "correct horse";

// The size of the pieces in which openNoteFile reads a file here: small, so that short inputs span several pieces and
// each run writes and reads little.
constexpr std::size_t readPiece = 1024;

// One file per process, in memory when the system offers it.
const std::filesystem::path& scratchFile() {
    static const std::filesystem::path path = [] {
        std::error_code error;
        const std::filesystem::path folder =
            std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : std::filesystem::temp_directory_path();
        return folder / ("vellumpad-fuzz-" + std::to_string(::getpid()) + ".vpd");
    }();
    return path;
}

using Block = std::array<std::uint8_t, 16>;

// A ciphertext to put in front of any other, so that the first read of a file ends where the fuzzer wants without
// a megabyte of skipped characters, which would take the decoder's slow path. In CBC each plain block is the
// decrypted cipher block XOR the cipher block before it, so a prefix whose last block is the iv leaves what follows
// decrypting as if it stood alone; the prefix itself decrypts to known blanks. It is built backwards from its end,
// and its first block is searched for until it too decrypts to well-formed text.
struct Prefix {
    std::string fileText; // whole Base64 lines, each ending in CR LF
    std::string plain;
};

Block decryptBlock(EVP_CIPHER_CTX* ctx, const Block& in) {
    Block out{};
    int length = 0;
    require(EVP_DecryptUpdate(ctx, out.data(), &length, in.data(), static_cast<int>(in.size())) == 1 && length == 16);
    return out;
}

Block exclusiveOr(Block a, const Block& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        a[i] ^= b[i];
    }
    return a;
}

Prefix makePrefix(std::size_t lines) {
    const cipher::SecureBytes key = cipher::deriveKey(password);
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                              EVP_CIPHER_CTX_free);
    require(ctx && EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_ecb(), nullptr, key.data(), nullptr) == 1 &&
            EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1);
    Block blanks;
    blanks.fill(' ');
    Block iv;
    std::memcpy(iv.data(), cipher::noteIv.data(), iv.size());

    const std::size_t count = lines * cipher::base64LineBytes / 16;
    std::vector<Block> blocks(count);
    blocks[count - 1] = iv;
    for (std::size_t i = count - 1; i > 1; --i) {
        blocks[i - 1] = exclusiveOr(decryptBlock(ctx.get(), blocks[i]), blanks);
    }
    // The second plain block, digits then blanks, is varied until the first decrypts to well-formed text.
    Block second = blanks;
    const Block afterSecond = decryptBlock(ctx.get(), blocks[1]);
    for (std::uint64_t attempt = 0;; ++attempt) {
        for (std::size_t i = 0; i < 8; ++i) {
            second[i] = static_cast<std::uint8_t>('0' + (attempt >> (3 * i) & 7));
        }
        blocks[0] = exclusiveOr(afterSecond, second);
        const Block first = exclusiveOr(decryptBlock(ctx.get(), blocks[0]), iv);
        if (cipher::isWellFormedUtf8(cipher::asText(first))) {
            Prefix prefix;
            prefix.plain.assign(cipher::asText(first));
            prefix.plain.append(cipher::asText(second));
            prefix.plain.append((count - 2) * 16, ' ');
            const auto* raw = reinterpret_cast<const std::uint8_t*>(blocks.data());
            prefix.fileText = cipher::base64Encode(cipher::ByteView(raw, count * 16)) + "\r\n";
            return prefix;
        }
    }
}

// openNoteFile reads and decrypts a file a piece at a time; it must agree with readNoteFile and with decryptWhole
// of the same text, messages included. A prefix in front adds its known plain text to a note and changes nothing
// else: Base64 groups and cipher blocks are whole at its end.
void checkOpenedFile(std::string_view text, const Prefix& prefix, std::size_t blanks) {
    const std::filesystem::path& path = scratchFile();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << prefix.fileText << std::string(blanks, ' ') << text;
    }
    const cipher::NoteFormat format(password);
    const cipher::Result<std::string> opened = cipher::openNoteFile(path, format);
    if (!cipher::isWellFormedUtf8(text)) {
        // Reading stops at whichever shows first: a piece that is not text, or one that cannot be the note's.
        const cipher::Result<std::string> read = cipher::readNoteFile(path);
        std::filesystem::remove(path);
        require(!read && !opened);
        const cipher::FailureCause cause = opened.failure().cause;
        require(opened.failure().path == path.string() && opened.failure().operation == cipher::Operation::open);
        require(cause == read.failure().cause || cause == cipher::FailureCause::wrongPasswordOrDamaged ||
                cause == cipher::FailureCause::notANote);
        return;
    }
    std::filesystem::remove(path);
    const cipher::Result<std::string> whole = cipher::decryptWhole(text, format);
    require(opened.ok() == whole.ok());
    if (whole) {
        require(opened.value().size() == prefix.plain.size() + whole.value().size());
        require(opened.value().starts_with(prefix.plain) && opened.value().ends_with(whole.value()));
    } else if (prefix.fileText.empty()) {
        require(opened.failure().cause == whole.failure().cause && opened.failure().path == path.string());
    } else {
        // The prefix's blocks make a text of no bytes some bytes, which a password might open.
        require(opened.failure().path == path.string());
        require(whole.failure().cause == cipher::FailureCause::notANote ||
                opened.failure().cause == whole.failure().cause);
    }
}

} // namespace

// The first byte says where in the rest, a file text, the file's first read ends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const bool smallPieces = (cipher::setNoteReadPieceSize(readPiece), true);
    (void)smallPieces;
    // Whole lines up to just before the end of the first read; blanks make up the rest of the distance.
    static const Prefix none;
    static const Prefix prefix = makePrefix(readPiece / cipher::base64LineChars - 1);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    checkOpenedFile(text, none, 0);
    const std::size_t before = readPiece - prefix.fileText.size();
    checkOpenedFile(text, prefix, before - data[0] % (std::min(text.size(), before) + 1));
    return 0;
}
