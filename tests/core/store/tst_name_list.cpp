#include "core/store/NameList.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

// The first position whose lower-case prefix equals the lower-case text, found the slow way.
int firstByWalking(const zv::NameList &list, const QString &text)
{
    if (text.isEmpty())
        return list.isEmpty() ? -1 : 0;
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).left(text.size()).toLower() == text.toLower())
            return i;
    }
    return -1;
}

} // namespace

class TestNameList : public QObject
{
    Q_OBJECT

private slots:
    void alphabeticalIgnoringCaseLatinFirst()
    {
        zv::NameList list;
        list.assign({QStringLiteral("яблоко"), QStringLiteral("Zip"), QStringLiteral("apple"), QStringLiteral("Ёж"),
                     QStringLiteral("ель"), QStringLiteral("Banana"), QStringLiteral("Жук"), QStringLiteral("1C")});
        QCOMPARE(list.names(), (QStringList{QStringLiteral("1C"), QStringLiteral("apple"), QStringLiteral("Banana"),
                                            QStringLiteral("Zip"), QStringLiteral("Ёж"), QStringLiteral("ель"),
                                            QStringLiteral("Жук"), QStringLiteral("яблоко")}));
        QCOMPARE(list.insert(QStringLiteral("Ель")), 6);
        QCOMPARE(list.insert(QStringLiteral("ZZ")), 4);
        list.removeAt(0);
        QCOMPARE(list.at(0), QStringLiteral("apple"));
        QCOMPARE(list.size(), 9);
    }

    void prefixSearchMatchesAWalkOfTheList()
    {
        // Random names from a small alphabet, so that many share prefixes; every edit keeps
        // the index in step with the list.
        QRandomGenerator random(42);
        const QString alphabet = QStringLiteral("aAbB ёЁеЕжЖ-");
        auto randomText = [&](int maxLength) {
            QString s;
            const int length = 1 + int(random.bounded(maxLength));
            for (int i = 0; i < length; ++i)
                s += alphabet.at(int(random.bounded(alphabet.size())));
            return s;
        };
        QStringList names;
        for (int i = 0; i < 300; ++i)
            names << randomText(6);
        zv::NameList list;
        list.assign(names);
        for (int round = 0; round < 200; ++round) {
            if (round % 3 == 0)
                list.insert(randomText(6));
            if (round % 5 == 0)
                list.removeAt(int(random.bounded(list.size())));
            const QString probe = randomText(3);
            QCOMPARE(list.firstWithPrefix(probe), firstByWalking(list, probe));
            const QString existing = list.at(int(random.bounded(list.size())));
            QVERIFY(list.containsIgnoringCase(existing.toUpper()));
        }
        QCOMPARE(list.firstWithPrefix(QString()), 0);
        QVERIFY(!list.containsIgnoringCase(QStringLiteral("not there")));
        zv::NameList empty;
        QCOMPARE(empty.firstWithPrefix(QString()), -1);
        QCOMPARE(empty.firstWithPrefix(QStringLiteral("a")), -1);
    }

    void largeListIndexedOnTheSideStaysInStep()
    {
        // Large enough for the search index to be built on a second thread.
        QStringList names;
        for (int i = 0; i < 30000; ++i)
            names << (i % 2 ? QStringLiteral("Ёлка %1") : QStringLiteral("doom %1")).arg(i * 7919 % 30011);
        zv::NameList list;
        list.assign(names);
        // A change right after the load must wait for the index, not race it.
        const int at = list.insert(QStringLiteral("DOOM 0000"));
        QCOMPARE(list.at(at), QStringLiteral("DOOM 0000"));
        for (const QString &probe : {QStringLiteral("doom 0"), QStringLiteral("ЁЛКА 29"), QStringLiteral("елка"),
                                     QStringLiteral("doom 30010"), QStringLiteral("zzz")})
            QCOMPARE(list.firstWithPrefix(probe), firstByWalking(list, probe));
        list.assign(names); // a second load while nothing is pending
        list.assign({});
        QCOMPARE(list.firstWithPrefix(QStringLiteral("d")), -1);
    }
};

QTEST_GUILESS_MAIN(TestNameList)
#include "tst_name_list.moc"
