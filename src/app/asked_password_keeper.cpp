#include "app/asked_password_keeper.h"

namespace app {

platform::PasswordRead AskedPasswordKeeper::read() {
    if (!m_held) {
        const std::optional<QString> given = m_ask ? m_ask() : std::nullopt;
        if (!given) {
            return platform::KeeperFailure{platform::KeeperFault::notGiven};
        }
        (void)write(*given);
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(m_utf8.data()), static_cast<qsizetype>(m_utf8.size()));
}

std::optional<platform::KeeperFailure> AskedPasswordKeeper::write(const QString& password) {
    QByteArray utf8 = password.toUtf8();
    m_utf8.assign(utf8.cbegin(), utf8.cend());
    cipher::cleanse(utf8.data(), static_cast<std::size_t>(utf8.size()));
    m_held = true;
    return std::nullopt;
}

std::optional<platform::KeeperFailure> AskedPasswordKeeper::remove() {
    forget();
    return std::nullopt;
}

void AskedPasswordKeeper::forget() noexcept {
    // The allocator wipes what it frees; the bytes still in use are wiped here.
    cipher::cleanse(m_utf8.data(), m_utf8.size());
    m_utf8.clear();
    m_held = false;
}

} // namespace app
