#pragma once

// The seams the editor benchmarks give the editor: an open panel that picks one note or none, prompts that never wait.

#include "platform/file_panels.h"
#include "platform/prompts.h"

#include <QUrl>

#include <optional>
#include <string_view>

namespace bench {

/// The password the benchmarks' notes are saved under.
inline constexpr std::string_view password = "bench pass word";

struct OneFilePanels final : platform::FilePanels {
    std::optional<QUrl> runOpenPanel(QWidget*, const QString&) override { return file; }
    std::optional<QUrl> runSavePanel(QWidget*, const QString&) override { return std::nullopt; }
    /// What the open panel picks; none, as if it were cancelled, unless set.
    std::optional<QUrl> file;
};

struct DiscardingPrompts final : platform::Prompts {
    platform::UnsavedChangesChoice askToSaveChanges(QWidget*, const QString&) override {
        return platform::UnsavedChangesChoice::Discard;
    }
    bool askToSaveUnderNewPassword(QWidget*) override { return true; }
    std::optional<QString> askForPassword(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    platform::OverwriteChoice askToOverwrite(QWidget*, const QString&, platform::OverwriteReason) override {
        return platform::OverwriteChoice::Overwrite;
    }
};

} // namespace bench
