#include "window/view_controller.h"

#include "cipher/crypto/digest.h"
#include "cipher/encoding/base64.h"
#include "cipher/encoding/utf8.h"
#include "cipher/note/note_file.h"
#include "window/application_delegate.h"
#include "window/bar_buttons.h"
#include "window/message_bar.h"
#include "window/note_loader.h"
#include "window/note_text_view.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>
#include <string_view>
#include <utility>

namespace window {

namespace {

std::string_view view(const QByteArray& bytes) {
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path filePath(const QString& path) {
    return std::filesystem::path(path.toStdString());
}

// Room for the note of the file at path: its Base64 decoded, at most three bytes for four characters. A file far
// larger than any note (garbage) gets none, as the view gives the note the room it needs once it has decrypted.
std::size_t noteRoom(const QString& path) {
    constexpr qint64 largestRoom = qint64{1} << 30;
    const qint64 size = QFileInfo(path).size();
    return size > largestRoom ? 0 : cipher::Base64Decoder::maxDecodedSize(static_cast<std::size_t>(size));
}

// The password's and the note's copies are ours to wipe once the call that needed them is over.
void wipe(QByteArray& bytes) {
    cipher::cleanse(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

void wipe(std::string& text) {
    cipher::cleanse(text.data(), text.size());
}

} // namespace

ViewController::ViewController(cipher::Log& log, cipher::Trace trace, QWidget* parent)
    : QWidget(parent), m_log(log), m_trace(trace), m_title(untitledTitle.toString()) {
    m_problemBar = new MessageBar(MessageBar::Tone::problem, this);
    m_problemBar->setObjectName(QStringLiteral("problemBar"));
    m_problemBar->setAccessibleName(tr("Problem"));
    m_problemLabel = new QLabel(m_problemBar);
    m_problemLabel->setObjectName(QStringLiteral("problemLabel"));
    // Paths come from the user and must never be read as markup.
    m_problemLabel->setTextFormat(Qt::PlainText);
    m_problemLabel->setWordWrap(true);
    m_problemLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* dismiss = new BarToolButton(m_problemBar);
    dismiss->setObjectName(QStringLiteral("problemDismiss"));
    dismiss->setAutoRaise(true);
    dismiss->setText(QStringLiteral("✕"));
    dismiss->setToolTip(tr("Dismiss"));
    dismiss->setAccessibleName(tr("Dismiss the problem"));
    connect(dismiss, &QToolButton::clicked, this, &ViewController::clearProblem);
    m_problemAction = new BarPushButton(QString(), m_problemBar);
    m_problemAction->setObjectName(QStringLiteral("problemAction"));
    m_problemAction->hide();
    connect(m_problemAction, &QPushButton::clicked, this, &ViewController::problemActionChosen);
    auto* barLayout = new QHBoxLayout(m_problemBar);
    barLayout->setContentsMargins(10, 6, 6, 6);
    barLayout->addWidget(m_problemLabel, 1);
    barLayout->addWidget(m_problemAction, 0, Qt::AlignTop);
    barLayout->addWidget(dismiss, 0, Qt::AlignTop);

    m_loadingBar = new MessageBar(MessageBar::Tone::information, this);
    m_loadingBar->setObjectName(QStringLiteral("loadingBar"));
    m_loadingBar->setAccessibleName(tr("Opening the note"));
    auto* loadingLabel = new QLabel(tr("Opening the note; it can be edited once it is complete."), m_loadingBar);
    m_loadingProgress = new QProgressBar(m_loadingBar);
    m_loadingProgress->setObjectName(QStringLiteral("loadingProgress"));
    m_loadingProgress->setRange(0, 1000);
    m_loadingProgress->setTextVisible(false);
    m_loadingProgress->setAccessibleName(tr("Part of the note opened"));
    m_loadingProgress->setMaximumHeight(loadingLabel->sizeHint().height());
    auto* loadingLayout = new QHBoxLayout(m_loadingBar);
    loadingLayout->setContentsMargins(10, 4, 10, 4);
    loadingLayout->addWidget(loadingLabel);
    loadingLayout->addWidget(m_loadingProgress, 1);

    myTextView = new NoteTextView(this);
    myTextView->setObjectName(QStringLiteral("myTextView"));
    setFocusProxy(myTextView);
    // From the text, Ctrl+Tab reaches the problem's remedy first and its dismissal last; Enter presses either.
    setTabOrder(myTextView, m_problemAction);
    setTabOrder(m_problemAction, dismiss);
    m_problemAction->setAutoDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_problemBar);
    layout->addWidget(m_loadingBar);
    layout->addWidget(myTextView, 1);

    // Most notes are in within half a second; only a longer wait earns a progress bar.
    m_loadingBarDelay = new QTimer(this);
    m_loadingBarDelay->setSingleShot(true);
    m_loadingBarDelay->setInterval(500);
    connect(m_loadingBarDelay, &QTimer::timeout, m_loadingBar, &QWidget::show);
    m_loader = new NoteLoader(myTextView, this);
    connect(m_loader, &NoteLoader::progressed, m_loadingProgress, [this](qsizetype done, qsizetype total) {
        m_loadingProgress->setValue(static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 1000));
    });
    // A screen reader names the view by this; the window's title already says which note it holds.
    myTextView->setAccessibleName(tr("Note"));
    connect(m_loader, &NoteLoader::loadingChanged, this, [this](bool loading) {
        if (loading) {
            m_loadingBarDelay->start();
        } else {
            m_loadingBarDelay->stop();
            m_loadingBar->hide();
        }
        emit loadingChanged(loading);
        updateModified();
    });
    connect(myTextView, &NoteTextView::modificationChanged, this, &ViewController::updateModified);
}

void ViewController::viewDidLoad(ApplicationDelegate& applicationDelegate) {
    appDelegate = &applicationDelegate;
    appDelegate->setVc(this);
}

void ViewController::setTitle(const QString& title) {
    m_title = title;
    emit titleChanged(m_title);
}

QString ViewController::noteText() const {
    return QString::fromUtf8(noteUtf8());
}

QByteArray ViewController::noteUtf8() const {
    QByteArray note = myTextView->bytes().toByteArray();
    if (m_loader->isLoading()) {
        note += m_loader->remaining();
    }
    return note;
}

void ViewController::setNoteText(const QString& text) {
    setNote(text.toStdString());
}

void ViewController::setNote(std::string utf8, long document) {
    m_markedModified = false;
    m_loader->start(std::move(utf8), document);
    updateModified();
}

void ViewController::setNoteUtf8(std::string utf8) {
    setNote(std::move(utf8));
}

void ViewController::finishLoading() {
    m_loader->finish();
}

bool ViewController::isLoading() const {
    return m_loader->isLoading();
}

LineEnding ViewController::lineEnding() const {
    return myTextView->lineEnding();
}

bool ViewController::isModified() const {
    return m_markedModified || (!m_loader->isLoading() && myTextView->isModified());
}

void ViewController::setModified(bool modified) {
    // The document can only be told where its saved state is; "changed" without an edit is kept here.
    m_markedModified = modified;
    if (!modified) {
        myTextView->setSavePoint();
    }
    updateModified();
}

void ViewController::updateModified() {
    const bool modified = isModified();
    if (modified != m_shownModified) {
        m_shownModified = modified;
        emit modificationChanged(modified);
    }
}

void ViewController::showProblem(const QString& message) {
    m_problemAction->hide();
    m_problemLabel->setText(message);
    // The bar announces itself as it appears; a new problem in a bar already shown must be spoken too.
    if (m_problemBar->isVisible()) {
        m_problemBar->announce();
    }
    m_problemBar->show();
}

void ViewController::showProblemWithAction(const QString& message, const QString& actionText) {
    showProblem(message);
    m_problemAction->setText(actionText);
    m_problemAction->show();
}

void ViewController::clearProblem() {
    m_problemAction->hide();
    m_problemLabel->clear();
    m_problemBar->hide();
}

QString ViewController::problem() const {
    return m_problemLabel->text();
}

void ViewController::showNotice(const QString& message) {
    emit noticeShown(message);
}

void ViewController::addBarAboveNote(QWidget* bar) {
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, bar);
}

NotePassword ViewController::password() const {
    return appDelegate != nullptr ? appDelegate->passwordForNote() : NotePassword();
}

std::optional<cipher::Bytes> ViewController::base64ToByteArray(const QString& text) const {
    return cipher::base64ToByteArray(view(text.toUtf8()));
}

QString ViewController::readTextFile(const QString& path) const {
    return fromUtf8(cipher::readTextFile(filePath(path)));
}

std::optional<QString> ViewController::decrypt(const QString& fileText) const {
    const NotePassword given = password();
    if (!given.usable()) {
        return std::nullopt;
    }
    QByteArray pass = given.utf8();
    std::optional<std::string> text = cipher::decrypt(view(fileText.toUtf8()), view(pass), iv, m_trace);
    wipe(pass);
    if (!text) {
        return std::nullopt;
    }
    return fromUtf8(*text);
}

std::optional<QString> ViewController::encrypt(const QString& text) const {
    const NotePassword given = password();
    if (!given.usable()) {
        return std::nullopt;
    }
    QByteArray pass = given.utf8();
    std::optional<std::string> fileText = cipher::encrypt(view(text.toUtf8()), view(pass), iv, m_trace, m_log);
    wipe(pass);
    if (!fileText) {
        return std::nullopt;
    }
    return fromUtf8(*fileText);
}

QString ViewController::convertUInt8ToUTF(cipher::ByteView bytes) const {
    return fromUtf8(cipher::convertUInt8ToUTF(bytes));
}

QString ViewController::md5(const QString& text) const {
    return fromUtf8(cipher::md5(view(text.toUtf8())));
}

cipher::Result<cipher::Done> ViewController::saveEncryptedText(const QString& path) {
    const NotePassword given = password();
    filename = path;
    if (!given.usable()) {
        // Every save says in the log how it ended, this one refused before the cipher was reached.
        m_log.write("Failed!!");
        return cipher::Failure{cipher::FailureCause::unusablePassword, cipher::Operation::save, path.toStdString()};
    }
    QByteArray pass = given.utf8();
    // A note still loading is saved whole; the document's own bytes are written, with no copy to wipe.
    m_loader->finish();
    const QByteArrayView note = myTextView->bytes();
    cipher::Result<cipher::Done> saved = cipher::saveEncryptedText(
        filePath(path), {note.data(), static_cast<std::size_t>(note.size())}, view(pass), iv, m_trace, m_log);
    wipe(pass);
    return saved;
}

cipher::Result<QString> ViewController::openEncryptedText(const QString& path) const {
    cipher::Result<std::string> text = decryptedFile(path, password());
    if (!text) {
        return text.failure();
    }
    QString note = fromUtf8(text.value());
    wipe(text.value());
    return note;
}

cipher::Result<cipher::FileSnapshot> ViewController::loadEncryptedText(const QString& path) {
    return load(path, password());
}

cipher::Result<cipher::FileSnapshot> ViewController::loadEncryptedText(const QString& path,
                                                                       const QString& givenPassword) {
    return load(path, NotePassword(givenPassword));
}

cipher::Result<cipher::FileSnapshot> ViewController::load(const QString& path, const NotePassword& given) {
    // The note's document is made first, while the note is not yet held: making it fills its room with zeros for a
    // moment. The note is then held once, moving into the document a piece at a time. The view shows it only once
    // it has decrypted whole.
    const long document = myTextView->makeDocument(noteRoom(path));
    cipher::FileSnapshot seen;
    cipher::Result<std::string> text = decryptedFile(path, given, &seen);
    if (!text) {
        myTextView->dropDocument(document);
        return text.failure();
    }
    // The view takes the UTF-8 as it is: the note is never also held as UTF-16.
    setNote(std::move(text).value(), document);
    return seen;
}

cipher::Result<std::string> ViewController::decryptedFile(const QString& path, const NotePassword& given,
                                                          cipher::FileSnapshot* seen) const {
    if (!given.usable()) {
        return cipher::Failure{cipher::FailureCause::unusablePassword, cipher::Operation::open, path.toStdString()};
    }
    QByteArray pass = given.utf8();
    cipher::Result<std::string> text = cipher::openNoteFile(filePath(path), view(pass), iv, m_trace, seen);
    wipe(pass);
    return text;
}

} // namespace window
