#include "cipher/log.h"
#include "window/application_delegate.h"
#include "window/main_window.h"
#include "window/view_controller.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTest>

namespace {

struct FakeDelegate final : window::ApplicationDelegate {
    QString getPassword() const override { return password; }
    void setVc(window::ViewController* viewController) override { vc = viewController; }
    QString password;
    window::ViewController* vc = nullptr;
};

} // namespace

class ViewControllerTest : public QObject {
    Q_OBJECT

private slots:
    void windowShowsAnUntouchedNoteAndFollowsEditing() {
        cipher::MemoryLog log;
        FakeDelegate delegate;
        window::MainWindow window(delegate, log);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(delegate.vc, &window.viewController());
        QCOMPARE(window.viewController().appDelegate, &delegate);
        QCOMPARE(window.windowTitle(), QStringLiteral("名称未設定[*] — Vellumpad"));
        QVERIFY(!window.viewController().isModified());

        auto* undo = window.findChild<QAction*>(QStringLiteral("actionUndo"));
        auto* copy = window.findChild<QAction*>(QStringLiteral("actionCopy"));
        auto* selectAll = window.findChild<QAction*>(QStringLiteral("actionSelectAll"));
        QVERIFY(undo && copy && selectAll);
        QVERIFY(!undo->isEnabled() && !copy->isEnabled());
        QTest::keyClicks(window.viewController().myTextView, QStringLiteral("hello"));
        QVERIFY(undo->isEnabled());
        QVERIFY(window.isWindowModified());
        selectAll->trigger();
        QVERIFY(copy->isEnabled());
        undo->trigger();
        QVERIFY(window.viewController().noteText().isEmpty());
    }
};

QTEST_MAIN(ViewControllerTest)
#include "view_controller_test.moc"
