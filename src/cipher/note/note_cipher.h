#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/log.h"
#include "cipher/base/result.h"
#include "cipher/crypto/note_key.h"
#include "trace.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace cipher {

/// The fixed initialisation vector of every note file: the ASCII digits of "7405219368150273".
inline constexpr std::array<std::uint8_t, 16> noteIv{'7', '4', '0', '5', '2', '1', '9', '3',
                                                     '6', '8', '1', '5', '0', '2', '7', '3'};

/// The file text of a note: AES-256-CBC with PKCS#7 under the password's key and iv, as Base64 in 64-character
/// CR LF lines. No value when the cipher fails or the text is not well-formed UTF-8 (it would not read back as
/// itself); then "some error" goes to the log. Traces its steps.
[[nodiscard]] std::optional<std::string> encrypt(std::string_view text, std::string_view password, ByteView iv,
                                                 const Trace& trace, Log& log);

/// The note text of a file text: Base64 decoding that skips non-alphabet characters, decryption, and UTF-8 decoding
/// up to the first ill-formed sequence. No value when the Base64 is rejected or the cipher fails ("some error" on
/// the trace). Traces its steps.
[[nodiscard]] std::optional<std::string> decrypt(std::string_view fileText, std::string_view password, ByteView iv,
                                                 const Trace& trace);

/// Like decrypt, but refuses a partial note: fails when the file text is not well-formed UTF-8, the Base64 is
/// rejected, the cipher fails, or the decrypted bytes are not entirely well-formed UTF-8. The failure's cause is
/// wrongPasswordOrDamaged, or notANote when no password can open it. This is
/// what Open and the command-line tool use, so that a damaged note is never
/// shown or saved as complete.
[[nodiscard]] Result<std::string> decryptWhole(std::string_view fileText, std::string_view password, ByteView iv,
                                               const Trace& trace);

/// The trace of a whole note's decryption once it is done: decryptWhole's trace lines after the stages collected.
void traceNote(const Trace& trace, const TracedStages& stages, const Result<std::string>& note);

/// Whether the file text decrypts under the password to exactly the note text, byte for byte. Decrypts piece by
/// piece and compares as it goes, so that checking a saved note holds no copy of it.
[[nodiscard]] bool opensAs(std::string_view fileText, std::string_view text, std::string_view password, ByteView iv);

} // namespace cipher
