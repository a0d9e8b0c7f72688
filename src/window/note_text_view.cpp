#include "window/note_text_view.h"

#include "cipher/base/bytes.h"
#include "window/match_finder.h"
#include "window/text_runs.h"
#include "window/wrap_repaint_filter.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QPalette>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace window {

namespace {

constexpr int tabWidthInSpaces = 4;
constexpr int sidePadding = 8;
constexpr int marginCount = 5;
constexpr std::size_t typingRoom = 64 * 1024;
// The mark password managers put on what they copy; clipboard managers honouring it keep no history of it.
constexpr auto secretHint = "x-kde-passwordManagerHint";
// The widths of this many distinct short runs are remembered (Scintilla keeps 1,024): a note in everyday words settles
// a fifth sooner than with 65,536, for 4 MiB more, and larger tables gain nothing.
constexpr unsigned long rememberedRuns = 262144;
// Words get the first style and the spaces and control characters between them the second, so that a word is
// measured once and a letter typed into a word in the first style (Scintilla inserts it in that style) changes no
// style. The third style is for a run beside one of the same kind, such as a word after a word with its one space or
// the clusters of a long word; a letter typed into such a run is restyled. A piece of a long word
// that begins at an anchor (text_runs.h) takes the fourth, so that the styles after an edit come back in step with
// those before it, as the cuts do.
constexpr char wordStyle = 0;
constexpr char separatorStyle = 1;
constexpr char besideStyle = 2;
constexpr char anchorStyle = 3;
// How far beyond the position asked for a run may look to find its end.
constexpr qsizetype runLookahead = 4 * longestWholeWord;

unsigned long eolMode(LineEnding ending) {
    switch (ending) {
    case LineEnding::CrLf:
        return QsciScintillaBase::SC_EOL_CRLF;
    case LineEnding::Cr:
        return QsciScintillaBase::SC_EOL_CR;
    case LineEnding::Lf:
        break;
    }
    return QsciScintillaBase::SC_EOL_LF;
}

} // namespace

NoteTextView::NoteTextView(QWidget* parent) : QsciScintillaBase(parent), m_wrapRepaints(new WrapRepaintFilter(this)) {
    setAccessibleName(tr("Note text"));
    clear(LineEnding::Lf);
    // A plain text view: no line numbers, symbols or folding, a little room at the sides like a sheet of paper.
    for (unsigned long margin = 0; margin < marginCount; ++margin) {
        send(SCI_SETMARGINWIDTHN, margin, 0);
    }
    send(SCI_SETMARGINLEFT, 0, sidePadding);
    send(SCI_SETMARGINRIGHT, 0, sidePadding);
    // The horizontal scroll bar fits the widest line seen rather than a fixed guess.
    send(SCI_SETSCROLLWIDTH, 1);
    send(SCI_SETSCROLLWIDTHTRACKING, 1);
    setWordWrap(true);
    send(SCI_SETLAYOUTCACHE, SC_CACHE_PAGE);
    send(SCI_SETPOSITIONCACHE, rememberedRuns);
    // Programmers' commands bound to everyday letters would change a note by surprise: duplicate (Ctrl+D), cut or
    // delete a line (Ctrl+L, Ctrl+Shift+L), copy or transpose lines (Ctrl+Shift+T, Ctrl+T), change case (Ctrl+U,
    // Ctrl+Shift+U).
    for (const char key : {'D', 'L', 'T', 'U'}) {
        for (const int modifiers : {int{SCMOD_CTRL}, SCMOD_CTRL | SCMOD_SHIFT}) {
            send(SCI_CLEARCMDKEY, static_cast<unsigned long>(key) | (static_cast<unsigned long>(modifiers) << 16));
        }
    }
    // QScintilla tells assistive technology of every insertion and deletion, counting the characters from the
    // start of the text each time: with no screen reader listening, that is up to a second per keystroke in a large
    // note, for nobody. So the document reports changes only while one is listening (see also paintEvent).
    QAccessible::installActivationObserver(this);
    accessibilityActiveChanged(QAccessible::isActive());
    applyLook();

    connect(this, &QsciScintillaBase::SCN_STYLENEEDED, this, &NoteTextView::styleRuns);
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char*, int length, int, int, int, int, int, int) {
                noteChange(position, type, length);
            });
    connect(this, &QsciScintillaBase::SCN_SAVEPOINTREACHED, this, [this] { emit modificationChanged(false); });
    connect(this, &QsciScintillaBase::SCN_SAVEPOINTLEFT, this, [this] { emit modificationChanged(true); });
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int updated) {
        if ((updated & SC_UPDATE_CONTENT) != 0) {
            emit textChanged();
        }
        if ((updated & (SC_UPDATE_SELECTION | SC_UPDATE_CONTENT)) != 0) {
            emit caretMoved();
        }
    });
    // Selecting text puts it into the X11 selection, which clipboard managers can also keep.
    connect(QApplication::clipboard(), &QClipboard::selectionChanged, this, &NoteTextView::markSelectionSecret);
}

