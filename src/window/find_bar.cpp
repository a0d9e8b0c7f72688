#include "window/find_bar.h"

#include "window/message_bar.h"
#include "window/note_text_view.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QToolButton>

namespace window {

namespace {

// Arrows and "✕" say nothing to a screen reader, so each button gets a name as well as its tool tip.
QToolButton* makeButton(QWidget* parent, const QString& objectName, const QString& name, const QString& toolTip) {
    auto* button = new QToolButton(parent);
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

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("findStatus"));

    QToolButton* close = makeButton(this, QStringLiteral("findClose"), tr("Close the find bar"), tr("Close (Esc)"));
    close->setText(QStringLiteral("✕"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 6, 4);
    layout->setSpacing(4);
    layout->addWidget(m_field);
    layout->addWidget(previous);
    layout->addWidget(next);
    layout->addSpacing(8);
    layout->addWidget(m_matchCase);
    layout->addSpacing(8);
    layout->addWidget(m_status, 1);
    layout->addWidget(close);

    connect(previous, &QToolButton::clicked, this, &FindBar::findPrevious);
    connect(next, &QToolButton::clicked, this, &FindBar::findNext);
    connect(close, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(m_field, &QLineEdit::textEdited, this, &FindBar::findAsTyped);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::findAsTyped);
    hide();
}

void FindBar::open() {
    const QByteArray selected = m_textView->selectedBytes();
    // The field holds one line: a selection across lines would lose its line breaks there and never match.
    if (!selected.isEmpty() && !selected.contains('\n') && !selected.contains('\r')) {
        m_field->setText(QString::fromUtf8(selected));
        showStatus({}, false);
    }
    show();
    m_field->selectAll();
    m_field->setFocus(Qt::ShortcutFocusReason);
}

void FindBar::dismiss() {
    hide();
    m_textView->setFocus(Qt::OtherFocusReason);
}

void FindBar::forget() {
    // setText, unlike clear, also drops the field's undo history.
    m_field->setText(QString());
    showStatus(QString(), false);
    hide();
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
    show();
    const QByteArray needle = m_field->text().toUtf8();
    const bool matchCase = m_matchCase->isChecked();
    const qsizetype end = m_textView->length();
    const bool forward = direction == Direction::Forward;
    // A search backwards runs from its start down to its end.
    auto found = m_textView->find(needle, from, forward ? end : 0, matchCase);
    const bool wrapped = !found;
    if (wrapped) {
        found = m_textView->find(needle, forward ? 0 : end, forward ? end : 0, matchCase);
    }
    if (!found) {
        showStatus(tr("Not found"), true);
        return false;
    }
    m_textView->select(found->first, found->second);
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
