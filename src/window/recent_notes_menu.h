#pragma once

#include <QMenu>
#include <QStringList>

namespace window {

/// File > Open Recent: the recent notes, numbered 1 to 9 and 0 for the keyboard, a note whose file is gone
/// disabled, and Clear List. What the list holds is up to whoever fills it.
class RecentNotesMenu final : public QMenu {
    Q_OBJECT

public:
    /// An empty menu.
    explicit RecentNotesMenu(QWidget* parent = nullptr);

    /// Shows paths, newest first.
    void setPaths(const QStringList& paths);

signals:
    /// The note at path was chosen.
    void noteChosen(const QString& path);
    /// Clear List was chosen.
    void clearChosen();
};

} // namespace window