NoteTextView::~NoteTextView() {
    QAccessible::removeActivationObserver(this);
}

void NoteTextView::accessibilityActiveChanged(bool active) {
    // Where the text is about to change is always wanted, for styling (noteChange); it is told before the change,
    // which assistive technology is not told of.
    const unsigned long always = SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE;
    send(SCI_SETMODEVENTMASK, active ? always | SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT : always);
}

long NoteTextView::send(unsigned int message, unsigned long wParam, long lParam) const {
    return SendScintilla(message, wParam, lParam);
}

void NoteTextView::clear(LineEnding ending, std::size_t capacity) {
    showDocument(makeDocument(capacity), ending);
}

long NoteTextView::makeDocument(std::size_t capacity) const {
    // Without run styling the document keeps no style byte per text byte: half the memory. Scintilla moves the whole
    // text into a larger buffer when an insertion fills the one it has, for a moment holding it twice; so the buffer
    // has room beyond the note for what is typed next, as much as Scintilla would add itself.
    const std::size_t room = capacity == 0 ? 0 : capacity + capacity / 8 + typingRoom;
    // Made by an editor of its own, never shown: an editor that makes a document forgets where the lines of the one it
    // shows wrap and which are on screen, and this view keeps showing its note meanwhile.
    QsciScintillaBase maker;
    const long document = maker.SendScintilla(SCI_CREATEDOCUMENT, room,
                                              m_runStyling ? SC_DOCUMENTOPTION_DEFAULT : SC_DOCUMENTOPTION_STYLES_NONE);
    if (room > 0) {
        // Scintilla fills the room with zeros, which makes all of it resident at once. Until text fills it, it goes
        // back to the system (it reads as zeros again, and Scintilla never reads it).
        maker.SendScintilla(SCI_SETDOCPOINTER, 0, document);
        cipher::giveBack(static_cast<char*>(maker.SendScintillaPtrResult(SCI_GETCHARACTERPOINTER)), room);
    }
    return document;
}

void NoteTextView::showDocument(long document, LineEnding ending) {
    // The old text is the note's plain text: wiped before its memory goes back.
    const QByteArrayView old = bytes();
    cipher::cleanse(const_cast<char*>(old.data()), static_cast<std::size_t>(old.size()));
    send(SCI_SETDOCPOINTER, 0, document);
    send(SCI_RELEASEDOCUMENT, 0, document);
    forgetLayout();
    setUpDocument(ending);
}

void NoteTextView::noteChange(qsizetype position, int type, qsizetype length) {
    // Both ends move with the text after them: an insertion shifts them on, a deletion takes them back to its start.
    const auto follow = [&](qsizetype& end) {
        if (end > position) {
            end = (type & SC_MOD_BEFOREINSERT) != 0 ? end + length : std::max(position, end - length);
        }
    };
    if ((type & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE)) == 0) {
        return;
    }
    emit textAboutToChange(position);
    follow(m_trustedEnd);
    follow(m_changedEnd);
    m_changedEnd = std::max(m_changedEnd, (type & SC_MOD_BEFOREINSERT) != 0 ? position + length : position);
}

void NoteTextView::dropDocument(long document) const {
    send(SCI_RELEASEDOCUMENT, 0, document);
}

void NoteTextView::forgetLayout() {
    // Scintilla keeps the lines it laid out and the runs of text it measured, the note's words among them, until
    // others push them out; turning the caches off and on again frees them now.
    const long measured = send(SCI_GETPOSITIONCACHE);
    send(SCI_SETPOSITIONCACHE, 0);
    send(SCI_SETPOSITIONCACHE, static_cast<unsigned long>(measured));
    const long laidOut = send(SCI_GETLAYOUTCACHE);
    send(SCI_SETLAYOUTCACHE, SC_CACHE_NONE);
    send(SCI_SETLAYOUTCACHE, static_cast<unsigned long>(laidOut));
}

