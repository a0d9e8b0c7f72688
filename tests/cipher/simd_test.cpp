#include "cipher/base64.h"
#include "cipher/cpu.h"
#include "cipher/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace cipher {
namespace {

// The vector code must give exactly what the scalar code gives, on every processor these tests run on.
std::vector<Isa> vectorIsas() {
    std::vector<Isa> isas = availableIsas();
    isas.erase(isas.begin()); // scalar, the reference
    return isas;
}

const char* nameOf(Isa isa) {
    return isa == Isa::avx2 ? "avx2" : isa == Isa::ssse3 ? "ssse3" : "scalar";
}

Bytes randomBytes(std::mt19937& random, std::size_t size) {
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// The file text with other line layouts than the one we write: what other tools, editors or hands make of it.
std::vector<std::string> layouts(const std::string& canonical, std::mt19937& random) {
    std::string unbroken = canonical;
    std::erase(unbroken, '\r');
    std::erase(unbroken, '\n');
    const auto breakEvery = [&](std::size_t width, std::string_view brk) {
        std::string text;
        for (std::size_t i = 0; i < unbroken.size(); i += width) {
            text += unbroken.substr(i, width);
            text += brk;
        }
        return text;
    };
    std::string blanks = canonical;
    for (std::size_t i = 0; i < blanks.size(); i += 1 + random() % 97) {
        blanks.insert(i, 1, " \t\x01\xFF-"[random() % 5]);
    }
    return {canonical,
            unbroken,
            breakEvery(64, "\n"),
            breakEvery(76, "\r\n"),
            breakEvery(4, "\n"),
            breakEvery(64, "\r"),
            canonical + "\r\n",
            "\r\n" + canonical,
            blanks};
}

std::optional<std::string> decodeWith(const std::string& text, Isa isa) {
    const auto bytes = base64ToByteArray(text, isa);
    return bytes ? std::optional<std::string>(asText(*bytes)) : std::nullopt;
}

TEST(Base64Simd, EncodesLikeTheScalarCodeAtEveryLength) {
    std::mt19937 random(7);
    std::vector<std::size_t> sizes;
    for (std::size_t size = 0; size <= 300; ++size) {
        sizes.push_back(size);
    }
    for (const std::size_t kib : {47U, 48U, 49U}) {
        for (const std::size_t delta : {0U, 1U, 2U, 3U, 16U}) {
            sizes.push_back(kib * 1024 - delta);
            sizes.push_back(kib * 1024 + delta);
        }
    }
    for (const std::size_t size : sizes) {
        const Bytes bytes = randomBytes(random, size);
        const std::string expected = base64Encode(bytes, Isa::scalar);
        ASSERT_EQ(expected.size(), base64EncodedSize(size));
        for (const Isa isa : vectorIsas()) {
            ASSERT_EQ(base64Encode(bytes, isa), expected) << nameOf(isa) << " " << size;
        }
    }
}

TEST(Base64Simd, EncodesInPiecesOfWholeLinesLikeInOne) {
    std::mt19937 random(11);
    const Bytes bytes = randomBytes(random, 3 * 49 * 1024 + 5);
    const std::string whole = base64Encode(bytes, Isa::scalar);
    for (const Isa isa : availableIsas()) {
        for (const std::size_t piece : {48U, 47U * 1024 + 16, 48U * 1024, 49U * 1024 + 32}) {
            std::string text(whole.size(), '\0');
            char* out = text.data();
            std::size_t pos = 0;
            for (; bytes.size() - pos > piece; pos += piece) {
                out = base64EncodePiece(ByteView(bytes).subspan(pos, piece), false, out, isa);
            }
            out = base64EncodePiece(ByteView(bytes).subspan(pos), true, out, isa);
            EXPECT_EQ(out, text.data() + text.size()) << nameOf(isa) << " " << piece;
            EXPECT_EQ(text, whole) << nameOf(isa) << " " << piece;
        }
    }
}

TEST(Base64Simd, DecodesEveryLayoutAndEveryDamageLikeTheScalarCode) {
    std::mt19937 random(13);
    for (int round = 0; round < 300; ++round) {
        const std::size_t size = round < 200 ? static_cast<std::size_t>(round) : 1000 + random() % 5000;
        const Bytes bytes = randomBytes(random, size);
        const std::string plain(asText(bytes));
        for (const std::string& text : layouts(base64Encode(bytes, Isa::scalar), random)) {
            ASSERT_EQ(decodeWith(text, Isa::scalar), plain) << round;
            // One character replaced by anything: a pad, a line break, a byte outside ASCII, another letter.
            std::string damaged = text;
            if (!damaged.empty()) {
                damaged[random() % damaged.size()] = "=\r\nA/+\x80\xFF*"[random() % 9];
            }
            const auto expected = decodeWith(damaged, Isa::scalar);
            for (const Isa isa : vectorIsas()) {
                ASSERT_EQ(decodeWith(text, isa), plain) << nameOf(isa) << " " << round;
                ASSERT_EQ(decodeWith(damaged, isa), expected) << nameOf(isa) << " " << round;
            }
        }
    }
}

TEST(Base64Simd, EveryByteIsTakenOrSkippedAsByTheTable) {
    // Each of the 256 byte values at each place of a 32-character block, where the vector code checks the alphabet.
    const std::string block = base64Encode(Bytes(48, 0x5A), Isa::scalar).substr(0, 32) + "AAAA";
    for (const Isa isa : vectorIsas()) {
        for (std::size_t place = 0; place < 32; ++place) {
            for (unsigned value = 0; value < 256; ++value) {
                std::string text = block;
                text[place] = static_cast<char>(value);
                ASSERT_EQ(decodeWith(text, isa), decodeWith(text, Isa::scalar)) << nameOf(isa) << " " << value;
            }
        }
    }
}

TEST(Base64Decoder, GivesTheSameForAnySplitIntoPieces) {
    std::mt19937 random(17);
    const std::string good = base64Encode(randomBytes(random, 200), Isa::scalar) + "\r\n";
    const std::string cases[] = {good, "Zm9vYg=\r\n=", "Zg==Zg==", "Zm9vY", "Zh==", "A===", "Zg=\n=\n", ""};
    for (const Isa isa : availableIsas()) {
        for (const std::string& text : cases) {
            const auto whole = base64ToByteArray(text, isa);
            for (std::size_t cut = 0; cut <= text.size(); ++cut) {
                Base64Decoder decoder(isa);
                Bytes out(Base64Decoder::maxDecodedSize(text.size()) + 3);
                std::optional<std::size_t> size = decoder.feed(std::string_view(text).substr(0, cut), out.data());
                std::optional<std::size_t> more;
                if (size) {
                    more = decoder.feed(std::string_view(text).substr(cut), out.data() + *size);
                }
                std::optional<std::size_t> last;
                if (more) {
                    last = decoder.finish(out.data() + *size + *more);
                }
                ASSERT_EQ(last.has_value(), whole.has_value()) << text << " cut at " << cut;
                if (last) {
                    out.resize(*size + *more + *last);
                    ASSERT_EQ(out, *whole) << text << " cut at " << cut;
                }
            }
        }
    }
}

// A 128-byte ASCII buffer with the bytes put at the place; the vector code works in blocks of 64.
std::size_t prefixWith(const std::string& bytes, std::size_t place, Isa isa) {
    std::string buffer(128, 'a');
    buffer.replace(place, bytes.size(), bytes);
    return wellFormedUtf8PrefixLength(asBytes(buffer), isa);
}

TEST(Utf8Simd, FindsTheSameFirstErrorForEveryShortSequence) {
    std::vector<std::string> sequences;
    for (unsigned a = 0x80; a < 0x100; ++a) {
        for (unsigned b = 0; b < 0x100; ++b) {
            sequences.push_back({static_cast<char>(a), static_cast<char>(b)});
            if (a >= 0xE0) {
                for (const unsigned c : {0x00U, 0x7FU, 0x80U, 0x8FU, 0x90U, 0x9FU, 0xA0U, 0xBFU, 0xC0U, 0xFFU}) {
                    sequences.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c)});
                    if (a >= 0xF0) {
                        sequences.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), '\x80'});
                        sequences.push_back({static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), 'a'});
                    }
                }
            }
        }
    }
    for (const Isa isa : vectorIsas()) {
        for (const std::string& sequence : sequences) {
            // Across the first block boundary, inside the second block and cut off by the end.
            for (const std::size_t place : {0U, 30U, 61U, 62U, 63U, 64U, 100U, 124U, 125U, 126U, 127U}) {
                if (place + sequence.size() > 128) {
                    continue;
                }
                ASSERT_EQ(prefixWith(sequence, place, isa), prefixWith(sequence, place, Isa::scalar))
                    << nameOf(isa) << " at " << place << " " << ::testing::PrintToString(sequence);
            }
        }
    }
}

