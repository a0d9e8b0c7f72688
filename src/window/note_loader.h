#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QTextCursor>
#include <QTimer>

#include <string>

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
    /// Wipes the part of the note not yet in the view.
    ~NoteLoader() override;

    /// Replaces the view's whole text with the note's UTF-8, dropping any load in progress and the undo history.
    /// The first slice is in the view on return; a longer note goes on loading from the event loop. The loader
    /// takes the bytes and wipes them once they are in the view.
    void start(std::string utf8);
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
    void insertSlice(std::size_t length);
    void continueLoading();
    void complete();
    void releaseSource();
    void setLoading(bool loading);

    QPlainTextEdit* m_view;
    QTimer m_timer;
    QTextCursor m_end;
    std::string m_source;
    std::size_t m_done = 0;
    std::size_t m_sliceLength = 0;
    bool m_loading = false;
    bool m_wasReadOnly = false;
    Qt::ScrollBarPolicy m_scrollBarPolicy = Qt::ScrollBarAsNeeded;
};

} // namespace window
