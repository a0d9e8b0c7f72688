#include "decrypted_content.h"

#include "cipher/encoding/utf8.h"
#include "note_stream.h"

#include <cstring>
#include <utility>

namespace cipher {

namespace {

// File text decrypted per piece: about 48 KiB of note, which stays in cache until it has been read back.
constexpr std::size_t fileTextPiece = 64 * 1024;

} // namespace

std::size_t DecryptedContent::maxPieceBytes() noexcept {
    // A Base64 group cut by the last piece of file text is decoded with this one, and the cipher may hand on the
    // block it held back from the last piece.
    return Base64Decoder::maxDecodedSize(fileTextPiece + 3) + 16;
}

DecryptedContent::DecryptedContent(PieceSource* source, std::string_view fileText, NoteDecryptor decryptor)
    : m_source(source), m_pending(fileText), m_sourceEnded(source == nullptr), m_decryptor(std::move(decryptor)),
      m_piece(maxPieceBytes()) {}

std::optional<DecryptedContent> DecryptedContent::make(std::string_view fileText, std::string_view password,
                                                       ByteView iv) {
    std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(password, iv);
    if (!decryptor) {
        return std::nullopt;
    }
    return DecryptedContent(nullptr, fileText, std::move(*decryptor));
}

std::optional<DecryptedContent> DecryptedContent::make(PieceSource& fileText, std::string_view password, ByteView iv) {
    std::optional<NoteDecryptor> decryptor = NoteDecryptor::make(password, iv);
    if (!decryptor) {
        return std::nullopt;
    }
    return DecryptedContent(&fileText, {}, std::move(*decryptor));
}

bool DecryptedContent::take(ByteView plain) {
    if (plain.size() > m_piece.size() - m_used) {
        return false;
    }
    std::memcpy(m_piece.data() + m_used, plain.data(), plain.size());
    m_used += plain.size();
    return true;
}

bool DecryptedContent::checkUtf8(bool atEnd) {
    return m_noteCheck.feed(ByteView(m_piece.data(), m_used)) && (!atEnd || m_noteCheck.finish());
}

Result<std::string_view> DecryptedContent::nextPiece() {
    cleanse(m_piece.data(), m_used);
    m_used = 0;
    m_matched = 0;
    const auto sink = [this](ByteView plain) { return take(plain); };
    while (!m_ended && m_used == 0) {
        if (m_pending.empty() && !m_sourceEnded) {
            const std::optional<std::string_view> given = m_source->next();
            if (!given) {
                return Failure{FailureCause::unreadable};
            }
            m_pending = *given;
            m_sourceEnded = given->empty();
        }
        bool isText = true;
        bool fine = true;
        if (!m_pending.empty()) {
            // However much the source gives at once, a piece of the note stays within maxPieceBytes.
            const std::string_view piece = m_pending.substr(0, fileTextPiece);
            m_pending.remove_prefix(piece.size());
            m_fed += piece.size();
            // A file text that is not text is no note, as the editor says, whatever the decoder would skip.
            isText = m_textCheck.feed(asBytes(piece));
            fine = isText && m_decryptor.feed(piece, sink);
        } else {
            isText = m_textCheck.finish();
            fine = isText && m_decryptor.finish(sink);
            m_ended = true;
        }
        if (!fine || !checkUtf8(m_ended)) {
            return refusal(isText);
        }
    }
    return std::string_view(reinterpret_cast<const char*>(m_piece.data()), m_used);
}

Failure DecryptedContent::refusal(bool isText) {
    const auto ignore = [](ByteView) { return false; };
    // A file text held whole is decoded on to its end, no longer decrypted, to tell whether any password could open
    // it; a stream is not read on for that, as it may never end.
    while (isText && m_source == nullptr && !m_ended && !m_decryptor.cannotBeANote()) {
        if (m_pending.empty()) {
            isText = m_textCheck.finish();
            (void)m_decryptor.finish(ignore);
            m_ended = true;
            break;
        }
        const std::string_view piece = m_pending.substr(0, fileTextPiece);
        m_pending.remove_prefix(piece.size());
        m_fed += piece.size();
        isText = m_textCheck.feed(asBytes(piece));
        (void)m_decryptor.feed(piece, ignore);
    }
    if (!isText || m_decryptor.cannotBeANote()) {
        return Failure{FailureCause::notANote};
    }
    return Failure{FailureCause::wrongPasswordOrDamaged};
}

Result<Done> DecryptedContent::checkPiece(std::string_view written) {
    const std::string_view given(reinterpret_cast<const char*>(m_piece.data()), m_used);
    if (written.empty()) {
        return m_ended && m_matched == given.size() ? Result<Done>(Done{}) : Failure{FailureCause::readBackDiffers};
    }
    return matchesNext(given, m_matched, written) ? Result<Done>(Done{}) : Failure{FailureCause::readBackDiffers};
}

} // namespace cipher
