#include "window/view_controller.h"

#include "cipher/base64.h"
#include "cipher/digest.h"
#include "cipher/note_file.h"
#include "cipher/utf8.h"
#include "window/application_delegate.h"
#include "window/note_loader.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
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
    m_problemBar = new QWidget(this);
    m_problemBar->setObjectName(QStringLiteral("problemBar"));
    m_problemBar->setAttribute(Qt::WA_StyledBackground);
    m_problemBar->setStyleSheet(QStringLiteral(
        "#problemBar { background: #fdecea; border-bottom: 1px solid #e6b3b0; } QLabel { color: #5f1b17; }"));
    m_problemLabel = new QLabel(m_problemBar);
    m_problemLabel->setObjectName(QStringLiteral("problemLabel"));
    // Paths come from the user and must never be read as markup.
    m_problemLabel->setTextFormat(Qt::PlainText);
    m_problemLabel->setWordWrap(true);
    m_problemLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* dismiss = new QToolButton(m_problemBar);
    dismiss->setObjectName(QStringLiteral("problemDismiss"));
    dismiss->setAutoRaise(true);
    dismiss->setText(QStringLiteral("✕"));
    dismiss->setToolTip(tr("Dismiss"));
    connect(dismiss, &QToolButton::clicked, this, &ViewController::clearProblem);
    m_problemAction = new QPushButton(m_problemBar);
    m_problemAction->setObjectName(QStringLiteral("problemAction"));
    m_problemAction->hide();
    connect(m_problemAction, &QPushButton::clicked, this, &ViewController::problemActionChosen);
    auto* barLayout = new QHBoxLayout(m_problemBar);
    barLayout->setContentsMargins(10, 6, 6, 6);
    barLayout->addWidget(m_problemLabel, 1);
    barLayout->addWidget(m_problemAction, 0, Qt::AlignTop);
    barLayout->addWidget(dismiss, 0, Qt::AlignTop);
    m_problemBar->hide();

    m_loadingBar = new QWidget(this);
    m_loadingBar->setObjectName(QStringLiteral("loadingBar"));
    auto* loadingLabel = new QLabel(tr("Opening the note; it can be edited once it is complete."), m_loadingBar);
    m_loadingProgress = new QProgressBar(m_loadingBar);
    m_loadingProgress->setObjectName(QStringLiteral("loadingProgress"));
    m_loadingProgress->setRange(0, 1000);
    m_loadingProgress->setTextVisible(false);
    m_loadingProgress->setMaximumHeight(loadingLabel->sizeHint().height());
    auto* loadingLayout = new QHBoxLayout(m_loadingBar);
    loadingLayout->setContentsMargins(10, 4, 10, 4);
    loadingLayout->addWidget(loadingLabel);
    loadingLayout->addWidget(m_loadingProgress, 1);
    m_loadingBar->hide();

    myTextView = new QPlainTextEdit(this);
    myTextView->setObjectName(QStringLiteral("myTextView"));
    myTextView->setFrameShape(QFrame::NoFrame);
    myTextView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    myTextView->setTabStopDistance(4.0 * QFontMetrics(myTextView->font()).horizontalAdvance(QLatin1Char(' ')));
    myTextView->document()->setDocumentMargin(8);
    setFocusProxy(myTextView);
    // Setting the margin counts as an edit; a note nobody has touched yet must not ask to be saved.
    myTextView->document()->clearUndoRedoStacks();
    setModified(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_problemBar);
    layout->addWidget(m_loadingBar);
    layout->addWidget(myTextView, 1);

    m_loader = new NoteLoader(myTextView, this);
    connect(m_loader, &NoteLoader::progressed, m_loadingProgress, [this](qsizetype done, qsizetype total) {
        m_loadingProgress->setValue(static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 1000));
    });
    connect(m_loader, &NoteLoader::loadingChanged, this, [this](bool loading) {
        m_loadingBar->setVisible(loading);
        emit loadingChanged(loading);
    });
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
    // toPlainText() would turn no-break spaces into blanks and so change the note behind the user's back.
    QString text = withLineEnding(myTextView->document()->toRawText(), m_lineEnding);
    if (m_loader->isLoading()) {
        text += withLineEnding(QString::fromUtf8(m_loader->remaining()), m_lineEnding);
    }
    return text;
}