std::span<std::uint8_t> NoteTextView::bytesInPlace() {
    // The document's own buffer, made whole by SCI_GETCHARACTERPOINTER: the same length stays valid to write.
    const QByteArrayView text = bytes();
    return {reinterpret_cast<std::uint8_t*>(const_cast<char*>(text.data())), static_cast<std::size_t>(text.size())};
}

long NoteTextView::setAside() {
    setUndoCollection(false);
    // The buffer keeps a gap, which can hold stale copies of text that was moved to close it, such as the note
    // before it was changed in place. Writing the first byte over itself moves the gap to the start: the text as it
    // is now is moved over the buffer's end, and the gap holds only copies of it.
    if (length() > 0 && !isReadOnly()) {
        const char first = bytes(0, 1).front();
        send(SCI_SETTARGETRANGE, 0, 1);
        SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(1), &first);
    }
    const long document = send(SCI_GETDOCPOINTER);
    send(SCI_ADDREFDOCUMENT, 0, document);
    const long empty = send(SCI_CREATEDOCUMENT, 0, SC_DOCUMENTOPTION_STYLES_NONE);
    send(SCI_SETDOCPOINTER, 0, empty);
    send(SCI_RELEASEDOCUMENT, 0, empty);
    forgetLayout();
    setUpDocument(LineEnding::Lf);
    return document;
}

void NoteTextView::bringBack(long document) {
    send(SCI_SETDOCPOINTER, 0, document);
    send(SCI_RELEASEDOCUMENT, 0, document);
    m_trustedEnd = 0;
    m_changedEnd = -1;
    emit textAboutToChange(0);
    setUndoCollection(true);
}

void NoteTextView::setUpDocument(LineEnding ending) {
    m_trustedEnd = 0;
    m_changedEnd = -1;
    emit textAboutToChange(0);
    // These belong to the document, so a new one needs them again.
    send(SCI_SETCODEPAGE, SC_CP_UTF8);
    // Scintilla shows a byte that is not part of well-formed UTF-8 as its value in hex, and so looks up every other
    // byte above 0x7F in its table of such labels as it lays out a line: a large share of the time spent laying out
    // text that is not ASCII. A note is well-formed UTF-8 once in (only a piece still going in can end inside a
    // character), so without those labels the lookups are left to the few lead bytes of control characters.
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char single[2] = {static_cast<char>(byte), '\0'};
        send(SCI_CLEARREPRESENTATION, reinterpret_cast<uintptr_t>(single));
    }
    send(SCI_SETEOLMODE, eolMode(ending));
    send(SCI_SETTABWIDTH, tabWidthInSpaces);
    send(SCI_SETUSETABS, 1);
}

void NoteTextView::append(QByteArrayView bytes) {
    const bool readOnly = isReadOnly();
    send(SCI_SETREADONLY, 0);
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(bytes.size()), bytes.data());
    send(SCI_SETREADONLY, readOnly ? 1 : 0);
}

QByteArrayView NoteTextView::bytes() const {
    const auto* text = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return {text, length()};
}

QByteArrayView NoteTextView::bytes(qsizetype from, qsizetype to) const {
    // Unlike the whole text, a range needs the document's gap moved only when the gap lies inside it.
    const auto* text = static_cast<const char*>(reinterpret_cast<void*>(
        send(SCI_GETRANGEPOINTER, static_cast<unsigned long>(from), static_cast<long>(to - from))));
    return {text, to - from};
}

void NoteTextView::copyBytes(char* into) const {
    // Asking for the whole text at once would first close the gap, moving up to all of it.
    const qsizetype total = length();
    const qsizetype gap = std::clamp(static_cast<qsizetype>(send(SCI_GETGAPPOSITION)), qsizetype{0}, total);
    for (const QByteArrayView part : {bytes(0, gap), bytes(gap, total)}) {
        if (!part.isEmpty()) {
            std::memcpy(into, part.data(), static_cast<std::size_t>(part.size()));
            into += part.size();
        }
    }
}

qsizetype NoteTextView::length() const {
    return static_cast<qsizetype>(send(SCI_GETLENGTH));
}

