#pragma once

#include <QObject>

class QMimeData;

namespace window {

/// Takes files dropped onto the widgets it watches (the window and the note view), so that a dropped file is opened
/// rather than its address typed into the note; text dropped is left to the note view.
class FileDrop final : public QObject {
    Q_OBJECT

public:
    /// Watches nothing yet.
    explicit FileDrop(QObject* parent = nullptr) : QObject(parent) {}

    /// Takes the file drops meant for target, which must accept drops.
    void watch(QObject& target) { target.installEventFilter(this); }
    /// The local file a drag carries, or "" when it carries none (text, a remote address, nothing).
    [[nodiscard]] static QString droppedFile(const QMimeData* data);

signals:
    /// A file was dropped.
    void fileDropped(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace window
