#pragma once

#include "support/memory_log.h"
#include "window/application_delegate.h"
#include "window/main_window.h"
#include "window/note_text_view.h"
#include "window/view_controller.h"

#include <QAction>
#include <QApplication>
#include <QTest>

#include <memory>

struct FakeDelegate final : window::ApplicationDelegate {
    window::NotePassword passwordForNote() const override { return window::NotePassword(QStringLiteral("pw")); }
    void setVc(window::ViewController*) override {}
};

// The window alone, over a delegate that holds "pw", shown and active for each test.
class WindowFixture : public QObject {
protected:
    cipher::MemoryLog m_log;
    FakeDelegate m_delegate;
    std::unique_ptr<window::MainWindow> m_window;

    void showWindow() {
        m_window = std::make_unique<window::MainWindow>(m_delegate, m_log);
        m_window->show();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    window::ViewController& view() { return m_window->viewController(); }
    window::NoteTextView* text() { return view().myTextView; }
    template <typename T> T* child(const char* name) {
        auto* found = m_window->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qFatal("no child named %s", name);
        }
        return found;
    }
    void trigger(const char* action) { child<QAction>(action)->trigger(); }
};
