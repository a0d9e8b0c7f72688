#include "window/note_loader.h"

#include "cipher/base/bytes.h"
#include "window/note_text_view.h"

#include <algorithm>

namespace window {

namespace {

// The editor takes in text at about 100 MB a second here, so a note up to wholeLength goes in within a fifth of a
// second, and a piece of pieceLength within one short turn of the event loop. Each turn lets the view paint, which
// lays out again a line the piece ends in: a note of one long line is best taken in few pieces.
constexpr std::size_t wholeLength = 16 * 1024 * 1024;
constexpr std::size_t pieceLength = 8 * 1024 * 1024;

} // namespace

NoteLoader::NoteLoader(NoteTextView* view, QObject* parent) : QObject(parent), m_view(view) {
    // A zero timer, unlike a queued call, lets the window paint and take input between two turns.
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &NoteLoader::continueLoading);
}

NoteLoader::~NoteLoader() {
    releaseSource();
}

void NoteLoader::start(std::string utf8) {
    start(std::move(utf8), 0);
}

void NoteLoader::start(std::string utf8, long document) {
    releaseSource();
    m_source = std::move(utf8);
    const LineEnding ending = dominantLineEnding(m_source);
    if (document != 0) {
        m_view->showDocument(document, ending);
    } else {
        m_view->clear(ending, m_source.size());
    }
    // Putting the note in is not an edit: it can neither be undone nor ask to be saved.
    m_view->setUndoCollection(false);
    setLoading(m_source.size() > wholeLength);
    appendPiece(isLoading() ? pieceLength : m_source.size());
    if (m_done == m_source.size()) {
        complete();
        return;
    }
    emit progressed(static_cast<qsizetype>(m_done), static_cast<qsizetype>(m_source.size()));
}

void NoteLoader::finish() {
    if (!isLoading()) {
        return;
    }
    appendPiece(m_source.size() - m_done);
    complete();
}

void NoteLoader::appendPiece(std::size_t length) {
    // The document keeps bytes, so a piece may end anywhere, even inside a character or a CR LF.
    const std::size_t end = std::min(m_source.size(), m_done + length);
    m_view->append(
        QByteArrayView(m_source).sliced(static_cast<qsizetype>(m_done), static_cast<qsizetype>(end - m_done)));
    // What is in the view is not needed here any more: a large note is not held twice while it goes in.
    cipher::cleanseAndGiveBack(m_source.data() + m_done, end - m_done);
    m_done = end;
}

void NoteLoader::continueLoading() {
    appendPiece(pieceLength);
    emit progressed(static_cast<qsizetype>(m_done), static_cast<qsizetype>(m_source.size()));
    if (m_done == m_source.size()) {
        complete();
    }
}

void NoteLoader::complete() {
    releaseSource();
    m_view->setUndoCollection(true);
    m_view->setSavePoint();
    setLoading(false);
}

void NoteLoader::releaseSource() {
    // The note's plain text: wiped before its memory goes back (what went into the view already is).
    cipher::cleanse(m_source.data() + m_done, m_source.size() - m_done);
    // Assigning an empty string would keep the memory.
    std::string().swap(m_source);
    m_done = 0;
}

void NoteLoader::setLoading(bool loading) {
    if (loading == m_loading) {
        return;
    }
    m_loading = loading;
    m_view->setReadOnly(loading);
    if (loading) {
        m_timer.start();
    } else {
        m_timer.stop();
    }
    emit loadingChanged(loading);
}

} // namespace window
