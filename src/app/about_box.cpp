#include "app/about_box.h"

#include <QApplication>
#include <QMessageBox>

namespace app {

namespace {

class AboutBox {
    Q_DECLARE_TR_FUNCTIONS(AboutBox)

public:
    static QString text(const QString& passwordLocation) {
        return tr("Vellumpad %1\n"
                  "An editor for one plain-text note at a time whose files on disk are always encrypted.\n"
                  "Released under the MIT licence.\n\n"
                  "File format: a .vpd file is the Base64 text, in lines of 64 characters, of the note's UTF-8 "
                  "encrypted with AES-256 in CBC mode with PKCS#7 padding. The key is the lowercase hexadecimal MD5 "
                  "of the password, without salt, and the initialisation vector is fixed, so equal notes give equal "
                  "files and a password can be guessed quickly offline: choose a long password.\n\n"
                  "Where the password is kept (Edit → Preferences):\n"
                  "• In the preferences file (the default), in plain text readable by you only:\n%2\n"
                  "It protects against other users of this computer, not against anyone who reads your files, a "
                  "backup or a stolen disk.\n"
                  "• In the desktop keyring (GNOME Keyring, KWallet), encrypted under your login password: it "
                  "protects against someone who reads your files or steals the disk, not against programs running "
                  "as you while the keyring is unlocked.\n"
                  "• Nowhere: asked for at the first Open or Save of each run and held in memory only. Nothing is "
                  "left on the disk, but programs running as you could still read it from memory.")
            .arg(QStringLiteral(VELLUMPAD_VERSION), passwordLocation);
    }
};

} // namespace

QString aboutText(const QString& passwordLocation) {
    return AboutBox::text(passwordLocation);
}

void showAbout(QWidget* parent, const QString& passwordLocation) {
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(AboutBox::tr("About Vellumpad"));
    if (!QApplication::windowIcon().isNull()) {
        box->setIconPixmap(QApplication::windowIcon().pixmap(64));
    }
    // The location is a path of the user's and must never be read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(aboutText(passwordLocation));
    box->setStandardButtons(QMessageBox::Ok);
    // open() rather than exec(): nothing waits in a nested event loop.
    box->open();
}

} // namespace app
