#include "window/find_bar.h"

#include "window/bar_buttons.h"
#include "window/find_query.h"
#include "window/match_counter.h"
#include "window/match_highlighter.h"
#include "window/message_bar.h"
#include "window/note_text_view.h"
#include "window/replace_all.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace window {

namespace {

// Arrows and "✕" say nothing to a screen reader, so each button gets a name as well as its tool tip.
QToolButton* makeButton(QWidget* parent, const QString& objectName, const QString& name, const QString& toolTip) {
    auto* button = new BarToolButton(parent);
    button->setObjectName(objectName);
    button->setAccessibleName(name);
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    return button;
}

} // namespace

FindBar::FindBar(NoteTextView* textView, QWidget* parent) : QWidget(parent), m_textView(textView) {
    setObjectName(QStringLiteral("findBar"));

    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("findField"));
    m_field->setPlaceholderText(tr("Find in note"));
    m_field->setAccessibleName(tr("Find"));
    m_field->setClearButtonEnabled(true);
    m_field->setMinimumWidth(220);
    m_field->installEventFilter(this);

    QToolButton* previous =
        makeButton(this, QStringLiteral("findPreviousButton"), tr("Previous match"), tr("Previous match (Shift+F3)"));
    previous->setArrowType(Qt::UpArrow);
    QToolButton* next = makeButton(this, QStringLiteral("findNextButton"), tr("Next match"), tr("Next match (F3)"));
    next->setArrowType(Qt::DownArrow);

    m_matchCase = new QCheckBox(tr("Match &case"), this);
    m_matchCase->setObjectName(QStringLiteral("findMatchCase"));
    m_wholeWords = new QCheckBox(tr("Whole &words"), this);
    m_wholeWords->setObjectName(QStringLiteral("findWholeWords"));

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("findStatus"));
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("findCount"));

    QToolButton* close = makeButton(this, QStringLiteral("findClose"), tr("Close the find bar"), tr("Close (Esc)"));
    close->setText(QStringLiteral("✕"));

    auto* findRow = new QHBoxLayout;
    findRow->setSpacing(4);
    findRow->addWidget(m_field);
    findRow->addWidget(previous);
    findRow->addWidget(next);
    findRow->addSpacing(8);
    findRow->addWidget(m_matchCase);
    findRow->addWidget(m_wholeWords);
    findRow->addSpacing(8);
    findRow->addWidget(m_count);
    findRow->addSpacing(8);
    findRow->addWidget(m_status, 1);
    findRow->addWidget(close);

    m_replaceRow = new QWidget(this);
    m_replacement = new QLineEdit(m_replaceRow);
    m_replacement->setObjectName(QStringLiteral("replaceField"));
    m_replacement->setPlaceholderText(tr("Replace with"));
    m_replacement->setAccessibleName(tr("Replace with"));
    m_replacement->setMinimumWidth(220);
    auto* replaceOne = new BarPushButton(tr("&Replace"), m_replaceRow);
    replaceOne->setObjectName(QStringLiteral("replaceButton"));
    auto* replaceEvery = new BarPushButton(tr("Replace &All"), m_replaceRow);
    replaceEvery->setObjectName(QStringLiteral("replaceAllButton"));
    auto* replaceRow = new QHBoxLayout(m_replaceRow);
    replaceRow->setContentsMargins(0, 0, 0, 0);
    replaceRow->setSpacing(4);
    replaceRow->addWidget(m_replacement);
    replaceRow->addWidget(replaceOne);
    replaceRow->addWidget(replaceEvery);
    replaceRow->addStretch(1);
    m_replaceRow->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 6, 4);
    layout->setSpacing(4);
    layout->addLayout(findRow);
    layout->addWidget(m_replaceRow);

    m_counter = new MatchCounter(m_textView, this);
    m_highlighter = new MatchHighlighter(m_textView, this);
    m_highlighter->setObjectName(QStringLiteral("matchHighlighter"));

    connect(previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(close, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(m_field, &QLineEdit::textEdited, this, &FindBar::findAsTyped);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::findAsTyped);
    connect(m_wholeWords, &QCheckBox::toggled, this, &FindBar::findAsTyped);
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::queryChanged);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::queryChanged);
    connect(m_wholeWords, &QCheckBox::toggled, this, &FindBar::queryChanged);
    connect(m_replacement, &QLineEdit::returnPressed, this, &FindBar::replace);
    connect(replaceOne, &QPushButton::clicked, this, &FindBar::replace);
    connect(replaceEvery, &QPushButton::clicked, this, &FindBar::replaceAll);
    // An edit moves or ends matches, so the count starts again; a new selection only changes which one is current.
    connect(m_textView, &NoteTextView::textChanged, this, [this] {
        if (!isHidden()) {
            m_counter->start(query());
        }
    });
    connect(m_textView, &NoteTextView::caretMoved, this, &FindBar::showCount);
    connect(m_counter, &MatchCounter::counted, this, &FindBar::showCount);
    hide();
}

void FindBar::open() {
    const QByteArray selected = m_textView->selectedBytes();
    // The field holds one line: a selection across lines would lose its line breaks there and never match.
    if (!selected.isEmpty() && !selected.contains('\n') && !selected.contains('\r')) {
        m_field->setText(QString::fromUtf8(selected));
        showStatus({}, false);
    }
    showBar();
    m_field->selectAll();
    m_field->setFocus(Qt::ShortcutFocusReason);
}

