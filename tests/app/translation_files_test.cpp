#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

// Every text of every translation must be finished and must keep what the program fills in or acts on: the %1
// arguments, the "[*]" modified marker and a keyboard mnemonic.
class TranslationFilesTest : public QObject {
    Q_OBJECT

    struct Message {
        QString context, source, translation, type;
    };

    static QList<Message> messages(const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QList<Message> found;
        QString context;
        QXmlStreamReader xml(&file);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) {
                continue;
            }
            if (xml.name() == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (xml.name() == QLatin1String("message")) {
                found.append({context, {}, {}, {}});
            } else if (xml.name() == QLatin1String("source") && !found.isEmpty()) {
                found.last().source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation") && !found.isEmpty()) {
                found.last().type = xml.attributes().value(QLatin1String("type")).toString();
                // A text with a count ("%n hours") holds one numerusform per plural form of the language.
                found.last().translation = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            }
        }
        return xml.hasError() ? QList<Message>{} : found;
    }

    static QStringList matches(const QString& pattern, const QString& text) {
        QStringList found;
        for (const QRegularExpressionMatch& match : QRegularExpression(pattern).globalMatch(text)) {
            found << match.captured();
        }
        found.sort();
        return found;
    }

private slots:
    void everyTextIsTranslatedWhole_data() {
        QTest::addColumn<QString>("path");
        const QDir dir(QStringLiteral(VELLUMPAD_TRANSLATIONS_DIR));
        for (const QString& name : dir.entryList({QStringLiteral("*.ts")})) {
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
        }
    }

    void everyTextIsTranslatedWhole() {
        QFETCH(QString, path);
        const QList<Message> all = messages(path);
        QVERIFY2(!all.isEmpty(), qPrintable(path + QStringLiteral(" holds no messages or is not valid XML")));
        QStringList problems;
        for (const Message& message : all) {
            const QString where = message.context + QStringLiteral(": \"") + message.source + QStringLiteral("\": ");
            if (!message.type.isEmpty()) {
                problems << where + message.type;
            } else if (message.translation.isEmpty()) {
                problems << where + QStringLiteral("empty");
            } else if (matches(QStringLiteral("%\\d"), message.source) !=
                       matches(QStringLiteral("%\\d"), message.translation)) {
                problems << where + QStringLiteral("other arguments");
            } else if (message.source.contains(QStringLiteral("[*]")) !=
                       message.translation.contains(QStringLiteral("[*]"))) {
                problems << where + QStringLiteral("modified marker lost");
            } else if (matches(QStringLiteral("&[^&\\s]"), message.source).size() !=
                       matches(QStringLiteral("&[^&\\s]"), message.translation).size()) {
                problems << where + QStringLiteral("mnemonic lost or added");
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(QLatin1Char('\n') + problems.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TranslationFilesTest)
#include "translation_files_test.moc"
