#include "property.h"

#include "cipher/encoding/base64.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

int alphabetValue(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

bool isBase64Character(char c) {
    return alphabetValue(c) >= 0 || c == '=';
}

std::string keepBase64Characters(std::string_view text) {
    std::string kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept), isBase64Character);
    return kept;
}

// A deliberately plain strict decoder, the oracle for the fast one: whole groups of four, "=" only as the last
// one or two characters, and unused bits zero so that every byte string has exactly one encoding.
std::optional<cipher::Bytes> strictDecode(std::string_view text) {
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    cipher::Bytes out;
    for (std::size_t group = 0; group < text.size(); group += 4) {
        const bool last = group + 4 == text.size();
        int values[4];
        int pads = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char c = text[group + i];
            values[i] = alphabetValue(c);
            if (c == '=') {
                if (!last || i < 2) {
                    return std::nullopt;
                }
                values[i] = 0;
                ++pads;
            } else if (pads != 0) {
                return std::nullopt;
            }
        }
        const auto v = static_cast<std::uint32_t>(values[0] << 18 | values[1] << 12 | values[2] << 6 | values[3]);
        if ((pads == 1 && (v & 0xFF) != 0) || (pads == 2 && (v & 0xFFFF) != 0)) {
            return std::nullopt;
        }
        out.push_back(static_cast<std::uint8_t>(v >> 16));
        if (pads < 2) {
            out.push_back(static_cast<std::uint8_t>(v >> 8));
        }
        if (pads < 1) {
            out.push_back(static_cast<std::uint8_t>(v));
        }
    }
    return out;
}

// Lines of exactly 64 characters joined by CR LF, the last of 1 to 64 and with no break after it.
bool hasNoteLineLayout(std::string_view encoded) {
    while (encoded.size() > 64) {
        if (encoded.substr(64, 2) != "\r\n" || encoded.substr(0, 64).find_first_of("\r\n") != std::string_view::npos) {
            return false;
        }
        encoded.remove_prefix(66);
    }
    return encoded.find_first_of("\r\n") == std::string_view::npos;
}

// The decoder fed in pieces, split where the input's own bytes say, so that every boundary gets its turn.
std::optional<cipher::Bytes> decodeInPieces(std::string_view text, cipher::Isa isa) {
    cipher::Bytes out(cipher::Base64Decoder::maxDecodedSize(text.size()) + text.size() * 3);
    std::size_t written = 0;
    cipher::Base64Decoder decoder(isa);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length =
            std::min<std::size_t>(1 + static_cast<unsigned char>(text[at]) % 70, text.size() - at);
        const std::optional<std::size_t> piece = decoder.feed(text.substr(at, length), out.data() + written);
        if (!piece) {
            return std::nullopt;
        }
        written += *piece;
        at += length;
    }
    const std::optional<std::size_t> tail = decoder.finish(out.data() + written);
    if (!tail) {
        return std::nullopt;
    }
    out.resize(written + *tail);
    return out;
}

// The encoder given whole lines at a time, the number of lines per piece taken from the bytes.
std::string encodeInPieces(cipher::ByteView bytes, cipher::Isa isa) {
    std::string out(cipher::base64EncodedSize(bytes.size()) + 2, '\0');
    char* o = out.data();
    while (!bytes.empty()) {
        const std::size_t lines = 1 + bytes[0] % 3U;
        if (lines * cipher::base64LineBytes >= bytes.size()) {
            break;
        }
        o = cipher::base64EncodePiece(bytes.first(lines * cipher::base64LineBytes), false, o, isa);
        bytes = bytes.subspan(lines * cipher::base64LineBytes);
    }
    o = cipher::base64EncodePiece(bytes, true, o, isa);
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cipher::ByteView bytes(data, size);
    const std::string_view text = cipher::asText(bytes);
    const std::string kept = keepBase64Characters(text);
    const std::optional<cipher::Bytes> expected = strictDecode(kept);
    const std::size_t characters = (size + 2) / 3 * 4;

    // Every instruction set gives the same answers as the plain oracle, whole or in pieces.
    static const std::vector<cipher::Isa> isas = cipher::availableIsas();
    for (const cipher::Isa isa : isas) {
        const std::string encoded = cipher::base64Encode(bytes, isa);
        require(hasNoteLineLayout(encoded));
        require(encoded.size() == characters + (characters == 0 ? 0 : (characters - 1) / 64 * 2));
        require(encoded.size() == cipher::base64EncodedSize(size));
        require(encodeInPieces(bytes, isa) == encoded);
        const std::optional<cipher::Bytes> decoded = cipher::base64ToByteArray(encoded, isa);
        require(decoded && std::equal(decoded->begin(), decoded->end(), bytes.begin(), bytes.end()));

        // The same bytes read as a file text: whatever is skipped, the decision and the bytes are the oracle's.
        const std::optional<cipher::Bytes> accepted = cipher::base64ToByteArray(text, isa);
        require(accepted == expected);
        require(decodeInPieces(text, isa) == expected);
        if (accepted) {
            std::string reencoded = cipher::base64Encode(*accepted, isa);
            std::erase_if(reencoded, [](char c) { return c == '\r' || c == '\n'; });
            require(reencoded == kept);
        }
    }
    return 0;
}