LineEnding NoteTextView::lineEnding() const {
    switch (send(SCI_GETEOLMODE)) {
    case SC_EOL_CRLF:
        return LineEnding::CrLf;
    case SC_EOL_CR:
        return LineEnding::Cr;
    default:
        return LineEnding::Lf;
    }
}

bool NoteTextView::isModified() const {
    return send(SCI_GETMODIFY) != 0;
}

void NoteTextView::setSavePoint() {
    send(SCI_SETSAVEPOINT);
}

void NoteTextView::setUndoCollection(bool collect) {
    send(SCI_SETUNDOCOLLECTION, collect ? 1 : 0);
    if (!collect) {
        send(SCI_EMPTYUNDOBUFFER);
    }
}

bool NoteTextView::isReadOnly() const {
    return send(SCI_GETREADONLY) != 0;
}

void NoteTextView::setReadOnly(bool readOnly) {
    send(SCI_SETREADONLY, readOnly ? 1 : 0);
}

bool NoteTextView::canUndo() const {
    return send(SCI_CANUNDO) != 0;
}

bool NoteTextView::canRedo() const {
    return send(SCI_CANREDO) != 0;
}

bool NoteTextView::canPaste() const {
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    return !isReadOnly() && clipboard != nullptr && canInsertFromMimeData(clipboard);
}

bool NoteTextView::hasSelection() const {
    return send(SCI_GETSELECTIONEMPTY) == 0;
}

bool NoteTextView::wordWrap() const {
    return send(SCI_GETWRAPMODE) != SC_WRAP_NONE;
}

void NoteTextView::setWordWrap(bool wrap) {
    send(SCI_SETWRAPMODE, wrap ? wrapMode() : static_cast<unsigned long>(SC_WRAP_NONE));
    m_wrapRepaints->follow();
}

unsigned long NoteTextView::wrapMode() const {
    // Scintilla's word wrap may break a line wherever the style changes; wrapping at white space breaks it where
    // word wrap of an unstyled text does.
    return m_runStyling ? static_cast<unsigned long>(SC_WRAP_WHITESPACE) : static_cast<unsigned long>(SC_WRAP_WORD);
}

bool NoteTextView::runStyling() const {
    return m_runStyling;
}

void NoteTextView::setRunStyling(bool on) {
    const bool wrap = wordWrap();
    m_runStyling = on;
    setWordWrap(wrap);
    send(SCI_SETPOSITIONCACHE, on ? rememberedRuns : 1024UL);
}

void NoteTextView::styleRuns(int position) {
    if (!m_runStyling) {
        return;
    }
    const qsizetype size = length();
    const qsizetype upTo = std::min<qsizetype>(position, size);
    // The text has changed at most from the end of the styled part on, and the run that ends there may now go on; the
    // run before it begins at a cut that still holds.
    const auto styledEnd = static_cast<qsizetype>(send(SCI_GETENDSTYLED));
    qsizetype start = styledRunStart(styledRunStart(styledEnd));
    if (upTo <= start) {
        return;
    }
    // With the byte before the first run, which tells whether it begins inside a word.
    const qsizetype context = start > 0 ? 1 : 0;
    const QByteArrayView text = bytes(start - context, std::min(size, upTo + runLookahead));
    // Every style handed over is written below first: no need to clear up to megabytes beforehand.
    const auto styles = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(text.size() - context));
    char previous =
        start > 0 ? static_cast<char>(send(SCI_GETSTYLEAT, static_cast<unsigned long>(start - 1))) : besideStyle;
    qsizetype at = context;
    bool resumed = false;
    while (at < upTo - start + context) {
        // Past the last change, a run that begins where a run began before, beside the same style as before, begins
        // the same runs as before: the styles from there on stand, and a keystroke in a long line restyles a word or
        // two instead of the rest of the line.
        const qsizetype here = start - context + at;
        if (here > m_changedEnd && upTo <= m_trustedEnd && here > 0 &&
            send(SCI_GETSTYLEAT, static_cast<unsigned long>(here - 1)) == previous &&
            send(SCI_GETSTYLEAT, static_cast<unsigned long>(here)) != previous) {
            resumed = true;
            break;
        }
        const Run run = cutRun(text, at);
        const auto lead = static_cast<unsigned char>(text[at]);
        const char own = lead <= ' ' || lead == 0x7F ? separatorStyle : run.anchored ? anchorStyle : wordStyle;
        const char style = own != previous ? own : besideStyle;
        std::fill(styles.get() + (at - context), styles.get() + (run.end - context), style);
        previous = style;
        at = run.end;
    }
    send(SCI_STARTSTYLING, static_cast<unsigned long>(start));
    SendScintilla(SCI_SETSTYLINGEX, static_cast<uintptr_t>(at - context), styles.get());
    const qsizetype styledTo = start - context + at;
    if (resumed) {
        send(SCI_STARTSTYLING, static_cast<unsigned long>(std::min(m_trustedEnd, size)));
    } else {
        m_trustedEnd = styledTo;
    }
    if (styledTo >= m_changedEnd) {
        m_changedEnd = -1;
    }
}

