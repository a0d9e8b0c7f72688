#pragma once

#include <QObject>
#include <QString>
#include <QStringView>
#include <QTextCursor>
#include <QTimer>

class QPlainTextEdit;

namespace window {

/// Puts a whole note into a text view a slice at a time: the first screen at once, the rest from the event loop in
/// short turns, so that a large note shows without delay and the window stays responsive. While the rest goes in,
/// the view is read-only and keeps no undo history.
class NoteLoader final : public QObject {
    Q_OBJECT

public:
    /// A loader for view, which must outlive it.
    explicit NoteLoader(QPlainTextEdit* view, QObject* parent = nullptr);

    /// Replaces the view's whole text with text, dropping any load in progress and the undo history. The first
    /// slice is in the view on return; a longer note goes on loading from the event loop.
    void start(const QString& text);
    /// Puts the rest of the note into the view now; does nothing when no load is in progress.
    void finish();
    /// Whether part of the note is still to go into the view.
    [[nodiscard]] bool isLoading() const { return m_loading; }
    /// The part of the note not yet in the view; empty when none is loading.
    [[nodiscard]] QStringView remaining() const { return QStringView(m_source).sliced(m_done); }

signals:
    /// Loading began (true) or the note is now whole in the view (false).
    void loadingChanged(bool loading);
    /// done of total UTF-16 units of the note are in the view.
    void progressed(qsizetype done, qsizetype total);

private:
    void insertSlice(qsizetype length);
    void continueLoading();
    void complete();
    void releaseSource();
    void setLoading(bool loading);

    QPlainTextEdit* m_view;
    QTimer m_timer;
    QTextCursor m_end;
    QString m_source;
    qsizetype m_done = 0;
    qsizetype m_sliceLength = 0;
    bool m_loading = false;
    bool m_wasReadOnly = false;
    Qt::ScrollBarPolicy m_scrollBarPolicy = Qt::ScrollBarAsNeeded;
};

} // namespace window