TEST(Utf8Simd, FindsTheSameFirstErrorInLongRandomText) {
    static const char* const pieces[] = {"a",
                                         " ",
                                         "\n",
                                         "\xC3\xA9",
                                         "\xE5\x90\x8D",
                                         "\xF0\x9F\x98\x80",
                                         "\xEF\xBB\xBF",
                                         "\xF4\x8F\xBF\xBF",
                                         "\xED\x9F\xBF",
                                         "0123456789abcdefghijklmnopqrstuv"};
    std::mt19937 random(19);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const std::size_t size = random() % 4000;
        while (text.size() < size) {
            text += pieces[random() % std::size(pieces)];
        }
        if (round % 4 != 0) {
            // Damage one byte, or cut a sequence short, somewhere.
            const std::size_t at = random() % text.size();
            if (round % 4 == 1) {
                text[at] = static_cast<char>(random());
            } else if (round % 4 == 2) {
                text.resize(at);
            } else {
                text.insert(at, 1, "\x80\xC0\xE0\xF0\xF8"[random() % 5]);
            }
        }
        const std::size_t expected = wellFormedUtf8PrefixLength(asBytes(text), Isa::scalar);
        for (const Isa isa : vectorIsas()) {
            ASSERT_EQ(wellFormedUtf8PrefixLength(asBytes(text), isa), expected) << nameOf(isa) << " " << round;
        }
    }
}

} // namespace
} // namespace cipher
