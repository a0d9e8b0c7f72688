#include "window/note_loader.h"

#include "cipher/bytes.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

namespace window {

namespace {

// The document spends a few microseconds per line. A note of up to wholeLength characters goes in at once, in a few
// tens of milliseconds. Of a longer one, the first slice, put in before the window shows anything, holds several
// screens of text; later slices are sized to take about one turn each, since each slice costs a fixed extra (the
// view lays out the last screen again) and a few large slices beat many small ones.
constexpr qsizetype wholeLength = 1024 * 1024;
constexpr qsizetype firstSliceLength = 64 * 1024;
constexpr qsizetype smallestSlice = 16 * 1024;
constexpr qsizetype largestSlice = 8 * 1024 * 1024;
constexpr qint64 turnNs = 15'000'000;

} // namespace

NoteLoader::NoteLoader(QPlainTextEdit* view, QObject* parent) : QObject(parent), m_view(view) {
    // A zero timer, unlike a queued call, lets the window paint and take input between two turns.
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &NoteLoader::continueLoading);
}

void NoteLoader::start(const QString& text) {
    releaseSource();
    m_source = text;
    m_end = QTextCursor();
    // setPlainText empties the undo history; the view's cursor and scroll stay at the start, where slices put in
    // at the end do not move them.
    m_view->setPlainText(QString());
    QTextDocument* document = m_view->document();
    document->setUndoRedoEnabled(false);
    m_end = QTextCursor(document);
    // Before any line is laid out, so that the view's width is settled while the document is still small.
    setLoading(m_source.size() > wholeLength);
    insertSlice(isLoading() ? firstSliceLength : m_source.size());
    m_sliceLength = firstSliceLength;
    m_view->moveCursor(QTextCursor::Start);
    if (m_done == m_source.size()) {
        complete();
        return;
    }
    // Putting the note in is not an edit: nothing must ask to be saved.
    document->setModified(false);
    emit progressed(m_done, m_source.size());
}

void NoteLoader::finish() {
    if (!isLoading()) {
        return;
    }
    while (m_done < m_source.size()) {
        insertSlice(1024 * 1024);
    }
    emit progressed(m_done, m_source.size());
    complete();
}

void NoteLoader::insertSlice(qsizetype length) {
    const QStringView source(m_source);
    qsizetype end = std::min(source.size(), m_done + length);
    // A CR LF split between two slices would make two line breaks; a character beyond U+FFFF split between its
    // halves would show broken until the next slice. The slice takes the second half too.
    if (end < source.size() &&
        (source[end - 1].isHighSurrogate() || (source[end - 1] == u'\r' && source[end] == u'\n'))) {
        ++end;
    }
    m_end.movePosition(QTextCursor::End);
    m_end.insertText(m_done == 0 && end == source.size() ? m_source : source.sliced(m_done, end - m_done).toString());
    m_done = end;
}

void NoteLoader::continueLoading() {
    QElapsedTimer turn;
    turn.start();
    const qsizetype length = m_sliceLength;
    insertSlice(length);
    // Aim the next slice at one turn, growing at most twofold so that one quick slice cannot make a slow one.
    const double perUnit = static_cast<double>(std::max<qint64>(turn.nsecsElapsed(), 1)) / static_cast<double>(length);
    const auto aimed = static_cast<qsizetype>(static_cast<double>(turnNs) / perUnit);
    m_sliceLength = std::clamp(std::min(aimed, 2 * length), smallestSlice, largestSlice);
    m_view->document()->setModified(false);
    emit progressed(m_done, m_source.size());
    if (m_done == m_source.size()) {
        complete();
    }
}

void NoteLoader::complete() {
    m_end = QTextCursor();
    releaseSource();
    QTextDocument* document = m_view->document();
    document->setUndoRedoEnabled(true);
    document->setModified(false);
    setLoading(false);
}

void NoteLoader::releaseSource() {
    // The copy is ours alone once the caller has let go of its own; then it is wiped, being the note's plain text.
    if (!m_source.isEmpty() && m_source.isDetached()) {
        cipher::cleanse(m_source.data(), static_cast<std::size_t>(m_source.size()) * sizeof(QChar));
    }
    m_source = QString();
    m_done = 0;
}

void NoteLoader::setLoading(bool loading) {
    if (loading == m_loading) {
        return;
    }
    m_loading = loading;
    if (loading) {
        m_wasReadOnly = m_view->isReadOnly();
        m_view->setReadOnly(true);
        // A scroll bar that appears later narrows the view, and then Qt lays out every line again and keeps a
        // layout for each: hundreds of megabytes for a large note. A long note needs the bar anyway.
        m_scrollBarPolicy = m_view->verticalScrollBarPolicy();
        m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_timer.start();
    } else {
        m_timer.stop();
        m_view->setReadOnly(m_wasReadOnly);
        m_view->setVerticalScrollBarPolicy(m_scrollBarPolicy);
    }
    emit loadingChanged(loading);
}

} // namespace window