void FindBar::openReplace() {
    m_replaceRow->show();
    open();
}

void FindBar::dismiss() {
    hide();
    // Closed with its replacement row, so that Find opens the plain bar again; the marks and the count go too.
    m_replaceRow->hide();
    m_counter->stop();
    m_highlighter->hide();
    m_textView->setFocus(Qt::OtherFocusReason);
}

void FindBar::forget() {
    // setText, unlike clear, also drops the field's undo history.
    m_field->setText(QString());
    m_replacement->setText(QString());
    m_counter->stop();
    m_count->clear();
    showStatus(QString(), false);
    hide();
}

FindQuery FindBar::query() const {
    return {m_field->text().toUtf8(), m_matchCase->isChecked(), m_wholeWords->isChecked()};
}

void FindBar::showBar() {
    if (isHidden()) {
        show();
        queryChanged();
    }
}

void FindBar::queryChanged() {
    if (isHidden()) {
        return;
    }
    m_counter->start(query());
    m_highlighter->show(query());
}

void FindBar::showCount() {
    if (isHidden() || m_field->text().isEmpty() || !m_counter->isDone()) {
        m_count->clear();
        return;
    }
    const qsizetype total = m_counter->total();
    const auto [start, end] = m_textView->selection();
    const std::optional<qsizetype> current = start < end ? m_counter->indexOf(start) : std::nullopt;
    if (total == 0) {
        // "Not found" already says it.
        m_count->setText(m_notFound ? QString() : tr("No matches"));
    } else if (current) {
        m_count->setText(tr("%1 of %2").arg(*current + 1).arg(total));
    } else {
        m_count->setText(total == 1 ? tr("1 match") : tr("%1 matches").arg(total));
    }
}

QString FindBar::matchCount() const {
    return m_count->text();
}

bool FindBar::replace() {
    const FindQuery wanted = query();
    if (wanted.needle.isEmpty()) {
        openReplace();
        return false;
    }
    const auto [start, end] = m_textView->selection();
    const auto selected =
        start < end ? m_textView->find(wanted.needle, start, end, wanted.matchCase, wanted.wholeWords) : std::nullopt;
    if (selected && selected->first == start && selected->second == end) {
        const QByteArray replacement = m_replacement->text().toUtf8();
        m_textView->replace(start, end, replacement);
        m_textView->select(start + replacement.size(), start + replacement.size());
        // The view tells of edits only when it next paints; the count starts again at once.
        m_counter->start(wanted);
    }
    return findNext();
}

qsizetype FindBar::replaceAll() {
    const FindQuery wanted = query();
    if (wanted.needle.isEmpty()) {
        openReplace();
        return 0;
    }
    const qsizetype replaced = window::replaceAll(*m_textView, wanted, m_replacement->text().toUtf8());
    m_counter->start(wanted);
    if (replaced == 0) {
        showStatus(tr("Not found"), true);
    } else {
        showStatus(replaced == 1 ? tr("Replaced 1 match") : tr("Replaced %1 matches").arg(replaced), false);
    }
    return replaced;
}

bool FindBar::findNext() {
    return find(Direction::Forward, m_textView->selection().second);
}

bool FindBar::findPrevious() {
    return find(Direction::Backward, m_textView->selection().first);
}

QString FindBar::status() const {
    return m_status->text();
}

bool FindBar::find(Direction direction, qsizetype from) {
    if (m_field->text().isEmpty()) {
        open();
        return false;
    }
    showBar();
    const FindQuery wanted = query();
    const qsizetype end = m_textView->length();
    const bool forward = direction == Direction::Forward;
    // A search backwards runs from its start down to its end.
    auto found = m_textView->find(wanted.needle, from, forward ? end : 0, wanted.matchCase, wanted.wholeWords);
    const bool wrapped = !found;
    if (wrapped) {
        found =
            m_textView->find(wanted.needle, forward ? 0 : end, forward ? end : 0, wanted.matchCase, wanted.wholeWords);
    }
    if (!found) {
        showStatus(tr("Not found"), true);
        return false;
    }
    m_textView->select(found->first, found->second);
    // The view tells of the new selection only when it next paints; the count follows at once.
    showCount();
    if (!wrapped) {
        showStatus({}, false);
    } else if (forward) {
        showStatus(tr("Continued from the top"), false);
    } else {
        showStatus(tr("Continued from the bottom"), false);
    }
    return true;
}

void FindBar::findAsTyped() {
    if (m_field->text().isEmpty()) {
        showStatus({}, false);
        return;
    }
    // Searching again from the start of the current match lets it grow as the user types instead of jumping on.
    find(Direction::Forward, m_textView->selection().first);
}

void FindBar::showStatus(const QString& text, bool notFound) {
    m_status->setText(text);
    m_notFound = notFound;
    showCount();
    // Tinted from the bar's palette so the text keeps its contrast in dark themes; only the base colour is set, so
    // the field follows a change of theme in every other colour.
    QPalette tinted;
    if (notFound) {
        tinted.setColor(QPalette::Base, problemFieldBase(palette()));
    }
    m_field->setPalette(tinted);
}

void FindBar::paintEvent(QPaintEvent*) {
    // Drawn rather than styled: a style sheet would stop the bar's controls following the window's palette.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(rect().topLeft(), rect().topRight());
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers().testFlag(Qt::ShiftModifier)) {
                findPrevious();
            } else {
                findNext();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    // The field and the check box leave Esc to their parent, so it closes the bar wherever the focus is in it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace window
