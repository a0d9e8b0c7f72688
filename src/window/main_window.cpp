#include "window/main_window.h"

#include "window/cursor_position_label.h"
#include "window/file_drop.h"
#include "window/find_bar.h"
#include "window/go_to_line_bar.h"
#include "window/lock_panel.h"
#include "window/note_lock.h"
#include "window/note_text_view.h"
#include "window/recent_notes_menu.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <utility>

namespace window {

namespace {

constexpr int noticeTimeoutMs = 4000;

// The platform's keys for a standard command, plus one that users expect on every desktop.
QList<QKeySequence> shortcutsWith(QKeySequence::StandardKey key, const QKeySequence& expected) {
    QList<QKeySequence> shortcuts = QKeySequence::keyBindings(key);
    if (!shortcuts.contains(expected)) {
        shortcuts.append(expected);
    }
    return shortcuts;
}

} // namespace

MainWindow::MainWindow(ApplicationDelegate& applicationDelegate, cipher::Log& log, cipher::Trace trace, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    m_viewController = new ViewController(log, trace, this);
    m_findBar = new FindBar(m_viewController->myTextView, this);
    m_goToLineBar = new GoToLineBar(m_viewController->myTextView, this);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_viewController, 1);
    layout->addWidget(m_findBar);
    layout->addWidget(m_goToLineBar);
    m_noteLock = new NoteLock(*this, *m_viewController, *m_findBar, central);
    layout->addWidget(&m_noteLock->panel(), 1);
    connect(m_noteLock, &NoteLock::locked, m_goToLineBar, &QWidget::hide);
    setCentralWidget(central);
    buildFileMenu();
    buildEditMenu();
    buildViewMenu();
    buildHelpMenu();
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addPermanentWidget(new CursorPositionLabel(m_viewController->myTextView, this));
    resize(800, 600);

    connect(m_viewController, &ViewController::titleChanged, this, &MainWindow::showTitle);
    connect(m_viewController, &ViewController::noticeShown, this,
            [this](const QString& message) { statusBar()->showMessage(message, noticeTimeoutMs); });
    // The marker shows exactly what the unsaved-changes guard asks about.
    connect(m_viewController, &ViewController::modificationChanged, this, &QWidget::setWindowModified);
    connect(m_viewController, &ViewController::loadingChanged, this, [this](bool loading) {
        // A search over part of a note would report "Not found" for text that is still to come.
        m_findBar->setEnabled(!loading);
        for (const char* name : {"actionFind", "actionFindNext", "actionFindPrevious", "actionReplace"}) {
            findChild<QAction*>(QString::fromLatin1(name))->setEnabled(!loading);
        }
    });
    showTitle(m_viewController->title());
    m_viewController->setFocus();

    // A file dropped anywhere on the window is opened; text dropped into the note goes on being inserted.
    setAcceptDrops(true);
    auto* drop = new FileDrop(this);
    drop->setObjectName(QStringLiteral("fileDrop"));
    drop->watch(*this);
    drop->watch(*m_viewController->myTextView->viewport());
    m_viewController->viewDidLoad(applicationDelegate);
}

MainWindow::~MainWindow() {
    // Children go after this body, the note view among them; the lock gives its document back to the view first.
    delete std::exchange(m_noteLock, nullptr);
}

QAction* MainWindow::addAction(QMenu* menu, const QString& objectName, const QString& text,
                               const QKeySequence& shortcut) {
    auto* action = new QAction(text, this);
    action->setObjectName(objectName);
    action->setShortcut(shortcut);
    menu->addAction(action);
    return action;
}

