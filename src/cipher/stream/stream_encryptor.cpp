#include "stream_encryptor.h"

#include "cipher/encoding/base64.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace cipher {

namespace {

constexpr std::size_t blockSize = 16;
static_assert(StreamEncryptor::pieceBytes % base64LineBytes == 0 && StreamEncryptor::pieceBytes % blockSize == 0);

} // namespace

StreamEncryptor::StreamEncryptor(PieceSource& source, CbcStream cipher)
    : m_source(&source), m_cipher(std::move(cipher)), m_plain(pieceBytes),
      m_cipherBytes(new std::uint8_t[pieceBytes + blockSize]),
      m_fileText(new char[base64EncodedSize(pieceBytes + blockSize)]) {}

std::optional<StreamEncryptor> StreamEncryptor::make(PieceSource& source, const NoteFormat& format) {
    std::optional<CbcStream> cipher = format.cipher(true);
    if (!cipher) {
        return std::nullopt;
    }
    return StreamEncryptor(source, std::move(*cipher));
}

Result<std::string_view> StreamEncryptor::failed(FailureCause cause) {
    m_failure = cause;
    return Failure{cause};
}

// Fills the piece from the source, up to its end; false when the source cannot be read.
bool StreamEncryptor::fill() {
    cleanse(m_plain.data(), m_used);
    m_used = 0;
    while (m_used < m_plain.size() && !m_sourceEnded) {
        if (m_pending.empty()) {
            const std::optional<std::string_view> piece = m_source->next();
            if (!piece) {
                return false;
            }
            m_pending = *piece;
            m_sourceEnded = piece->empty();
        }
        const std::size_t size = std::min(m_pending.size(), m_plain.size() - m_used);
        std::memcpy(m_plain.data() + m_used, m_pending.data(), size);
        m_pending.remove_prefix(size);
        m_used += size;
    }
    return true;
}

Result<std::string_view> StreamEncryptor::next() {
    if (m_done) {
        return std::string_view();
    }
    if (m_failure) {
        return Failure{*m_failure};
    }
    if (!fill()) {
        return failed(FailureCause::unreadable);
    }
    // Only a piece the source's end cut short is the last: a full one is followed by one that holds the padding
    // alone, which gives the same file text.
    const bool last = m_sourceEnded;
    const ByteView plain = plainPiece();
    if (!m_text.feed(plain) || (last && !m_text.finish())) {
        return failed(FailureCause::notText);
    }
    std::optional<std::size_t> produced = plain.empty() ? std::size_t{0} : m_cipher.update(plain, m_cipherBytes.get());
    if (produced && last) {
        const std::optional<std::size_t> padding = m_cipher.finish(m_cipherBytes.get() + *produced);
        produced = padding ? std::optional<std::size_t>(*produced + *padding) : std::nullopt;
    }
    if (!produced) {
        return failed(FailureCause::notEncrypted);
    }
    m_done = last;
    const char* end = base64EncodePiece(ByteView(m_cipherBytes.get(), *produced), last, m_fileText.get());
    return std::string_view(m_fileText.get(), static_cast<std::size_t>(end - m_fileText.get()));
}

} // namespace cipher
