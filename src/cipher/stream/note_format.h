#pragma once

#include "cipher/base/bytes.h"
#include "cipher/crypto/aes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace cipher {

class StageObserver;

/// The fixed initialisation vector of every note file: the ASCII digits of "7405219368150273".
inline constexpr std::array<std::uint8_t, 16> noteIv{'7', '4', '0', '5', '2', '1', '9', '3',
                                                     '6', '8', '1', '5', '0', '2', '7', '3'};

/// One note under one password, for one encryption or opening: the note key, the initialisation vector and who
/// watches each stage (a trace). The encryptors, openers and verifiers are made from one, so that none of these
/// passes through their signatures.
class NoteFormat {
public:
    /// The key is derived at once; the observer, if any, must outlive what is made from this.
    explicit NoteFormat(std::string_view password, StageObserver* observer = nullptr, ByteView iv = noteIv);

    /// A new cipher for this note; no value when none can be made (the password is not well-formed UTF-8).
    [[nodiscard]] std::optional<CbcStream> cipher(bool encrypting) const;
    /// Who watches the stages, or none.
    [[nodiscard]] StageObserver* observer() const noexcept { return m_observer; }

private:
    SecureBytes m_key;
    Bytes m_iv;
    StageObserver* m_observer;
};

} // namespace cipher
