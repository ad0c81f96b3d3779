// The journal's word-by-word difference: what is marked removed and added, and that each side
// is given back whole.
#include "gui/history/WordDiff.h"

#include <QTest>

using Pieces = std::vector<DiffPiece>;
Q_DECLARE_METATYPE(Pieces)

namespace {

DiffPiece same(const char *text)
{
    return {DiffPiece::Same, QString::fromUtf8(text)};
}
DiffPiece removed(const char *text)
{
    return {DiffPiece::Removed, QString::fromUtf8(text)};
}
DiffPiece added(const char *text)
{
    return {DiffPiece::Added, QString::fromUtf8(text)};
}

QString side(const Pieces &pieces, DiffPiece::Kind left)
{
    QString text;
    for (const DiffPiece &piece : pieces)
        if (piece.kind != left)
            text += piece.text;
    return text;
}

// "=kept|-removed|+added", readable when a comparison fails.
QString describe(const Pieces &pieces)
{
    QStringList parts;
    for (const DiffPiece &piece : pieces)
        parts << QLatin1Char(piece.kind == DiffPiece::Same      ? '='
                             : piece.kind == DiffPiece::Removed ? '-'
                                                                : '+') +
                     piece.text;
    return parts.join(QLatin1Char('|'));
}

} // namespace

class TestWordDiff : public QObject
{
    Q_OBJECT

private slots:
    void pieces_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<Pieces>("expected");
        QTest::newRow("unchanged") << QStringLiteral("Нажмите F5") << QStringLiteral("Нажмите F5")
                                   << Pieces{same("Нажмите F5")};
        QTest::newRow("both empty") << QString() << QString() << Pieces{};
        QTest::newRow("all new") << QString() << QStringLiteral("Секрет") << Pieces{added("Секрет")};
        QTest::newRow("all gone") << QStringLiteral("Секрет") << QString() << Pieces{removed("Секрет")};
        // A word changed inside is replaced whole, not letter by letter.
        QTest::newRow("word replaced") << QStringLiteral("вставится время") << QStringLiteral("вставятся время")
                                       << Pieces{removed("вставится"), added("вставятся"), same(" время")};
        QTest::newRow("words inserted") << QStringLiteral("Нажмите F5: время")
                                        << QStringLiteral("Нажмите F5: дата и время")
                                        << Pieces{same("Нажмите F5: "), added("дата и "), same("время")};
        QTest::newRow("punctuation alone")
            << QStringLiteral("Да, нет.") << QStringLiteral("Да; нет!")
            << Pieces{same("Да"), removed(","), added(";"), same(" нет"), removed("."), added("!")};
        QTest::newRow("line break") << QStringLiteral("один два") << QStringLiteral("один\nдва")
                                    << Pieces{same("один"), removed(" "), added("\n"), same("два")};
        // The space between two replaced words is part of the replacement.
        QTest::newRow("phrase replaced") << QStringLiteral("Откройте справку и")
                                         << QStringLiteral("Откройте меню «Правка» и")
                                         << Pieces{same("Откройте "), added("меню «Правка»"), removed("справку"),
                                                   same(" и")};
        QTest::newRow("moved word") << QStringLiteral("a b c") << QStringLiteral("c a b")
                                    << Pieces{added("c "), same("a b"), removed(" c")};
    }

    void pieces()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(Pieces, expected);
        const Pieces pieces = wordDiff(before, after);
        QCOMPARE(side(pieces, DiffPiece::Added), before);
        QCOMPARE(side(pieces, DiffPiece::Removed), after);
        QCOMPARE(describe(pieces), describe(expected));
    }

    // Texts far longer than an entry's still come back whole, in reasonable time.
    void longTexts()
    {
        QString before;
        QString after;
        for (int i = 0; i < 30000; ++i) {
            before += QStringLiteral("слово%1 ").arg(i);
            after += QStringLiteral("слово%1 ").arg(i % 7 == 0 ? -i : i);
        }
        const Pieces pieces = wordDiff(before, after);
        QCOMPARE(side(pieces, DiffPiece::Added), before);
        QCOMPARE(side(pieces, DiffPiece::Removed), after);
    }
};

QTEST_GUILESS_MAIN(TestWordDiff)
#include "tst_word_diff.moc"
