#pragma once

#include "platform/preferences.h"

#include <QHash>
#include <QString>

#include <optional>

namespace platform {

/// Preferences held in memory only, so that a test never touches the user's.
class MemoryPreferences final : public Preferences {
public:
    [[nodiscard]] std::optional<QString> stringForKey(const QString& key) const override {
        const auto found = m_values.constFind(key);
        if (found == m_values.cend()) {
            return std::nullopt;
        }
        return *found;
    }
    [[nodiscard]] bool setString(const QString& key, const QString& value) override {
        m_values.insert(key, value);
        return true;
    }
    [[nodiscard]] bool remove(const QString& key) override {
        m_values.remove(key);
        return true;
    }

private:
    QHash<QString, QString> m_values;
};

} // namespace platform
