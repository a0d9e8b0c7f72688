#pragma once

#include "cipher/base/bytes.h"
#include "cipher/base/log.h"
#include "cipher/base/result.h"
#include "cipher/crypto/note_key.h"
#include "cipher/stream/note_format.h"
#include "trace.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace cipher {

/// The file text of a note: AES-256-CBC with PKCS#7 under the format's key and initialisation vector, as Base64 in
/// 64-character CR LF lines. No value when the cipher fails or the text is not well-formed UTF-8 (it would not read
/// back as itself); then "some error" goes to the log. Traces its steps to the format's observer.
[[nodiscard]] std::optional<std::string> encrypt(std::string_view text, const NoteFormat& format, Log& log);

/// The note text of a file text: Base64 decoding that skips non-alphabet characters, decryption, and UTF-8 decoding
/// up to the first ill-formed sequence. No value when the Base64 is rejected or the cipher fails ("some error" on
/// the trace). Traces its steps to the format's observer.
[[nodiscard]] std::optional<std::string> decrypt(std::string_view fileText, const NoteFormat& format);

/// Like decrypt, but refuses a partial note: openNote over the whole file text. Fails when the file text is not
/// well-formed UTF-8, the Base64 is rejected, the cipher fails, or the decrypted bytes are not entirely well-formed
/// UTF-8. The failure's cause is wrongPasswordOrDamaged, or notANote when no password can open it, so that a
/// damaged note is never shown or saved as complete. Traces what decrypt traces.
[[nodiscard]] Result<std::string> decryptWhole(std::string_view fileText, const NoteFormat& format);

/// Whether the file text decrypts under the format to exactly the note text, byte for byte. Decrypts piece by
/// piece and compares as it goes, so that checking a saved note holds no copy of it. Traces nothing.
[[nodiscard]] bool opensAs(std::string_view fileText, std::string_view text, const NoteFormat& format);

} // namespace cipher
