#pragma once

#include "window/find_query.h"

#include <QObject>

#include <optional>
#include <vector>

class QTimer;

namespace window {

class NoteTextView;

/// Counts the matches of a query in a note a stretch at a time from the event loop, so that a note of a hundred
/// megabytes goes on taking keys while it counts. It counts the text as it was when start was called: whoever
/// changes the text starts it again.
class MatchCounter final : public QObject {
    Q_OBJECT

public:
    /// The bytes searched at each turn of the event loop.
    static constexpr qsizetype stretch = 256 * 1024;

    /// An idle counter of the matches in textView, which must outlive it.
    explicit MatchCounter(NoteTextView* textView, QObject* parent = nullptr);

    /// Counts the matches of query from the start again; the first stretch at once. An empty needle counts none.
    void start(const FindQuery& query);
    /// Drops the count and stops counting.
    void stop();
    /// Whether the whole note has been counted since start.
    [[nodiscard]] bool isDone() const { return m_done; }
    /// The matches counted so far.
    [[nodiscard]] qsizetype total() const { return static_cast<qsizetype>(m_starts.size()); }
    /// The 0-based number of the counted match that starts at position; no value when none does.
    [[nodiscard]] std::optional<qsizetype> indexOf(qsizetype position) const;

signals:
    /// The count went on or is done.
    void counted();

private:
    void countStretch();

    NoteTextView* m_textView;
    QTimer* m_timer;
    FindQuery m_query;
    std::vector<qsizetype> m_starts;
    qsizetype m_next = 0;
    bool m_done = true;
};

} // namespace window