qsizetype NoteTextView::styledRunStart(qsizetype position) const {
    // Runs side by side differ in style, so a run is the stretch of one style. One longer than a word is cut only
    // where a cluster ends; past a few words' length the start of the line is taken instead, which is always a cut.
    constexpr qsizetype farthest = 8 * longestWholeWord;
    if (position <= 0) {
        return 0;
    }
    const long style = send(SCI_GETSTYLEAT, static_cast<unsigned long>(position - 1));
    qsizetype start = position - 1;
    while (start > 0 && send(SCI_GETSTYLEAT, static_cast<unsigned long>(start - 1)) == style) {
        if (position - start > farthest) {
            return lineAt(position - 1).second;
        }
        --start;
    }
    return start;
}

int NoteTextView::zoom() const {
    return static_cast<int>(send(SCI_GETZOOM));
}

void NoteTextView::setZoom(int points) {
    constexpr double smallestPoints = 4;
    constexpr int largestZoom = 20;
    const int smallestZoom = static_cast<int>(std::ceil(smallestPoints - m_points));
    send(SCI_SETZOOM, static_cast<unsigned long>(std::clamp(points, std::min(smallestZoom, 0), largestZoom)));
}

qsizetype NoteTextView::firstVisibleLine() const {
    return static_cast<qsizetype>(send(SCI_GETFIRSTVISIBLELINE));
}

void NoteTextView::setFirstVisibleLine(qsizetype line) {
    send(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(line));
}

int NoteTextView::horizontalOffset() const {
    return static_cast<int>(send(SCI_GETXOFFSET));
}

void NoteTextView::setHorizontalOffset(int pixels) {
    send(SCI_SETXOFFSET, static_cast<unsigned long>(pixels));
}

QMimeData* NoteTextView::toMimeData(const QByteArray& text, bool rectangular) const {
    QMimeData* copied = QsciScintillaBase::toMimeData(text, rectangular);
    copied->setData(QString::fromLatin1(secretHint), QByteArrayLiteral("secret"));
    m_copies.removeAll(nullptr);
    m_copies.append(copied);
    return copied;
}

void NoteTextView::markSelectionSecret() {
    QClipboard* clipboard = QApplication::clipboard();
    const QMimeData* selection = clipboard->mimeData(QClipboard::Selection);
    if (!clipboard->ownsSelection() || selection == nullptr || selection->hasFormat(QString::fromLatin1(secretHint)) ||
        !hasFocus()) {
        return;
    }
    clipboard->setMimeData(toMimeData(selection->text().toUtf8(), false), QClipboard::Selection);
}

void NoteTextView::takeBackCopies() {
    QClipboard* clipboard = QApplication::clipboard();
    for (const QClipboard::Mode mode : {QClipboard::Clipboard, QClipboard::Selection}) {
        const QMimeData* held = clipboard->mimeData(mode);
        if (held != nullptr && m_copies.contains(held)) {
            clipboard->clear(mode);
        }
    }
    m_copies.removeAll(nullptr);
}

qsizetype NoteTextView::anchor() const {
    return static_cast<qsizetype>(send(SCI_GETANCHOR));
}

qsizetype NoteTextView::caret() const {
    return static_cast<qsizetype>(send(SCI_GETCURRENTPOS));
}

std::pair<qsizetype, qsizetype> NoteTextView::selection() const {
    return {static_cast<qsizetype>(send(SCI_GETSELECTIONSTART)), static_cast<qsizetype>(send(SCI_GETSELECTIONEND))};
}

