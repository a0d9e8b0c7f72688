#include "readability.h"
#include "window/find_bar.h"
#include "window/message_bar.h"
#include "window_fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using window::MessageBar;

namespace {

// The colour behind whatever a widget draws in its middle or its top left corner, in device pixels.
QColor backgroundAt(QWidget* widget, bool middle) {
    const QImage image = widget->grab().toImage();
    return image.pixelColor(middle ? QPoint(image.width() / 2, image.height() / 2) : QPoint(2, 2));
}

// How well the "✕" of a bar's close button shows on the bar's fill.
double closeButtonContrast(QWidget* bar, QWidget* button, const QColor& fill) {
    const QImage image = bar->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    return strongestContrast(image, QRectF(QPointF(button->pos()) * ratio, QSizeF(button->size()) * ratio).toRect(),
                             [&](int, int) { return fill; });
}

// How the keyboard's focus shows on a button: the strongest contrast between a pixel drawn with it and without it.
double focusContrast(QWidget* button, QWidget* elsewhere) {
    elsewhere->setFocus(Qt::TabFocusReason);
    const QImage without = button->grab().toImage();
    button->setFocus(Qt::TabFocusReason);
    const QImage with = button->grab().toImage();
    return strongestContrast(with, with.rect(), [&](int x, int y) { return without.pixelColor(x, y); });
}

} // namespace

class AccessibilityTest : public WindowFixture {
    Q_OBJECT

    const QPalette m_themePalette = QApplication::palette();

private slots:
    void init() { showWindow(); }

    void cleanup() {
        m_window.reset();
        QApplication::setPalette(m_themePalette);
    }

    void everyControlHasANameToSpeak() {
        // The bars are hidden until needed, and their controls must be named all the same. The problem bar's action
        // button is named by the text it is given whenever it is shown.
        QVERIFY(checkControlsAreNamed(*m_window, {QStringLiteral("problemAction")}) >= 7);
        // Screen readers speak an alert as it appears, by its name and its text.
        for (const char* bar : {"problemBar", "loadingBar"}) {
            QAccessibleInterface* alert = QAccessible::queryAccessibleInterface(child<MessageBar>(bar));
            QCOMPARE(alert->role(), QAccessible::AlertMessage);
            QVERIFY(!alert->text(QAccessible::Name).isEmpty());
        }
    }

    void theKeyboardReachesTheProblemBarsButtons() {
        // Tab itself belongs to the note, so without another key "Try Another Password…" needs a mouse.
        view().showProblemWithAction(QStringLiteral("Could not open it."), QStringLiteral("Try Another Password…"));
        auto* text = view().myTextView;
        m_window->activateWindow();
        // Backwards from the text, Ctrl+Shift+Tab reaches the bar too.
        text->setFocus();
        QTRY_VERIFY(text->hasFocus());
        QTest::keyClick(text, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QApplication::focusWidget() &&
                QApplication::focusWidget()->parent() == child<MessageBar>("problemBar"));
        // Forwards, the remedy comes first and the close button after it; Enter presses either.
        text->setFocus();
        QTest::keyClick(text, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), child<QPushButton>("problemAction"));
        QSignalSpy chosen(&view(), &window::ViewController::problemActionChosen);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(chosen.size(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child<QToolButton>("problemDismiss"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!child<MessageBar>("problemBar")->isVisible());
        QVERIFY(view().noteText().isEmpty());
    }

    void theNoteAndTheBarsTakeTheirColoursFromThePalette_data() { addLightAndDarkPaletteRows(); }

    void theNoteAndTheBarsTakeTheirColoursFromThePalette() {
        QFETCH(QPalette, palette);
        // As a desktop theme arrives: for the whole application, handed on to the widgets from the event loop.
        QApplication::setPalette(palette);
        QCoreApplication::processEvents();
        m_window->resize(720, 240);
        view().showProblemWithAction(
            QStringLiteral("Could not open \"/tmp/diary.vpd\": wrong password or damaged file."),
            QStringLiteral("Try Another Password…"));
        trigger("actionReplace");
        QTest::keyClicks(child<QLineEdit>("findField"), QStringLiteral("zzz"));
        QCOMPARE(m_window->findBar().status(), QStringLiteral("Not found"));
        if (const QString dir = qEnvironmentVariable("VELLUMPAD_SCREENSHOT_DIR"); !dir.isEmpty()) {
            const QString name =
                QStringLiteral("%1-x%2.png").arg(QTest::currentDataTag()).arg(m_window->devicePixelRatio());
            m_window->grab().save(QDir(dir).filePath(name));
        }

        // The bar stands out from the window, and its text and its close button "✕" stay readable on it.
        const QColor bar = backgroundAt(child<MessageBar>("problemBar"), false);
        QVERIFY(bar != palette.color(QPalette::Window));
        QVERIFY2(contrast(bar, palette.color(QPalette::WindowText)) >= 4.5, qPrintable(bar.name()));
        QVERIFY2(closeButtonContrast(child<MessageBar>("problemBar"), child<QToolButton>("problemDismiss"), bar) >= 4.5,
                 qPrintable(bar.name()));
        // The note is drawn in the palette's own colours.
        const auto bgr = [](const QColor& c) { return long(c.red() | c.green() << 8 | c.blue() << 16); };
        auto* text = view().myTextView;
        QCOMPARE(text->SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK, QsciScintillaBase::STYLE_DEFAULT),
                 bgr(palette.color(QPalette::Base)));
        QCOMPARE(text->SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, QsciScintillaBase::STYLE_DEFAULT),
                 bgr(palette.color(QPalette::Text)));
        // A search that found nothing tints the field, which keeps its text readable.
        const QColor field = backgroundAt(child<QLineEdit>("findField"), true);
        QVERIFY(field != palette.color(QPalette::Base));
        QVERIFY2(contrast(field, palette.color(QPalette::Text)) >= 4.5, qPrintable(field.name()));
        // The keyboard's focus on a bar's buttons stands out as much as any part of a control must (3:1).
        m_window->activateWindow();
        for (const char* button : {"problemAction", "problemDismiss", "replaceAllButton", "findClose"}) {
            QVERIFY2(focusContrast(child<QWidget>(button), text) >= 3, button);
        }
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
