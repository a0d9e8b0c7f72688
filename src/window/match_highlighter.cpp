#include "window/match_highlighter.h"

#include "window/match_finder.h"
#include "window/note_text_view.h"

#include <QPalette>

#include <algorithm>

namespace window {

namespace {

// Scintilla leaves indicators from 8 up to containers; the note view uses none of its own.
constexpr int matchIndicator = 8;
constexpr int fillAlpha = 90;

} // namespace

MatchHighlighter::MatchHighlighter(NoteTextView* textView, QObject* parent) : QObject(parent), m_textView(textView) {
    m_textView->SendScintilla(QsciScintillaBase::SCI_INDICSETSTYLE, matchIndicator, QsciScintillaBase::INDIC_ROUNDBOX);
    m_textView->SendScintilla(QsciScintillaBase::SCI_INDICSETUNDER, matchIndicator, 1L);
    m_textView->SendScintilla(QsciScintillaBase::SCI_INDICSETALPHA, matchIndicator, static_cast<long>(fillAlpha));
    // Scrolling, typing and resizing all end in an update of the screen.
    connect(m_textView, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int) {
        if (m_showing) {
            mark();
        }
    });
}

void MatchHighlighter::show(const FindQuery& query) {
    m_query = query;
    m_showing = !query.needle.isEmpty();
    unmark();
    if (m_showing) {
        mark();
    }
}

void MatchHighlighter::hide() {
    m_showing = false;
    unmark();
}

void MatchHighlighter::unmark() {
    m_textView->SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT, matchIndicator);
    m_textView->SendScintilla(QsciScintillaBase::SCI_INDICATORCLEARRANGE, 0UL, static_cast<long>(m_textView->length()));
    m_marked.clear();
}

void MatchHighlighter::mark() {
    // The palette's highlight, fainter than a selection, so it follows light and dark themes.
    m_textView->SendScintilla(QsciScintillaBase::SCI_INDICSETFORE, static_cast<unsigned long>(matchIndicator),
                              m_textView->palette().color(QPalette::Highlight));
    const auto at = [this](int x, int y) {
        return static_cast<qsizetype>(
            m_textView->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMPOINT, static_cast<unsigned long>(x), y));
    };
    const QSize screen = m_textView->viewport()->size();
    const qsizetype top = m_textView->lineSpan(m_textView->lineAt(at(0, 0)).first).first;
    const qsizetype bottom = m_textView->lineSpan(m_textView->lineAt(at(screen.width(), screen.height())).first).second;
    const qsizetype end = std::min(bottom, top + widest);
    QList<std::pair<qsizetype, qsizetype>> found;
    const qsizetype low = std::max<qsizetype>(0, top - 4);
    const qsizetype high = std::min(m_textView->length(), end + 4 * m_query.needle.size() + 8);
    forEachMatch(m_textView->bytes(low, high), top - low, end - low, m_query,
                 [low, &found](qsizetype start, qsizetype stop) {
                     found.append({low + start, low + stop});
                 });
    if (found == m_marked) {
        return;
    }
    unmark();
    m_textView->SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT, matchIndicator);
    for (const auto& [start, stop] : found) {
        m_textView->SendScintilla(QsciScintillaBase::SCI_INDICATORFILLRANGE, static_cast<unsigned long>(start),
                                  static_cast<long>(stop - start));
    }
    m_marked = found;
}

} // namespace window
