#include "window/note_lock.h"

#include "cipher/base/bytes.h"
#include "window/find_bar.h"
#include "window/lock_panel.h"
#include "window/note_text_view.h"
#include "window/view_controller.h"

#include <QAction>
#include <QMainWindow>
#include <QSignalBlocker>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace window {

namespace {

constexpr int freeTries = 5;
constexpr std::chrono::seconds longestWait{30};

// What the note or its file could be reached or changed by while locked. Undo, Paste and the rest act on the empty
// view and are let be.
constexpr const char* lockedActions[] = {"actionNew",     "actionOpen",        "actionSave",         "actionSaveAs",
                                         "actionLock",    "actionPreferences", "actionFind",         "actionFindNext",
                                         "actionCopy",    "actionCut",         "actionFindPrevious", "actionSelectAll",
                                         "actionReplace", "actionGoToLine",    "actionOpenRecent",   "actionReload"};

} // namespace

std::chrono::seconds unlockWait(int wrongTries) {
    if (wrongTries < freeTries) {
        return std::chrono::seconds{0};
    }
    const int doublings = std::min(wrongTries - freeTries, 5);
    return std::min(longestWait, std::chrono::seconds{1 << doublings});
}

NoteLock::NoteLock(QMainWindow& window, ViewController& vc, FindBar& findBar, QWidget* panelParent)
    : QObject(&window), m_window(window), m_vc(vc), m_findBar(findBar), m_view(vc.myTextView) {
    m_panel = new LockPanel(panelParent);
    m_waitOver.setSingleShot(true);
    // A coarse timer may end a little early, and a try made then would still be refused.
    m_waitOver.setTimerType(Qt::PreciseTimer);
    connect(&m_waitOver, &QTimer::timeout, m_panel, [this] {
        if (!m_nextTry.hasExpired()) {
            m_waitOver.start(std::chrono::ceil<std::chrono::milliseconds>(m_nextTry.remainingTimeAsDuration()));
            return;
        }
        m_panel->allowTries(true);
    });
    connect(m_panel, &LockPanel::unlockRequested, this, &NoteLock::unlockFromPanel);
}

NoteLock::~NoteLock() {
    // The view may have gone first, with the window; then the document set aside goes with the process.
    if (m_document != 0 && m_view) {
        m_view->bringBack(std::exchange(m_document, 0));
    }
}

bool NoteLock::lock(const cipher::PasswordFingerprint& password) {
    if (isLocked() || !password.holdsOne()) {
        return false;
    }
    emit aboutToLock();
    m_vc.finishLoading();
    NoteTextView& text = *m_vc.myTextView;
    m_sealed = cipher::SealedBytes::seal(text.bytesInPlace());
    if (!m_sealed) {
        return false;
    }
    m_password = password;
    m_place = {text.anchor(),   text.caret(), text.firstVisibleLine(), text.horizontalOffset(),
               text.wordWrap(), text.zoom(),  m_vc.isModified()};
    text.takeBackCopies();
    m_document = text.setAside();
    {
        // The note stays "changed" so that closing still asks about it, and never looks unchanged in between: that
        // would remove the recovery copy of its changes while it is locked.
        const QSignalBlocker unchanged(m_vc);
        m_vc.setNoteText(QString());
        m_vc.setModified(m_place.modified);
    }
    text.setReadOnly(true);
    m_findBar.forget();
    disableActions();
    m_vc.hide();
    m_window.setWindowTitle(tr("Locked[*] — Vellumpad"));
    m_panel->reset();
    m_panel->show();
    m_panel->setFocus();
    emit locked();
    return true;
}

NoteLock::Unlock NoteLock::unlock(const QString& password) {
    if (!isLocked()) {
        return Unlock::NotLocked;
    }
    if (!m_nextTry.hasExpired()) {
        return Unlock::TooSoon;
    }
    QByteArray utf8 = password.toUtf8();
    const bool matches = m_password->matches(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    cipher::cleanse(utf8.data(), static_cast<std::size_t>(utf8.size()));
    if (!matches) {
        ++m_wrongTries;
        const std::chrono::seconds wait = unlockWait(m_wrongTries);
        m_nextTry.setRemainingTime(wait);
        if (wait.count() > 0) {
            m_panel->allowTries(false);
            m_waitOver.start(wait);
        }
        return Unlock::WrongPassword;
    }
    m_wrongTries = 0;
    m_nextTry = QDeadlineTimer();
    m_waitOver.stop();
    NoteTextView& text = *m_vc.myTextView;
    text.bringBack(std::exchange(m_document, 0));
    // Only a fault of memory could make this fail; the note would then be lost whatever was done.
    (void)m_sealed->open(text.bytesInPlace());
    m_sealed.reset();
    m_password.reset();
    restore(m_place);
    emit unlocked();
    return Unlock::Unlocked;
}

void NoteLock::unlockFromPanel(const QString& password) {
    switch (unlock(password)) {
    case Unlock::Unlocked:
    case Unlock::NotLocked:
        return;
    case Unlock::WrongPassword:
    case Unlock::TooSoon:
        break;
    }
    const auto wait = std::chrono::ceil<std::chrono::seconds>(m_nextTry.remainingTimeAsDuration());
    // Seconds as a unit rather than a counted noun: the same text serves every number in every language.
    m_panel->showRefusal(wait.count() > 0
                             ? tr("Wrong password. Wait %1 s before trying again.").arg(static_cast<int>(wait.count()))
                             : tr("Wrong password."));
}

void NoteLock::restore(const Place& place) {
    NoteTextView& text = *m_vc.myTextView;
    text.setReadOnly(false);
    m_vc.setModified(place.modified);
    text.setWordWrap(place.wordWrap);
    text.setZoom(place.zoom);
    text.select(place.anchor, place.caret);
    text.setFirstVisibleLine(place.firstLine);
    text.setHorizontalOffset(place.horizontalOffset);
    m_panel->hide();
    m_panel->reset();
    m_vc.show();
    restoreActions();
    m_vc.setTitle(m_vc.title());
    m_vc.setFocus();
}

void NoteLock::disableActions() {
    m_actions.clear();
    for (const char* name : lockedActions) {
        if (auto* action = m_window.findChild<QAction*>(QString::fromLatin1(name))) {
            m_actions.append({action, action->isEnabled()});
            action->setEnabled(false);
        }
    }
}

void NoteLock::restoreActions() {
    for (const auto& [action, enabled] : m_actions) {
        if (action) {
            action->setEnabled(enabled);
        }
    }
    m_actions.clear();
}

} // namespace window
