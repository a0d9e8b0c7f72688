#pragma once

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>
#include <QString>

// Pieces that text views and decoders have been known to change: byte order marks, every kind of line break and
// mix of them, characters that document models use as separators, NUL, and characters of every UTF-8 length.
inline const QList<QByteArray>& awkwardPieces() {
    static const QList<QByteArray> pieces{
        QByteArray("\xEF\xBB\xBF"),
        QByteArray("\r\n"),
        QByteArray("\n"),
        QByteArray("\r"),
        QByteArray("\r\r\n\n"),
        QStringLiteral("\u2028").toUtf8(),
        QStringLiteral("\u2029").toUtf8(),
        QStringLiteral("\uFDD0").toUtf8(),
        QStringLiteral("\uFDD1").toUtf8(),
        QStringLiteral("\u0085").toUtf8(),
        QByteArray(1, '\0'),
        QStringLiteral("\u00A0").toUtf8(),
        QByteArray("\t"),
        QByteArray(3000, 'w'),
        QStringLiteral("😀").toUtf8(),
        QStringLiteral("𝄞").toUtf8(),
        QByteArray(),
        QByteArray("plain words "),
        QStringLiteral("日本語").toUtf8(),
        QStringLiteral("e\u0301").toUtf8(),
    };
    return pieces;
}

// A note of up to 40 awkward pieces drawn at random.
inline QByteArray randomAwkwardNote(QRandomGenerator& random) {
    QByteArray note;
    for (int i = random.bounded(0, 40); i > 0; --i) {
        note += awkwardPieces()[random.bounded(static_cast<int>(awkwardPieces().size()))];
    }
    return note;
}
