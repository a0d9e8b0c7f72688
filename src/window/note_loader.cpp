#include "window/note_loader.h"

#include "cipher/bytes.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <algorithm>

namespace window {

namespace {

// The document spends a few microseconds per line. A note of up to wholeLength bytes goes in at once, in a few tens
// of milliseconds. Of a longer one, the first slice, put in before the window shows anything, holds several screens
// of text; later slices are sized to take about one turn each, since each slice costs a fixed extra (the view lays
// out the last screen again) and a few large slices beat many small ones.
constexpr std::size_t wholeLength = 1024 * 1024;
constexpr std::size_t firstSliceLength = 64 * 1024;
constexpr std::size_t smallestSlice = 16 * 1024;
constexpr std::size_t largestSlice = 8 * 1024 * 1024;
constexpr qint64 turnNs = 15'000'000;

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The plain text of a slice is ours alone unless the document took it over as its own buffer.
void wipe(QString& text) {
    if (!text.isEmpty() && text.isDetached()) {
        cipher::cleanse(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    }
}

} // namespace

NoteLoader::NoteLoader(QPlainTextEdit* view, QObject* parent) : QObject(parent), m_view(view) {
    // A zero timer, unlike a queued call, lets the window paint and take input between two turns.
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &NoteLoader::continueLoading);
}

NoteLoader::~NoteLoader() {
    releaseSource();
}

void NoteLoader::start(std::string utf8) {
    releaseSource();
    m_source = std::move(utf8);
    m_end = QTextCursor();
    // setPlainText empties the undo history; the view's cursor and scroll stay at the start, where slices put in
    // at the end do not move them.
    m_view->setPlainText(QString());
    QTextDocument* document = m_view->document();
    // Emptying a document that has an undo history announces a change and then drops the mark without a word;
    // the state it ends in is announced, so that the window's marker follows it.
    emit document->modificationChanged(document->isModified());
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
    emit progressed(static_cast<qsizetype>(m_done), static_cast<qsizetype>(m_source.size()));
}

void NoteLoader::finish() {
    if (!isLoading()) {
        return;
    }
    while (m_done < m_source.size()) {
        insertSlice(largestSlice);
    }
    complete();
}

void NoteLoader::insertSlice(std::size_t length) {
    const std::size_t size = m_source.size();
    std::size_t end = std::min(size, m_done + length);
    // A slice ends before a character, never inside its UTF-8 bytes, and never between the CR and the LF of a
    // line break, which would make two.
    while (end < size && end > m_done && isContinuationByte(m_source[end])) {
        --end;
    }
    if (end == m_done && end < size) {
        for (++end; end < size && isContinuationByte(m_source[end]); ++end) {
        }
    }
    if (end < size && m_source[end - 1] == '\r' && m_source[end] == '\n') {
        ++end;
    }
    QString text = QString::fromUtf8(m_source.data() + m_done, static_cast<qsizetype>(end - m_done));
    m_end.movePosition(QTextCursor::End);
    m_end.insertText(text);
    wipe(text);
    m_done = end;
}

void NoteLoader::continueLoading() {
    QElapsedTimer turn;
    turn.start();
    const std::size_t length = m_sliceLength;
    insertSlice(length);
    // Aim the next slice at one turn, growing at most twofold so that one quick slice cannot make a slow one.
    const double nsPerByte =
        static_cast<double>(std::max<qint64>(turn.nsecsElapsed(), 1)) / static_cast<double>(length);
    const auto aimed = static_cast<std::size_t>(static_cast<double>(turnNs) / nsPerByte);
    m_sliceLength = std::clamp(std::min(aimed, 2 * length), smallestSlice, largestSlice);
    m_view->document()->setModified(false);
    emit progressed(static_cast<qsizetype>(m_done), static_cast<qsizetype>(m_source.size()));
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
    // The note's plain text: wiped before its memory goes back.
    cipher::cleanse(m_source.data(), m_source.size());
    // Assigning an empty string would keep the memory.
    std::string().swap(m_source);
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
