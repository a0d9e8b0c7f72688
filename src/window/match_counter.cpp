#include "window/match_counter.h"

#include "window/match_finder.h"
#include "window/note_text_view.h"

#include <QTimer>

#include <algorithm>

namespace window {

MatchCounter::MatchCounter(NoteTextView* textView, QObject* parent)
    : QObject(parent), m_textView(textView), m_timer(new QTimer(this)) {
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, &MatchCounter::countStretch);
}

void MatchCounter::start(const FindQuery& query) {
    m_query = query;
    m_starts.clear();
    m_next = 0;
    m_done = query.needle.isEmpty();
    m_timer->stop();
    if (m_done) {
        emit counted();
        return;
    }
    countStretch();
}

void MatchCounter::stop() {
    m_timer->stop();
    m_starts.clear();
    m_next = 0;
    m_done = true;
}

std::optional<qsizetype> MatchCounter::indexOf(qsizetype position) const {
    const auto at = std::lower_bound(m_starts.begin(), m_starts.end(), position);
    if (at == m_starts.end() || *at != position) {
        return std::nullopt;
    }
    return at - m_starts.begin();
}

void MatchCounter::countStretch() {
    const qsizetype size = m_textView->length();
    const qsizetype stretchEnd = std::min(size, m_next + stretch);
    // A match that starts in this stretch may end past it, and whole words look a character beyond: the part read
    // runs on by more than that. A part, unlike the whole text, leaves the view's gap where the user types.
    const qsizetype low = std::max<qsizetype>(0, m_next - 4);
    const qsizetype high = std::min(size, stretchEnd + 4 * m_query.needle.size() + 8);
    qsizetype next = stretchEnd;
    forEachMatch(m_textView->bytes(low, high), m_next - low, stretchEnd - low, m_query,
                 [this, low, &next](qsizetype start, qsizetype end) {
                     m_starts.push_back(low + start);
                     next = std::max(next, low + end);
                 });
    m_next = next;
    m_done = m_next >= size;
    if (m_done) {
        m_timer->stop();
    } else {
        m_timer->start();
    }
    emit counted();
}

} // namespace window