QByteArray ViewController::noteUtf8() {
    m_loader->finish();
    return documentUtf8(*myTextView->document(), m_lineEnding);
}

void ViewController::setNoteText(const QString& text) {
    setNote(text.toStdString());
}

void ViewController::setNote(std::string utf8) {
    // The document splits lines at CR as well as LF and keeps neither, so the note's own ending is kept here.
    m_lineEnding = lineEndingOf(utf8);
    m_loader->start(std::move(utf8));
    setModified(false);
}

bool ViewController::isLoading() const {
    return m_loader->isLoading();
}

bool ViewController::isModified() const {
    return myTextView->document()->isModified();
}

void ViewController::setModified(bool modified) {
    myTextView->document()->setModified(modified);
}

void ViewController::showProblem(const QString& message) {
    m_problemAction->hide();
    m_problemLabel->setText(message);
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

std::optional<QByteArray> ViewController::password() const {
    if (appDelegate == nullptr) {
        return std::nullopt;
    }
    const QString text = appDelegate->getPassword();
    // toUtf8 would turn a lone surrogate into "?" and so encrypt under the key of "?". Such a password has no UTF-8
    // form; a byte that is never UTF-8 stands in, so that the core refuses it as it refuses any ill-formed password.
    if (!QStringView(text).isValidUtf16()) {
        return QByteArray(1, '\xff');
    }
    return text.toUtf8();
}

std::optional<cipher::Bytes> ViewController::base64ToByteArray(const QString& text) const {
    return cipher::base64ToByteArray(view(text.toUtf8()));
}

QString ViewController::readTextFile(const QString& path) const {
    return fromUtf8(cipher::readTextFile(filePath(path)));
}

std::optional<QString> ViewController::decrypt(const QString& fileText) const {
    std::optional<QByteArray> pass = password();
    if (!pass) {
        return std::nullopt;
    }
    std::optional<std::string> text = cipher::decrypt(view(fileText.toUtf8()), view(*pass), iv, m_trace);
    wipe(*pass);
    if (!text) {
        return std::nullopt;
    }
    return fromUtf8(*text);
}

std::optional<QString> ViewController::encrypt(const QString& text) const {
    std::optional<QByteArray> pass = password();
    if (!pass) {
        return std::nullopt;
    }
    std::optional<std::string> fileText = cipher::encrypt(view(text.toUtf8()), view(*pass), iv, m_trace, m_log);
    wipe(*pass);
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
    std::optional<QByteArray> pass = password();
    filename = path;
    if (!pass) {
        return cipher::Failure{
            tr("Could not save \"%1\": the note window is not linked to the application.").arg(path).toStdString()};
    }
    QByteArray note = noteUtf8();
    cipher::Result<cipher::Done> saved =
        cipher::saveEncryptedText(filePath(path), view(note), view(*pass), iv, m_trace, m_log);
    wipe(note);
    wipe(*pass);
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

cipher::Result<cipher::Done> ViewController::loadEncryptedText(const QString& path) {
    return load(decryptedFile(path, password()));
}

cipher::Result<cipher::Done> ViewController::loadEncryptedText(const QString& path, const QString& givenPassword) {
    return load(decryptedFile(path, givenPassword.toUtf8()));
}

cipher::Result<cipher::Done> ViewController::load(cipher::Result<std::string> text) {
    if (!text) {
        return text.failure();
    }
    // The view takes the UTF-8 a slice at a time: the whole note is never also held as UTF-16 at once.
    setNote(std::move(text).value());
    return cipher::Done{};
}

cipher::Result<std::string> ViewController::decryptedFile(const QString& path, std::optional<QByteArray> pass) const {
    if (!pass) {
        return cipher::Failure{
            tr("Could not open \"%1\": the note window is not linked to the application.").arg(path).toStdString()};
    }
    cipher::Result<std::string> text = cipher::openNoteFile(filePath(path), view(*pass), iv, m_trace);
    wipe(*pass);
    return text;
}

} // namespace window
