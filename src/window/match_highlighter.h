#pragma once

#include "window/find_query.h"

#include <QObject>

#include <utility>

namespace window {

class NoteTextView;

/// Marks every match of a query in the part of the note on screen, following scrolling and edits, so that the
/// user sees them all at a glance. Only what is on screen (at most a stretch of it) is searched, so a long note
/// costs no more than a short one.
class MatchHighlighter final : public QObject {
    Q_OBJECT

public:
    /// The most bytes searched for one screen, for a screen of very long lines.
    static constexpr qsizetype widest = 1024 * 1024;

    /// Marks matches in textView, which must outlive it; nothing until show is called.
    explicit MatchHighlighter(NoteTextView* textView, QObject* parent = nullptr);

    /// Marks the matches of query on screen from now on.
    void show(const FindQuery& query);
    /// Takes the marks away and stops marking.
    void hide();
    /// The (start, end) of each match marked now, in order.
    [[nodiscard]] QList<std::pair<qsizetype, qsizetype>> marked() const { return m_marked; }

private:
    void mark();
    void unmark();

    NoteTextView* m_textView;
    FindQuery m_query;
    bool m_showing = false;
    QList<std::pair<qsizetype, qsizetype>> m_marked;
};

} // namespace window
