#include "core/LetterCase.h"

#include <QTest>

#include <unicode/stringoptions.h>
#include <unicode/ustring.h>

using zv::equalsIgnoringCase;
using zv::startsWithIgnoringCase;

namespace {

// ICU's own folding of a whole text, the reference the fast path must agree with.
QString icuFold(const QString &text)
{
    UChar out[64];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strFoldCase(out, 64, reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()),
                                         U_FOLD_CASE_DEFAULT, &status);
    return U_SUCCESS(status) ? QString(reinterpret_cast<const QChar *>(out), length) : QStringLiteral("<error>");
}

} // namespace

class TestLetterCase : public QObject
{
    Q_OBJECT

private slots:
    void sameNameIgnoringCase_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("Latin") << QStringLiteral("Doom II") << QStringLiteral("dOOM ii") << true;
        QTest::newRow("Ё and ё") << QStringLiteral("ЁЖИК") << QStringLiteral("ёжик") << true;
        QTest::newRow("ё and е stay apart") << QStringLiteral("ёжик") << QStringLiteral("ежик") << false;
        QTest::newRow("final sigma") << QStringLiteral("ΛΟΓΟΣ") << QStringLiteral("λογος") << true;
        QTest::newRow("final and plain sigma") << QStringLiteral("λογος") << QStringLiteral("λογοσ") << true;
        QTest::newRow("sharp s and SS") << QStringLiteral("Straße") << QStringLiteral("STRASSE") << true;
        QTest::newRow("capital sharp s") << QStringLiteral("ẞ") << QStringLiteral("ss") << true;
        QTest::newRow("long s") << QStringLiteral("ſtar") << QStringLiteral("Star") << true;
        QTest::newRow("İ and i with a dot") << QStringLiteral("İstanbul") << QStringLiteral("i\u0307stanbul") << true;
        QTest::newRow("İ and plain i") << QStringLiteral("İstanbul") << QStringLiteral("istanbul") << false;
        QTest::newRow("dotless ı and I") << QStringLiteral("ıslak") << QStringLiteral("ISLAK") << false;
        QTest::newRow("Cyrillic Р and Latin P") << QStringLiteral("Рор") << QStringLiteral("Pop") << false;
        QTest::newRow("Cyrillic а and Latin a") << QStringLiteral("Ваза") << QStringLiteral("Baзa") << false;
        QTest::newRow("accents stay") << QStringLiteral("café") << QStringLiteral("CAFE") << false;
        QTest::newRow("beyond the BMP") << QStringLiteral("𐐀 Deseret") << QStringLiteral("𐐨 deseret") << true;
        QTest::newRow("empty") << QString() << QString() << true;
        QTest::newRow("spaces count") << QStringLiteral("Doom ") << QStringLiteral("doom") << false;
    }

    void sameNameIgnoringCase()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        QCOMPARE(equalsIgnoringCase(a, b), same);
        QCOMPARE(equalsIgnoringCase(b, a), same);
        QCOMPARE(zv::foldCase(a) == zv::foldCase(b), same);
    }

    void prefixesFoldedToAnotherLength()
    {
        QVERIFY(startsWithIgnoringCase(QStringLiteral("Straße"), QStringLiteral("STRASS")));
        QVERIFY(startsWithIgnoringCase(QStringLiteral("Ssangyong"), QStringLiteral("ß")));
        QVERIFY(startsWithIgnoringCase(QStringLiteral("ßeta"), QStringLiteral("s")));
        QVERIFY(!startsWithIgnoringCase(QStringLiteral("ßeta"), QStringLiteral("st")));
        QVERIFY(startsWithIgnoringCase(QStringLiteral("İzmir"), QStringLiteral("i")));
        QVERIFY(!startsWithIgnoringCase(QStringLiteral("İzmir"), QStringLiteral("iz")));
        QVERIFY(startsWithIgnoringCase(QStringLiteral("Anything"), QString()));
        QVERIFY(!startsWithIgnoringCase(QStringLiteral("Do"), QStringLiteral("Doom")));
    }

    void everyUnitFoldsAsIcuFoldsIt()
    {
        // The folding looks units up in a table made from ICU; any unit, and texts mixing plain
        // letters with those that fold to more than one, must come out as ICU makes them.
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const QString text = QChar(char16_t(c));
            if (zv::foldCase(text) != icuFold(text))
                QFAIL(qPrintable(QStringLiteral("U+%1").arg(quint32(c), 4, 16, QLatin1Char('0'))));
        }
        const QString loneSurrogate = QStringLiteral("x") + QChar(char16_t(0xD800)) + QStringLiteral("Y");
        for (const QString &text : {QStringLiteral("Aßİﬃΐŉ"), QStringLiteral("Ab𐐀c"), loneSurrogate})
            QCOMPARE(zv::foldCase(text), icuFold(text));
    }
};

QTEST_GUILESS_MAIN(TestLetterCase)
#include "tst_letter_case.moc"
