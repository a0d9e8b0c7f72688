#include "window/go_to_line_bar.h"

#include "window/bar_buttons.h"
#include "window/message_bar.h"
#include "window/note_text_view.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace window {

namespace {

qsizetype number(const QString& digits) {
    bool ok = false;
    const qlonglong value = digits.toLongLong(&ok);
    return ok ? static_cast<qsizetype>(value) : std::numeric_limits<qsizetype>::max();
}

} // namespace

std::optional<LineAndColumn> parseLineAndColumn(const QString& text) {
    static const QRegularExpression form(QStringLiteral(R"(^\s*(\d+)\s*(?::\s*(\d+)\s*)?$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    LineAndColumn wanted{number(match.captured(1)), std::nullopt};
    if (match.hasCaptured(2)) {
        wanted.column = number(match.captured(2));
    }
    return wanted;
}

qsizetype positionOf(const NoteTextView& textView, LineAndColumn wanted) {
    const qsizetype line = std::clamp<qsizetype>(wanted.line, 1, textView.lineCount()) - 1;
    const auto [start, end] = textView.lineSpan(line);
    const qsizetype steps = std::max<qsizetype>(wanted.column.value_or(1), 1) - 1;
    if (steps == 0) {
        return start;
    }
    // Columns are what the arrow keys step over, as in the status bar: an emoji or an accented letter is one.
    const QByteArrayView lineBytes = textView.bytes(start, end);
    const QString text = QString::fromUtf8(lineBytes);
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    qsizetype at = 0;
    for (qsizetype step = 0; step < steps && at < text.size(); ++step) {
        at = clusters.toNextBoundary();
    }
    return start + QStringView(text).first(at).toUtf8().size();
}

GoToLineBar::GoToLineBar(NoteTextView* textView, QWidget* parent) : QWidget(parent), m_textView(textView) {
    setObjectName(QStringLiteral("goToLineBar"));
    auto* label = new QLabel(tr("&Go to line:"), this);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("goToLineField"));
    m_field->setPlaceholderText(tr("line or line:column"));
    m_field->setAccessibleName(tr("Go to line"));
    m_field->setMaximumWidth(180);
    label->setBuddy(m_field);
    auto* close = new BarToolButton(this);
    close->setObjectName(QStringLiteral("goToLineClose"));
    close->setAccessibleName(tr("Close the go to line bar"));
    close->setToolTip(tr("Close (Esc)"));
    close->setAutoRaise(true);
    close->setText(QStringLiteral("✕"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 6, 4);
    layout->setSpacing(4);
    layout->addWidget(label);
    layout->addWidget(m_field);
    layout->addStretch(1);
    layout->addWidget(close);

    connect(m_field, &QLineEdit::returnPressed, this, &GoToLineBar::go);
    // A new try starts untinted.
    connect(m_field, &QLineEdit::textEdited, m_field, [this] { m_field->setPalette(QPalette()); });
    connect(close, &QToolButton::clicked, this, &GoToLineBar::dismiss);
    hide();
}

void GoToLineBar::open() {
    m_field->setText(QString::number(m_textView->lineAt(m_textView->caret()).first + 1));
    m_field->setPalette(QPalette());
    show();
    m_field->selectAll();
    m_field->setFocus(Qt::ShortcutFocusReason);
}

void GoToLineBar::dismiss() {
    hide();
    m_textView->setFocus(Qt::OtherFocusReason);
}

bool GoToLineBar::go() {
    const std::optional<LineAndColumn> wanted = parseLineAndColumn(m_field->text());
    if (!wanted) {
        QPalette tinted;
        tinted.setColor(QPalette::Base, problemFieldBase(palette()));
        m_field->setPalette(tinted);
        return false;
    }
    const qsizetype position = positionOf(*m_textView, *wanted);
    m_textView->select(position, position);
    dismiss();
    return true;
}

void GoToLineBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace window
