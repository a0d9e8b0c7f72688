#include "trace.h"

#include "cipher/encoding/utf8.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>

namespace cipher {

namespace {

// "0" to "255" with their lengths, so a byte list of a large note is built by copying, not by formatting.
struct DecimalTable {
    std::array<std::array<char, 3>, 256> digits{};
    std::array<std::uint8_t, 256> lengths{};
};

constexpr DecimalTable makeDecimalTable() {
    DecimalTable table;
    for (unsigned value = 0; value < 256; ++value) {
        auto& d = table.digits[value];
        if (value >= 100) {
            d = {static_cast<char>('0' + value / 100), static_cast<char>('0' + value / 10 % 10),
                 static_cast<char>('0' + value % 10)};
            table.lengths[value] = 3;
        } else if (value >= 10) {
            d = {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10), '\0'};
            table.lengths[value] = 2;
        } else {
            d = {static_cast<char>('0' + value), '\0', '\0'};
            table.lengths[value] = 1;
        }
    }
    return table;
}

constexpr DecimalTable decimalTable = makeDecimalTable();

// Each line is flushed as it is made, so that a program that is killed or hangs has shown its trace so far.
void writeLine(std::FILE* out, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

} // namespace

Trace Trace::fromEnvironment() {
    const char* value = std::getenv("VELLUMPAD_TRACE");
    if (value != nullptr && std::strcmp(value, "1") == 0) {
        return Trace(stdout);
    }
    return Trace();
}

void Trace::label(std::string_view text) const {
    if (m_out != nullptr) {
        writeLine(m_out, text);
    }
}

void Trace::byteList(ByteView bytes) const {
    if (m_out == nullptr) {
        return;
    }
    // The list shows plaintext, so the staging buffer is wiped afterwards.
    constexpr std::size_t chunkSize = 64 * 1024;
    constexpr std::size_t maxItem = 5; // ", 255"
    std::array<char, chunkSize> buffer;
    std::size_t used = 0;
    buffer[used++] = '[';
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (used + maxItem > buffer.size()) {
            std::fwrite(buffer.data(), 1, used, m_out);
            used = 0;
        }
        if (i != 0) {
            buffer[used++] = ',';
            buffer[used++] = ' ';
        }
        const std::uint8_t byte = bytes[i];
        std::memcpy(buffer.data() + used, decimalTable.digits[byte].data(), 3);
        used += decimalTable.lengths[byte];
    }
    if (used + 2 > buffer.size()) {
        std::fwrite(buffer.data(), 1, used, m_out);
        used = 0;
    }
    buffer[used++] = ']';
    buffer[used++] = '\n';
    std::fwrite(buffer.data(), 1, used, m_out);
    std::fflush(m_out);
    cleanse(buffer.data(), buffer.size());
}

void Trace::length(std::size_t count) const {
    if (m_out != nullptr) {
        writeLine(m_out, std::to_string(count) + " bytes");
    }
}

void Trace::text(std::string_view text) const {
    if (m_out != nullptr) {
        writeLine(m_out, text);
    }
}

constexpr std::string_view someError = "some error";

TracedStages::~TracedStages() {
    cleanse(m_fileText.data(), m_fileText.size());
}

void TracedStages::encryptionStarted(std::string_view text) {
    m_trace.label("input");
    m_trace.byteList(asBytes(text));
}

bool TracedStages::writeDecryption() const {
    if (m_failedAt == Stage::key || m_failedAt == Stage::base64) {
        m_trace.label(someError);
        return false;
    }
    m_trace.label("decryptedData");
    m_trace.byteList(m_cipher);
    if (m_failedAt) {
        m_trace.label(someError);
        return false;
    }
    m_trace.label("decrypted");
    m_trace.byteList(m_plain);
    return true;
}

void TracedStages::decryptionEnded(bool whole) {
    if (!writeDecryption()) {
        return;
    }
    if (whole) {
        m_trace.label("decryptedstring");
        m_trace.text(asText(m_plain).substr(0, wellFormedUtf8PrefixLength(m_plain)));
    } else {
        m_trace.label(someError);
    }
}

void TracedStages::decryptionOutOfMemory() {
    m_trace.label(someError);
}

void TracedStages::cipherBytes(ByteView bytes) {
    m_cipher.insert(m_cipher.end(), bytes.begin(), bytes.end());
}

void TracedStages::plainBytes(ByteView bytes) {
    m_plain.insert(m_plain.end(), bytes.begin(), bytes.end());
}

void TracedStages::fileText(std::string_view text) {
    m_fileText.append(text);
}

void TracedStages::encryptionEnded() {
    m_trace.label("encrypted");
    m_trace.byteList(m_cipher);
    m_trace.label("encryptedData");
    m_trace.length(m_cipher.size());
    m_trace.label("encryptedString");
    m_trace.text(m_fileText);
}

void TracedStages::decryptionFailed(Stage stage) {
    if (!m_failedAt) {
        m_failedAt = stage;
    }
}

// The stages are made after the format that points at them, and are not used before they are made.
TracedFormat::TracedFormat(std::string_view password, Trace trace, ByteView iv)
    : NoteFormat(password, trace.enabled() ? &m_stages : nullptr, iv), m_stages(trace) {}

} // namespace cipher
