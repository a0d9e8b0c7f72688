#include "note_format.h"

#include "cipher/crypto/note_key.h"

namespace cipher {

NoteFormat::NoteFormat(std::string_view password, StageObserver* observer, ByteView iv)
    : m_key(deriveKey(password)), m_iv(iv.begin(), iv.end()), m_observer(observer) {}

std::optional<CbcStream> NoteFormat::cipher(bool encrypting) const {
    return CbcStream::make(m_key, m_iv, encrypting);
}

} // namespace cipher
