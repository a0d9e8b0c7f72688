#include "property.h"

#include "cipher/encoding/utf8.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Where glibc's strict UTF-8 decoder finds the first ill-formed sequence: the oracle, written by someone else.
// iconv reports a sequence cut short by the end (EINVAL) apart from an invalid one (EILSEQ); both end the
// well-formed prefix at the sequence's first byte, which is where iconv leaves the input pointer.
std::size_t iconvWellFormedPrefixLength(const std::uint8_t* data, std::size_t size) {
    static const iconv_t converter = iconv_open("UTF-32LE", "UTF-8");
    require(converter != reinterpret_cast<iconv_t>(-1));
    iconv(converter, nullptr, nullptr, nullptr, nullptr);

    std::vector<char> input(data, data + size);
    char* in = input.data();
    std::size_t inLeft = size;
    // Converts in small output chunks, so that a full output buffer (E2BIG) is met and not mistaken for an end.
    char chunk[64];
    while (inLeft != 0) {
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno != E2BIG) {
            require(errno == EILSEQ || errno == EINVAL);
            break;
        }
    }
    return static_cast<std::size_t>(in - input.data());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cipher::ByteView bytes(data, size);

    const std::size_t prefix = cipher::wellFormedUtf8PrefixLength(bytes);
    require(prefix == iconvWellFormedPrefixLength(data, size));
    static const std::vector<cipher::Isa> isas = cipher::availableIsas();
    for (const cipher::Isa isa : isas) {
        require(cipher::wellFormedUtf8PrefixLength(bytes, isa) == prefix);
    }

    const std::string text = cipher::convertUInt8ToUTF(bytes);
    require(text == cipher::asText(bytes.first(prefix)));
    require(cipher::isWellFormedUtf8(text));
    require(cipher::isWellFormedUtf8(cipher::asText(bytes)) == (prefix == size));

    // Given in pieces cut where the bytes themselves say, the stream check agrees, and says no at the latest once
    // more than the start of one sequence is left after the prefix.
    cipher::Utf8Checker checker;
    bool fed = true;
    for (std::size_t at = 0; at < size;) {
        const std::size_t piece = std::min<std::size_t>(size - at, 1 + data[at] % 7);
        fed = checker.feed(bytes.subspan(at, piece)) && fed;
        at += piece;
        require(fed || at > prefix);
        require(!fed || at <= prefix + 3);
    }
    require((fed && checker.finish()) == (prefix == size));

    const cipher::SecureBytes again = cipher::utf8Bytes(text);
    require(std::equal(again.begin(), again.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(prefix)));
    return 0;
}