void MainWindow::buildFileMenu() {
    QMenu* menu = menuBar()->addMenu(tr("&File"));
    menu->setObjectName(QStringLiteral("menuFile"));
    connect(addAction(menu, QStringLiteral("actionNew"), tr("&New"), QKeySequence(Qt::CTRL | Qt::Key_N)),
            &QAction::triggered, this, &MainWindow::newRequested);
    connect(addAction(menu, QStringLiteral("actionOpen"), tr("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O)),
            &QAction::triggered, this, &MainWindow::openRequested);
    m_recentNotesMenu = new RecentNotesMenu(this);
    menu->addMenu(m_recentNotesMenu)->setObjectName(QStringLiteral("actionOpenRecent"));
    // Enabled by whoever knows whether the note has a file.
    QAction* reload = addAction(menu, QStringLiteral("actionReload"), tr("R&eload"), QKeySequence::Refresh);
    reload->setEnabled(false);
    connect(reload, &QAction::triggered, this, &MainWindow::reloadRequested);
    menu->addSeparator();
    connect(addAction(menu, QStringLiteral("actionSave"), tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S)),
            &QAction::triggered, this, &MainWindow::saveRequested);
    connect(addAction(menu, QStringLiteral("actionSaveAs"), tr("Save &As..."),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
            &QAction::triggered, this, &MainWindow::saveAsRequested);
    menu->addSeparator();
    connect(addAction(menu, QStringLiteral("actionLock"), tr("&Lock"), QKeySequence(Qt::CTRL | Qt::Key_L)),
            &QAction::triggered, this, &MainWindow::lockRequested);
    menu->addSeparator();
    // Closing the one window is quitting; both ask about unsaved changes through the close guard.
    QAction* close = addAction(menu, QStringLiteral("actionClose"), tr("&Close"), QKeySequence());
    close->setShortcuts(shortcutsWith(QKeySequence::Close, QKeySequence(Qt::CTRL | Qt::Key_W)));
    connect(close, &QAction::triggered, this, &QWidget::close);
    QAction* quit = addAction(menu, QStringLiteral("actionQuit"), tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    // Quitting is closing the one window, so the unsaved-changes guard runs on both roads.
    connect(quit, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::buildEditMenu() {
    QMenu* menu = menuBar()->addMenu(tr("&Edit"));
    menu->setObjectName(QStringLiteral("menuEdit"));
    NoteTextView* text = m_viewController->myTextView;

    QAction* undo = addAction(menu, QStringLiteral("actionUndo"), tr("&Undo"), QKeySequence::Undo);
    QAction* redo = addAction(menu, QStringLiteral("actionRedo"), tr("&Redo"), QKeySequence::Redo);
    menu->addSeparator();
    QAction* cut = addAction(menu, QStringLiteral("actionCut"), tr("Cu&t"), QKeySequence::Cut);
    QAction* copy = addAction(menu, QStringLiteral("actionCopy"), tr("&Copy"), QKeySequence::Copy);
    QAction* paste = addAction(menu, QStringLiteral("actionPaste"), tr("&Paste"), QKeySequence::Paste);
    QAction* selectAll = addAction(menu, QStringLiteral("actionSelectAll"), tr("Select &All"), QKeySequence::SelectAll);
    menu->addSeparator();
    QAction* find = addAction(menu, QStringLiteral("actionFind"), tr("&Find..."), QKeySequence::Find);
    QAction* findNext = addAction(menu, QStringLiteral("actionFindNext"), tr("Find &Next"), QKeySequence());
    findNext->setShortcuts(shortcutsWith(QKeySequence::FindNext, QKeySequence(Qt::Key_F3)));
    QAction* findPrevious = addAction(menu, QStringLiteral("actionFindPrevious"), tr("Find Pre&vious"), QKeySequence());
    findPrevious->setShortcuts(shortcutsWith(QKeySequence::FindPrevious, QKeySequence(Qt::SHIFT | Qt::Key_F3)));
    QAction* replace =
        addAction(menu, QStringLiteral("actionReplace"), tr("Rep&lace..."), QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(replace, &QAction::triggered, m_findBar, &FindBar::openReplace);
    QAction* goToLine =
        addAction(menu, QStringLiteral("actionGoToLine"), tr("&Go to Line..."), QKeySequence(Qt::CTRL | Qt::Key_G));
    // Some desktops also bind Ctrl+G to Find Next; Go to Line keeps it, as in gedit and Kate.
    for (QAction* step : {findNext, findPrevious}) {
        QList<QKeySequence> keys = step->shortcuts();
        keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_G));
        keys.removeAll(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G));
        step->setShortcuts(keys);
    }
    connect(goToLine, &QAction::triggered, m_goToLineBar, &GoToLineBar::open);
    menu->addSeparator();
    QAction* preferences = addAction(menu, QStringLiteral("actionPreferences"), tr("Pr&eferences..."),
                                     QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);

    connect(undo, &QAction::triggered, text, &NoteTextView::undo);
    connect(redo, &QAction::triggered, text, &NoteTextView::redo);
    connect(cut, &QAction::triggered, text, &NoteTextView::cut);
    connect(copy, &QAction::triggered, text, &NoteTextView::copy);
    connect(paste, &QAction::triggered, text, &NoteTextView::paste);
    connect(selectAll, &QAction::triggered, text, &NoteTextView::selectAll);
    connect(preferences, &QAction::triggered, this, &MainWindow::preferencesRequested);
    connect(find, &QAction::triggered, m_findBar, &FindBar::open);
    connect(findNext, &QAction::triggered, m_findBar, &FindBar::findNext);
    connect(findPrevious, &QAction::triggered, m_findBar, &FindBar::findPrevious);

    // Undo and Redo change with every edit, and also when a note is put in, which is no edit.
    auto updateUndo = [text, undo, redo] {
        undo->setEnabled(text->canUndo());
        redo->setEnabled(text->canRedo());
    };
    connect(text, &NoteTextView::textChanged, undo, updateUndo);
    connect(undo, &QAction::triggered, undo, updateUndo);
    connect(redo, &QAction::triggered, undo, updateUndo);
    connect(m_viewController, &ViewController::modificationChanged, undo, updateUndo);
    connect(m_viewController, &ViewController::loadingChanged, undo, updateUndo);
    auto updateSelection = [text, cut, copy] {
        cut->setEnabled(text->hasSelection());
        copy->setEnabled(text->hasSelection());
    };
    connect(text, &QsciScintillaBase::QSCN_SELCHANGED, cut, updateSelection);
    connect(text, &NoteTextView::caretMoved, cut, updateSelection);
    auto updatePaste = [text, paste] { paste->setEnabled(text->canPaste()); };
    connect(QApplication::clipboard(), &QClipboard::dataChanged, paste, updatePaste);
    connect(m_viewController, &ViewController::loadingChanged, paste, updatePaste);
    updateUndo();
    updateSelection();
    updatePaste();
}

void MainWindow::buildViewMenu() {
    QMenu* menu = menuBar()->addMenu(tr("&View"));
    menu->setObjectName(QStringLiteral("menuView"));
    NoteTextView* text = m_viewController->myTextView;

    m_wordWrap = addAction(menu, QStringLiteral("actionWordWrap"), tr("&Word Wrap"), QKeySequence());
    m_wordWrap->setCheckable(true);
    m_wordWrap->setChecked(wordWrap());
    connect(m_wordWrap, &QAction::toggled, text, &NoteTextView::setWordWrap);
    // triggered, unlike toggled, comes from the user only, so restoring the remembered setting is not echoed back.
    connect(m_wordWrap, &QAction::triggered, this, &MainWindow::wordWrapToggled);
    menu->addSeparator();

    QAction* zoomIn = addAction(menu, QStringLiteral("actionZoomIn"), tr("Zoom &In"), QKeySequence());
    zoomIn->setShortcuts(shortcutsWith(QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)));
    QAction* zoomOut = addAction(menu, QStringLiteral("actionZoomOut"), tr("Zoom &Out"), QKeySequence::ZoomOut);
    // The keypad's + and - send their own keys, which Ctrl++ and Ctrl+- do not match on every desktop.
    zoomIn->setShortcuts(zoomIn->shortcuts() << QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Plus));
    zoomOut->setShortcuts(zoomOut->shortcuts()
                          << QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Minus));
    QAction* resetZoom =
        addAction(menu, QStringLiteral("actionResetZoom"), tr("&Reset Zoom"), QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(zoomIn, &QAction::triggered, text, [text] { text->setZoom(text->zoom() + 1); });
    connect(zoomOut, &QAction::triggered, text, [text] { text->setZoom(text->zoom() - 1); });
    connect(resetZoom, &QAction::triggered, text, [text] { text->setZoom(0); });
}

void MainWindow::buildHelpMenu() {
    QMenu* menu = menuBar()->addMenu(tr("&Help"));
    menu->setObjectName(QStringLiteral("menuHelp"));
    QAction* about = addAction(menu, QStringLiteral("actionAbout"), tr("&About Vellumpad"), QKeySequence());
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &MainWindow::aboutRequested);
}

bool MainWindow::wordWrap() const {
    return m_viewController->myTextView->wordWrap();
}

void MainWindow::setWordWrap(bool wrap) {
    m_wordWrap->setChecked(wrap);
}

void MainWindow::showTitle(const QString& title) {
    // A literal "[*]" in a path is doubled so that Qt does not take it for the modified marker.
    QString shown = title;
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(tr("%1[*] — Vellumpad").arg(shown));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    // Nothing of the note outlives the window: not what was copied from it, nor its text in memory.
    m_viewController->myTextView->takeBackCopies();
    m_viewController->setNoteText(QString());
    event->accept();
}

} // namespace window
