#pragma once

#include "cipher/base/bytes.h"
#include "cipher/crypto/aes.h"
#include "cipher/crypto/note_key.h"
#include "cipher/encoding/base64.h"
#include "cipher/encoding/cpu.h"
#include "cipher/note/note_cipher.h"
#include "cipher/note/trace.h"
#include "cipher/stream/piece_source.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace cipher::test {

/// A fresh folder under the system temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir() : m_path((std::filesystem::temp_directory_path() / "vellumpad-test-XXXXXX").string()) {
        if (mkdtemp(m_path.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return path() / name; }
    [[nodiscard]] std::filesystem::path path() const { return m_path; }
    /// Names of everything in the folder, sorted.
    [[nodiscard]] std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            result.push_back(entry.path().filename().string());
        }
        std::sort(result.begin(), result.end());
        return result;
    }

private:
    std::string m_path;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, std::string_view content) {
    std::ofstream(path, std::ios::binary) << content;
}

/// Random UTF-8 text of exactly this many bytes, with characters of every length wherever they fall; the ones a cut
/// at the end would break become ASCII.
inline std::string randomUtf8(std::mt19937& random, std::size_t size) {
    static const char* const pieces[] = {"a", "Z", " ", "\n", "\r\n", "\xC3\xA9", "\xE5\x90\x8D", "\xF0\x9F\x98\x80"};
    std::string text;
    while (text.size() < size) {
        text += pieces[random() % std::size(pieces)];
    }
    text.resize(size);
    for (std::size_t i = size; i > 0 && (static_cast<unsigned char>(text[i - 1]) & 0x80) != 0; --i) {
        text[i - 1] = 'x';
    }
    return text;
}

/// The file text made the plain way, whole and with the scalar encoder: the oracle for the pieces.
inline std::string plainFileText(std::string_view note, std::string_view password) {
    return base64Encode(*aesCbcEncrypt(deriveKey(password), noteIv, asBytes(note)), Isa::scalar);
}

/// Gives a text in pieces of a fixed size, as a pipe would, or fails once it has given failAt bytes.
class CutSource final : public PieceSource {
public:
    CutSource(std::string_view text, std::size_t pieceSize, std::size_t failAt = std::string_view::npos)
        : m_text(text), m_pieceSize(pieceSize), m_failAt(failAt) {}
    std::optional<std::string_view> next() override {
        if (m_given >= m_failAt) {
            return std::nullopt;
        }
        const std::string_view piece = m_text.substr(m_given, std::min(m_pieceSize, m_failAt - m_given));
        m_given += piece.size();
        return piece;
    }
    /// Known, as a file's, unless the source is to fail.
    std::size_t size() const noexcept override { return m_failAt == std::string_view::npos ? m_text.size() : 0; }

private:
    std::string_view m_text;
    std::size_t m_pieceSize;
    std::size_t m_failAt;
    std::size_t m_given = 0;
};

// What the trace wrote, read past the stream's buffer: a line not yet flushed, as a killed program would lose
// it, is missing.
inline std::string traced(const std::function<void(const Trace&)>& run) {
    std::FILE* file = std::tmpfile();
    run(Trace(file));
    std::string text(static_cast<std::size_t>(std::ftell(file)), '\0');
    const ssize_t read = ::pread(fileno(file), text.data(), text.size(), 0);
    text.resize(read < 0 ? 0 : static_cast<std::size_t>(read));
    std::fclose(file);
    return text;
}

} // namespace cipher::test
