#pragma once

#include "cipher/base/bytes.h"
#include "cipher/encoding/utf8.h"
#include "cipher/files/atomic_file.h"
#include "note_stream.h"
#include "piece_source.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

namespace cipher {

/// The note held in a file text, decrypted a piece at a time as the atomic writer asks for it, so that saving a
/// decrypted copy of a large note holds neither the note nor a second copy of it. The save fails, and replaces
/// nothing, when the file text turns out not to be UTF-8 text holding a whole, well-formed UTF-8 note under the
/// password; it fails at the first piece that shows it.
class DecryptedContent final : public PiecewiseContent {
public:
    /// No value when the cipher cannot be made. The source (a TextSource over a mapped file text, a pipe) must
    /// outlive the object. A source that cannot be read fails the save with cause other; the source says why.
    [[nodiscard]] static std::optional<DecryptedContent> make(PieceSource& fileText, const NoteFormat& format);

    /// The most bytes one piece holds.
    static std::size_t maxPieceBytes() noexcept;

    [[nodiscard]] Result<std::string_view> nextPiece() override;
    /// Compares what was read back with the piece just given; the writer reads each piece back before asking
    /// for the next.
    [[nodiscard]] Result<Done> checkPiece(std::string_view written) override;

    /// How much of the file text has been read, for giving back the memory of a mapped file as it goes.
    [[nodiscard]] std::size_t fileTextDone() const noexcept { return m_fed; }

private:
    DecryptedContent(PieceSource& source, NoteDecryptor decryptor);
    bool take(ByteView plain);
    bool checkUtf8(bool atEnd);
    /// Why the file text is refused: notANote when no password can open it (told for a source of known size).
    Failure refusal(bool isText);

    PieceSource* m_source;
    std::string_view m_pending; // file text not yet decrypted, of what the source last gave
    bool m_sourceEnded = false;
    NoteDecryptor m_decryptor;
    Utf8Checker m_textCheck; // the file text's
    Utf8Checker m_noteCheck; // the note's
    std::size_t m_fed = 0;
    bool m_ended = false;
    SecureBytes m_piece; // the plain bytes of the current piece
    std::size_t m_used = 0;
    std::size_t m_matched = 0;
};

} // namespace cipher
