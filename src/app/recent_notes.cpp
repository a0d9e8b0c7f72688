#include "app/recent_notes.h"

#include "app/app_delegate.h"
#include "window/main_window.h"
#include "window/recent_notes_menu.h"
#include "window/view_controller.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>

namespace app {

RecentNotes::RecentNotes(window::MainWindow& window, AppDelegate& delegate, platform::Preferences& preferences)
    : QObject(&window), m_preferences(preferences) {
    window::RecentNotesMenu& menu = window.recentNotesMenu();
    window::ViewController& view = window.viewController();
    // The title becomes the file's path whenever a note is opened from, or saved to, a file.
    connect(&view, &window::ViewController::titleChanged, this, [this, &view] {
        if (!view.filename.isEmpty()) {
            add(view.filename);
        }
    });
    // Filled as it opens, so that a note deleted meanwhile shows as gone.
    connect(&menu, &QMenu::aboutToShow, this, [this, &menu] { menu.setPaths(paths()); });
    connect(&menu, &window::RecentNotesMenu::noteChosen, &delegate, &AppDelegate::openAfterAskingAboutChanges);
    connect(&menu, &window::RecentNotesMenu::clearChosen, this, &RecentNotes::clear);
}

QStringList RecentNotes::paths() const {
    const std::optional<QString> stored = m_preferences.stringForKey(QString::fromLatin1(recentNotesKey));
    QStringList paths;
    if (!stored) {
        return paths;
    }
    // A hand-edited value that is no list of strings gives what can be read of it.
    for (const QJsonValue& value : QJsonDocument::fromJson(stored->toUtf8()).array()) {
        if (value.isString() && !value.toString().isEmpty() && paths.size() < kept) {
            paths.append(value.toString());
        }
    }
    return paths;
}

void RecentNotes::add(const QString& path) {
    if (!remembering()) {
        return;
    }
    QStringList updated = paths();
    updated.removeAll(path);
    updated.prepend(path);
    store(updated.mid(0, kept));
}

void RecentNotes::clear() {
    (void)m_preferences.remove(QString::fromLatin1(recentNotesKey));
}

bool RecentNotes::remembering() const {
    return m_preferences.stringForKey(QString::fromLatin1(rememberRecentNotesKey)) != QStringLiteral("false");
}

void RecentNotes::setRemembering(bool remember) {
    (void)m_preferences.setString(QString::fromLatin1(rememberRecentNotesKey),
                                  remember ? QStringLiteral("true") : QStringLiteral("false"));
    if (!remember) {
        clear();
    }
}

void RecentNotes::addChoiceTo(QDialog& dialog) {
    auto* layout = qobject_cast<QBoxLayout*>(dialog.layout());
    if (layout == nullptr) {
        return;
    }
    auto* choice = new QCheckBox(tr("Re&member recent notes"), &dialog);
    choice->setObjectName(QStringLiteral("rememberRecentNotes"));
    choice->setChecked(remembering());
    // Above the dialog's buttons, which are its last item.
    layout->insertWidget(layout->count() - 1, choice);
    connect(&dialog, &QDialog::accepted, this, [this, choice] {
        if (choice->isChecked() != remembering()) {
            setRemembering(choice->isChecked());
        }
    });
}

void RecentNotes::store(const QStringList& paths) {
    // A list that cannot be kept costs only the convenience.
    (void)m_preferences.setString(
        QString::fromLatin1(recentNotesKey),
        QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(paths)).toJson(QJsonDocument::Compact)));
}

} // namespace app
