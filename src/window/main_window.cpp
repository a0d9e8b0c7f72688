#include "window/main_window.h"

#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTextDocument>

namespace window {

namespace {

constexpr int noticeTimeoutMs = 4000;

} // namespace

MainWindow::MainWindow(ApplicationDelegate& applicationDelegate, cipher::Log& log, cipher::Trace trace, QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    m_viewController = new ViewController(log, trace, this);
    setCentralWidget(m_viewController);
    buildFileMenu();
    buildEditMenu();
    statusBar()->setSizeGripEnabled(true);
    resize(800, 600);

    connect(m_viewController, &ViewController::titleChanged, this, &MainWindow::showTitle);
    connect(m_viewController, &ViewController::noticeShown, this,
            [this](const QString& message) { statusBar()->showMessage(message, noticeTimeoutMs); });
    connect(m_viewController->myTextView->document(), &QTextDocument::modificationChanged, this,
            &MainWindow::setWindowModified);
    showTitle(m_viewController->title());
    m_viewController->setFocus();

    m_viewController->viewDidLoad(applicationDelegate);
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
    menu->addSeparator();
    connect(addAction(menu, QStringLiteral("actionSave"), tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S)),
            &QAction::triggered, this, &MainWindow::saveRequested);
    connect(addAction(menu, QStringLiteral("actionSaveAs"), tr("Save &As..."),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
            &QAction::triggered, this, &MainWindow::saveAsRequested);
    menu->addSeparator();
    QAction* quit = addAction(menu, QStringLiteral("actionQuit"), tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    // Quitting is closing the one window, so the unsaved-changes guard runs on both roads.
    connect(quit, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::buildEditMenu() {
    QMenu* menu = menuBar()->addMenu(tr("&Edit"));
    menu->setObjectName(QStringLiteral("menuEdit"));
    QPlainTextEdit* text = m_viewController->myTextView;

    QAction* undo = addAction(menu, QStringLiteral("actionUndo"), tr("&Undo"), QKeySequence::Undo);
    QAction* redo = addAction(menu, QStringLiteral("actionRedo"), tr("&Redo"), QKeySequence::Redo);
    menu->addSeparator();
    QAction* cut = addAction(menu, QStringLiteral("actionCut"), tr("Cu&t"), QKeySequence::Cut);
    QAction* copy = addAction(menu, QStringLiteral("actionCopy"), tr("&Copy"), QKeySequence::Copy);
    QAction* paste = addAction(menu, QStringLiteral("actionPaste"), tr("&Paste"), QKeySequence::Paste);
    QAction* selectAll = addAction(menu, QStringLiteral("actionSelectAll"), tr("Select &All"), QKeySequence::SelectAll);
    menu->addSeparator();
    QAction* preferences = addAction(menu, QStringLiteral("actionPreferences"), tr("Pr&eferences..."),
                                     QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences->setMenuRole(QAction::PreferencesRole);

    connect(undo, &QAction::triggered, text, &QPlainTextEdit::undo);
    connect(redo, &QAction::triggered, text, &QPlainTextEdit::redo);
    connect(cut, &QAction::triggered, text, &QPlainTextEdit::cut);
    connect(copy, &QAction::triggered, text, &QPlainTextEdit::copy);
    connect(paste, &QAction::triggered, text, &QPlainTextEdit::paste);
    connect(selectAll, &QAction::triggered, text, &QPlainTextEdit::selectAll);
    connect(preferences, &QAction::triggered, this, &MainWindow::preferencesRequested);

    undo->setEnabled(text->document()->isUndoAvailable());
    redo->setEnabled(text->document()->isRedoAvailable());
    cut->setEnabled(text->textCursor().hasSelection());
    copy->setEnabled(text->textCursor().hasSelection());
    connect(text, &QPlainTextEdit::undoAvailable, undo, &QAction::setEnabled);
    connect(text, &QPlainTextEdit::redoAvailable, redo, &QAction::setEnabled);
    connect(text, &QPlainTextEdit::copyAvailable, cut, &QAction::setEnabled);
    connect(text, &QPlainTextEdit::copyAvailable, copy, &QAction::setEnabled);
    auto updatePaste = [text, paste] { paste->setEnabled(text->canPaste()); };
    connect(QApplication::clipboard(), &QClipboard::dataChanged, paste, updatePaste);
    updatePaste();
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
    event->accept();
}

} // namespace window