void NoteTextView::select(qsizetype anchor, qsizetype caret) {
    send(SCI_SETSEL, static_cast<unsigned long>(anchor), static_cast<long>(caret));
}

QByteArray NoteTextView::selectedBytes() const {
    const auto [start, end] = selection();
    return bytes(start, end).toByteArray();
}

std::pair<qsizetype, qsizetype> NoteTextView::lineAt(qsizetype position) const {
    const long line = send(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position));
    return {static_cast<qsizetype>(line),
            static_cast<qsizetype>(send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)))};
}

qsizetype NoteTextView::lineCount() const {
    return static_cast<qsizetype>(send(SCI_GETLINECOUNT));
}

std::pair<qsizetype, qsizetype> NoteTextView::lineSpan(qsizetype line) const {
    return {static_cast<qsizetype>(send(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line))),
            static_cast<qsizetype>(send(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)))};
}

std::optional<std::pair<qsizetype, qsizetype>> NoteTextView::find(QByteArrayView needle, qsizetype from, qsizetype to,
                                                                  bool matchCase, bool wholeWords) const {
    auto found = findAnywhere(needle, from, to, matchCase);
    while (wholeWords && found && (isWordAt(found->first, true) || isWordAt(found->second, false))) {
        // A backward search takes matches that end by its start, so going on from one byte before this match's end
        // passes over it.
        found = findAnywhere(needle, from <= to ? found->first + 1 : found->second - 1, to, matchCase);
    }
    return found;
}

bool NoteTextView::isWordAt(qsizetype position, bool before) const {
    // A character is at most four bytes: that much on either side is enough to tell.
    const qsizetype low = std::max<qsizetype>(0, position - 4);
    return isWordCharacterAt(bytes(low, std::min(length(), position + 4)), position - low, before);
}

void NoteTextView::replace(qsizetype from, qsizetype to, QByteArrayView replacement) {
    send(SCI_BEGINUNDOACTION);
    send(SCI_SETTARGETRANGE, static_cast<unsigned long>(from), static_cast<long>(to));
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(replacement.size()), replacement.data());
    send(SCI_ENDUNDOACTION);
}

std::optional<std::pair<qsizetype, qsizetype>> NoteTextView::findAnywhere(QByteArrayView needle, qsizetype from,
                                                                          qsizetype to, bool matchCase) const {
    // Scintilla folds only ASCII letters, so a needle with others is matched here, a stretch of text at a time.
    const bool ascii =
        std::all_of(needle.begin(), needle.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!matchCase && !ascii) {
        return findFolded(QString::fromUtf8(needle), from, to);
    }
    send(SCI_SETSEARCHFLAGS, matchCase ? SCFIND_MATCHCASE : 0);
    send(SCI_SETTARGETRANGE, static_cast<unsigned long>(from), static_cast<long>(to));
    const long found = SendScintilla(SCI_SEARCHINTARGET, static_cast<uintptr_t>(needle.size()), needle.data());
    if (found < 0) {
        return std::nullopt;
    }
    return std::pair{static_cast<qsizetype>(found), static_cast<qsizetype>(send(SCI_GETTARGETEND))};
}

qsizetype NoteTextView::characterStart(qsizetype position) const {
    const qsizetype size = length();
    while (position > 0 && position < size &&
           (static_cast<unsigned char>(bytes(position, position + 1).front()) & 0xC0) == 0x80) {
        --position;
    }
    return position;
}

std::optional<std::pair<qsizetype, qsizetype>> NoteTextView::findFolded(const QString& needle, qsizetype from,
                                                                        qsizetype to) const {
    constexpr qsizetype stretch = 1024 * 1024;
    // Consecutive stretches overlap by more than a match can span, so that none is missed at their edges.
    const qsizetype overlap = 4 * needle.size() + 4;
    const bool forward = from <= to;
    const qsizetype low = std::min(from, to);
    const qsizetype high = std::max(from, to);
    qsizetype start = forward ? low : characterStart(std::max(low, high - stretch));
    qsizetype end = forward ? characterStart(std::min(high, low + stretch)) : high;
    while (true) {
        const QString text = QString::fromUtf8(bytes(start, end));
        const qsizetype at =
            forward ? text.indexOf(needle, 0, Qt::CaseInsensitive) : text.lastIndexOf(needle, -1, Qt::CaseInsensitive);
        if (at >= 0) {
            const qsizetype matchStart = start + QStringView(text).first(at).toUtf8().size();
            return std::pair{matchStart, matchStart + QStringView(text).sliced(at, needle.size()).toUtf8().size()};
        }
        if (forward ? end >= high : start <= low) {
            return std::nullopt;
        }
        if (forward) {
            start = characterStart(std::max(start, end - overlap));
            end = characterStart(std::min(high, start + stretch));
            end = end > start ? end : high;
        } else {
            end = characterStart(std::min(end, start + overlap));
            start = characterStart(std::max(low, end - stretch));
        }
    }
}

