#include "platform/file_panels.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using platform::chosenFile;

class FilePanelsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void savePanelGivesTheAbsoluteNoteFileTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("saved");
        QTest::newRow("other suffix") << QStringLiteral("plain.txt") << QStringLiteral("plain.txt.vpd");
        QTest::newRow("no suffix") << QStringLiteral("n") << QStringLiteral("n.vpd");
        QTest::newRow("note suffix") << QStringLiteral("n.vpd") << QStringLiteral("n.vpd");
        QTest::newRow("two leading slashes") << QStringLiteral("/") << QStringLiteral("d.vpd");
    }

    void savePanelGivesTheAbsoluteNoteFileTyped() {
        QFETCH(QString, typed);
        QFETCH(QString, saved);
        // "/" stands for the test's folder typed in full after a second slash.
        if (typed == QLatin1String("/")) {
            typed = QLatin1Char('/') + m_dir.filePath(QStringLiteral("d"));
        }
        const std::unique_ptr<QFileDialog> panel = platform::makeSavePanel(nullptr, m_dir.path());
        panel->open();
        QCOMPARE(panel->directory().absolutePath(), m_dir.path());
        auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        // Typed as a user types: into the focused field.
        QVERIFY(QTest::qWaitForWindowActive(panel.get()));
        name->setFocus();
        name->setText(typed);
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(panel->result(), int(QDialog::Accepted));
        const std::optional<QUrl> chosen = chosenFile(*panel);
        QVERIFY(chosen);
        QCOMPARE(chosen->toString(), QUrl::fromLocalFile(m_dir.filePath(saved)).toString());
        QVERIFY(chosen->host().isEmpty());
    }
};

QTEST_MAIN(FilePanelsTest)
#include "file_panels_test.moc"
