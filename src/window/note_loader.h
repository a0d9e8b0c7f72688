#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QTimer>

#include <string>

namespace window {

class NoteTextView;

/// Puts a whole note into the text view: a note of a few megabytes at once, a longer one in large pieces from the
/// event loop, so that the window paints and takes input while a very large note goes in. While the rest goes in,
/// the view is read-only.
class NoteLoader final : public QObject {
    Q_OBJECT

public:
    /// A loader for view, which must outlive it.
    explicit NoteLoader(NoteTextView* view, QObject* parent = nullptr);
    /// Wipes the part of the note not yet in the view.
    ~NoteLoader() override;

    /// Replaces the view's text and undo history with the note's UTF-8, dropping any load in progress; the note
    /// is at its save point and a typed line break is its dominant line ending. The first piece is in the view on
    /// return. The loader takes the bytes and wipes them once they are in the view.
    void start(std::string utf8);
    /// As start, into document, an empty one from the view's makeDocument with room for the note, which it takes; 0
    /// for a new one.
    void start(std::string utf8, long document);
    /// Puts the rest of the note into the view now; does nothing when no load is in progress.
    void finish();
    /// Whether part of the note is still to go into the view.
    [[nodiscard]] bool isLoading() const { return m_loading; }
    /// The UTF-8 of the part of the note not yet in the view; empty when none is loading.
    [[nodiscard]] QByteArrayView remaining() const {
        return QByteArrayView(m_source).sliced(static_cast<qsizetype>(m_done));
    }

signals:
    /// Loading began (true) or the note is now whole in the view (false).
    void loadingChanged(bool loading);
    /// done of total bytes of the note are in the view.
    void progressed(qsizetype done, qsizetype total);

private:
    void appendPiece(std::size_t length);
    void continueLoading();
    void complete();
    void releaseSource();
    void setLoading(bool loading);

    NoteTextView* m_view;
    QTimer m_timer;
    std::string m_source;
    std::size_t m_done = 0;
    bool m_loading = false;
};

} // namespace window