void NoteTextView::undo() {
    send(SCI_UNDO);
}

void NoteTextView::redo() {
    send(SCI_REDO);
}

void NoteTextView::cut() {
    send(SCI_CUT);
}

void NoteTextView::copy() {
    send(SCI_COPY);
}

void NoteTextView::paste() {
    send(SCI_PASTE);
}

void NoteTextView::selectAll() {
    send(SCI_SELECTALL);
}

void NoteTextView::changeEvent(QEvent* event) {
    QsciScintillaBase::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationFontChange) {
        applyLook();
    }
}

void NoteTextView::paintEvent(QPaintEvent* event) {
    // Qt makes an accessible object for a widget at any change of it, listened to or not, and at every paint
    // QScintilla counts the characters up to the caret for the view's accessible object if there is one. Unless
    // assistive technology is listening, the object is dropped here; one that asks gets a new one at once.
    if (!QAccessible::isActive()) {
        if (QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(this)) {
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(accessible));
        }
    }
    QsciScintillaBase::paintEvent(event);
}

void NoteTextView::keyPressEvent(QKeyEvent* event) {
    // Tab belongs to the note. Ctrl+Tab and Ctrl+Shift+Tab move on to the window's other controls, as in Qt's own
    // text editors: without them the problem bar's buttons ("Try Another Password…", "✕") need a mouse.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && event->modifiers().testFlag(Qt::ControlModifier)) {
        (void)QWidget::focusNextPrevChild(event->key() == Qt::Key_Tab &&
                                          !event->modifiers().testFlag(Qt::ShiftModifier));
        event->accept();
        return;
    }
    QsciScintillaBase::keyPressEvent(event);
}

void NoteTextView::wheelEvent(QWheelEvent* event) {
    if (!event->modifiers().testFlag(Qt::ControlModifier)) {
        QsciScintillaBase::wheelEvent(event);
        return;
    }
    // A notch of a mouse wheel is 120; a touchpad sends many smaller steps, summed here into whole points.
    constexpr int notch = 120;
    m_wheelZoomRest += event->angleDelta().y();
    const int steps = m_wheelZoomRest / notch;
    m_wheelZoomRest -= steps * notch;
    if (steps != 0) {
        setZoom(zoom() + steps);
    }
    event->accept();
}

void NoteTextView::applyLook() {
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QPalette colours = palette();
    const QByteArray family = font.family().toUtf8();
    SendScintilla(SCI_STYLESETFONT, static_cast<uintptr_t>(STYLE_DEFAULT), family.constData());
    // A font sized in pixels has no point size; ten points is the usual size of a fixed-width one.
    m_points = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    send(SCI_STYLESETSIZEFRACTIONAL, STYLE_DEFAULT, static_cast<long>(m_points * double{SC_FONT_SIZE_MULTIPLIER}));
    send(SCI_STYLESETWEIGHT, STYLE_DEFAULT, static_cast<long>(font.weight()));
    send(SCI_STYLESETITALIC, STYLE_DEFAULT, font.italic() ? 1 : 0);
    SendScintilla(SCI_STYLESETFORE, static_cast<unsigned long>(STYLE_DEFAULT), colours.color(QPalette::Text));
    SendScintilla(SCI_STYLESETBACK, static_cast<unsigned long>(STYLE_DEFAULT), colours.color(QPalette::Base));
    // Every style, those of the runs too, looks like the default.
    send(SCI_STYLECLEARALL);
    SendScintilla(SCI_SETSELFORE, 1UL, colours.color(QPalette::HighlightedText));
    SendScintilla(SCI_SETSELBACK, 1UL, colours.color(QPalette::Highlight));
    SendScintilla(SCI_SETCARETFORE, colours.color(QPalette::Text));
}

} // namespace window
