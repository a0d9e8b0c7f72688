#include "property.h"

#include "cipher/base64.h"
#include "cipher/log.h"
#include "cipher/note_cipher.h"
#include "cipher/trace.h"
#include "cipher/utf8.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

// The seed corpus in fuzz/corpus/decrypt holds notes saved under this password, so mutations start deep.
constexpr std::string_view password = "correct horse";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = cipher::asText(cipher::ByteView(data, size));
    const cipher::Trace quiet;

    // The input as a file text: whatever it holds, a note that comes out is text, and a whole note is exactly
    // what was encrypted (the same ciphertext, since encryption is deterministic and the padding is checked).
    const std::optional<std::string> note = cipher::decrypt(input, password, cipher::noteIv, quiet);
    if (note) {
        require(cipher::isWellFormedUtf8(*note));
    }
    const cipher::Result<std::string> whole = cipher::decryptWhole(input, password, cipher::noteIv, quiet);
    if (whole) {
        require(cipher::isWellFormedUtf8(whole.value()));
        require(note && *note == whole.value());
        cipher::MemoryLog log;
        const std::optional<std::string> again = cipher::encrypt(whole.value(), password, cipher::noteIv, quiet, log);
        require(again && cipher::base64ToByteArray(*again) == cipher::base64ToByteArray(input));
    }

    // The input as a note: every text saves and opens again unchanged.
    if (cipher::isWellFormedUtf8(input)) {
        cipher::MemoryLog log;
        const std::optional<std::string> fileText = cipher::encrypt(input, password, cipher::noteIv, quiet, log);
        require(fileText.has_value());
        const cipher::Result<std::string> back = cipher::decryptWhole(*fileText, password, cipher::noteIv, quiet);
        require(back && back.value() == input);
        const std::optional<std::string> partial = cipher::decrypt(*fileText, password, cipher::noteIv, quiet);
        require(partial && *partial == input);
    }
    return 0;
}
