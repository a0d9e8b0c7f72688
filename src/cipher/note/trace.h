#pragma once

#include "cipher/base/bytes.h"
#include "cipher/stream/note_format.h"
#include "cipher/stream/note_stream.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace cipher {

/// The step-by-step diagnostic trace of encrypt and decrypt, one item per line. It carries plaintext, so it is
/// off unless asked for: a default-constructed trace writes nothing.
class Trace {
public:
    /// A trace that writes nothing.
    Trace() = default;
    /// A trace that writes to the stream; the caller keeps the stream open for the trace's lifetime.
    explicit Trace(std::FILE* out) : m_out(out) {}
    /// Writes to standard output only when the environment variable VELLUMPAD_TRACE is exactly "1".
    [[nodiscard]] static Trace fromEnvironment();

    [[nodiscard]] bool enabled() const noexcept { return m_out != nullptr; }
    /// A label line, unchanged.
    void label(std::string_view text) const;
    /// "[1, 2, 3]": unsigned decimals joined by ", ", or "[]".
    void byteList(ByteView bytes) const;
    /// "48 bytes".
    void length(std::size_t count) const;
    /// A text line, unchanged (CR LF inside it included).
    void text(std::string_view text) const;

private:
    std::FILE* m_out = nullptr;
};

/// The trace of one streamed encryption or decryption: collects each stage's bytes as the stream hands them on and
/// writes the stage whole once it is complete, as the trace shows whole byte lists. Holds the note only while the
/// trace is on; off, it is not handed to the stream at all.
class TracedStages final : public StageObserver {
public:
    explicit TracedStages(Trace trace) : m_trace(trace) {}
    TracedStages(const TracedStages&) = delete;
    TracedStages& operator=(const TracedStages&) = delete;
    /// Wipes what it collected.
    ~TracedStages() override;

    /// After a decryption: "some error" where it failed, else the ciphertext and plain bytes; whether both passed.
    bool writeDecryption() const;
    /// After an opening: writeDecryption's lines, then the note (the well-formed UTF-8 prefix of the plain bytes)
    /// when it ended whole, else "some error".
    void decryptionEnded(bool whole) override;
    /// "input" and the note's bytes, before it is encrypted.
    void encryptionStarted(std::string_view text) override;
    /// "some error".
    void decryptionOutOfMemory() override;

    void cipherBytes(ByteView bytes) override;
    void plainBytes(ByteView bytes) override;
    void fileText(std::string_view text) override;
    /// Writes the ciphertext, its length and the file text.
    void encryptionEnded() override;
    void decryptionFailed(Stage stage) override;

private:
    Trace m_trace;
    Bytes m_cipher;
    SecureBytes m_plain;
    std::string m_fileText;
    std::optional<Stage> m_failedAt;
};

/// A note format watched by a trace, for one encryption or opening: while the trace is on, its observer is a
/// TracedStages of its own, so that one object carries the password's key, the initialisation vector and the trace.
class TracedFormat final : public NoteFormat {
public:
    TracedFormat(std::string_view password, Trace trace, ByteView iv = noteIv);

private:
    TracedStages m_stages;
};

} // namespace cipher
