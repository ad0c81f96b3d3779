#include "core/LetterCase.h"
#include "core/store/NameList.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <thread>

namespace {

// The first position whose name starts with the text ignoring case, found the slow way.
int firstByWalking(const zv::NameList &list, const QString &text)
{
    if (text.isEmpty())
        return list.isEmpty() ? -1 : 0;
    for (int i = 0; i < list.size(); ++i) {
        if (zv::startsWithIgnoringCase(list.at(i), text))
            return i;
    }
    return -1;
}

std::vector<qint64> rowIdsByWalking(const zv::NameList &list, const QString &name)
{
    std::vector<qint64> ids;
    for (int i = 0; i < list.size(); ++i) {
        if (zv::equalsIgnoringCase(list.at(i), name))
            ids.push_back(list.rowIdAt(i));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Every name with its record id, in list order.
QStringList withIds(const zv::NameList &list)
{
    QStringList all;
    for (int i = 0; i < list.size(); ++i)
        all << list.at(i) + QLatin1Char('#') + QString::number(list.rowIdAt(i));
    return all;
}

// Names from a small alphabet, so that many share prefixes, with the letters whose folding
// is special: ß folds to ss, ς and Σ to σ, ſ to s, İ to i and a combining dot.
QString randomText(QRandomGenerator &random, int maxLength)
{
    static const QString alphabet = QStringLiteral("aAsSßẞ ёЁеЕσςΣſİi-");
    QString s;
    const int length = 1 + int(random.bounded(maxLength));
    for (int i = 0; i < length; ++i)
        s += alphabet.at(int(random.bounded(alphabet.size())));
    return s;
}

} // namespace

class TestNameList : public QObject
{
    Q_OBJECT

private slots:
    void alphabeticalIgnoringCaseLatinFirst()
    {
        zv::NameList list;
        list.assign(QStringList{QStringLiteral("яблоко"), QStringLiteral("Zip"), QStringLiteral("apple"),
                                QStringLiteral("Ёж"), QStringLiteral("ель"), QStringLiteral("Banana"),
                                QStringLiteral("Жук"), QStringLiteral("1C")});
        QCOMPARE(list.names(), (QStringList{QStringLiteral("1C"), QStringLiteral("apple"), QStringLiteral("Banana"),
                                            QStringLiteral("Zip"), QStringLiteral("Ёж"), QStringLiteral("ель"),
                                            QStringLiteral("Жук"), QStringLiteral("яблоко")}));
        QCOMPARE(list.insert(QStringLiteral("Ель")), 6);
        QCOMPARE(list.insert(QStringLiteral("ZZ")), 4);
        list.removeAt(0);
        QCOMPARE(list.at(0), QStringLiteral("apple"));
        QCOMPARE(list.size(), 9);
    }

    void searchAndLookupMatchAWalkOfTheList()
    {
        // Every edit keeps the index in step with the list; the walk uses the letter-case
        // functions directly, so the index must fold exactly as they do.
        QRandomGenerator random(42);
        zv::NameRows rows;
        for (int i = 0; i < 300; ++i)
            rows.append(randomText(random, 6), i);
        zv::NameList list;
        list.assign(std::move(rows));
        qint64 nextId = 300;
        for (int round = 0; round < 200; ++round) {
            if (round % 3 == 0)
                list.insert(randomText(random, 6), nextId++);
            if (round % 7 == 0) {
                zv::NameRows batch;
                for (int i = 0; i < 5; ++i)
                    batch.append(randomText(random, 4), nextId++);
                list.apply(list.prepareInsert(std::move(batch)));
            }
            if (round % 5 == 0)
                list.removeAt(int(random.bounded(list.size())));
            const QString probe = randomText(random, 3);
            QCOMPARE(list.firstWithPrefix(probe), firstByWalking(list, probe));
            QCOMPARE(list.rowIdsOf(probe), rowIdsByWalking(list, probe));
            QCOMPARE(list.containsIgnoringCase(probe), !rowIdsByWalking(list, probe).empty());
            const QString existing = list.at(int(random.bounded(list.size())));
            QVERIFY(list.containsIgnoringCase(existing.toUpper()));
            QCOMPARE(list.rowIdsOf(existing), rowIdsByWalking(list, existing));
        }
        for (int i = 1; i < list.size(); ++i)
            QVERIFY(!zv::NameList::sortsBefore(list.at(i), list.at(i - 1)));
        QCOMPARE(list.firstWithPrefix(QString()), 0);
        QVERIFY(!list.containsIgnoringCase(QStringLiteral("not there")));
        zv::NameList empty;
        QCOMPARE(empty.firstWithPrefix(QString()), -1);
        QCOMPARE(empty.firstWithPrefix(QStringLiteral("a")), -1);
        QVERIFY(empty.rowIdsOf(QStringLiteral("a")).empty());
    }

    void prefixesThatFoldToAnotherLength()
    {
        zv::NameList list;
        list.assign(QStringList{QStringLiteral("Stadt"), QStringLiteral("ßeta"), QStringLiteral("Ssangyong"),
                                QStringLiteral("İzmir"), QStringLiteral("Istanbul"), QStringLiteral("ıslak")});
        auto nameAt = [&](int position) { return position < 0 ? QStringLiteral("none") : list.at(position); };
        // "ss" and "ß" are the same letters, so either finds the names that begin with either.
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("ß"))), QStringLiteral("Ssangyong"));
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("SSE"))), QStringLiteral("ßeta"));
        // One s is the beginning of both; "st" is the beginning of neither.
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("st"))), QStringLiteral("Stadt"));
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("ßt"))), QStringLiteral("none"));
        // İ begins with i and a combining dot: plain i finds it, dotless ı does not.
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("iz"))), QStringLiteral("none"));
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("i\u0307z"))), QStringLiteral("İzmir"));
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("is"))), QStringLiteral("Istanbul"));
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("IS"))), QStringLiteral("Istanbul"));
        QCOMPARE(nameAt(list.firstWithPrefix(QStringLiteral("ıs"))), QStringLiteral("ıslak"));
        QVERIFY(list.containsIgnoringCase(QStringLiteral("SSETA")));
        QVERIFY(!list.containsIgnoringCase(QStringLiteral("izmir")));
    }

    void batchMergeEqualsAddingOneByOne()
    {
        QRandomGenerator random(7);
        zv::NameRows present;
        for (int i = 0; i < 500; ++i)
            present.append(randomText(random, 5), i);
        zv::NameRows batch;
        // Among the batch: names equal to present ones and to each other, which go after
        // those already there, in the order they come.
        for (int i = 0; i < 200; ++i)
            batch.append(i % 10 == 0 ? present.at(i).toString() : randomText(random, 5), 1000 + i);
        batch.append(batch.at(3), 2000);

        zv::NameList merged, oneByOne;
        merged.assign(present);
        oneByOne.assign(present);
        const auto positions = merged.apply(merged.prepareInsert(batch));
        for (qsizetype i = 0; i < batch.size(); ++i)
            oneByOne.insert(batch.at(i), batch.rowIdAt(i));
        QCOMPARE(withIds(merged), withIds(oneByOne));
        QCOMPARE(positions.size(), size_t(batch.size()));
        QVERIFY(std::is_sorted(positions.begin(), positions.end()));
        for (const int p : positions)
            QVERIFY(merged.rowIdAt(p) >= 1000);
        for (const QString &probe :
             {QStringLiteral("a"), QStringLiteral("SS"), QStringLiteral("ё"), QStringLiteral("σ")})
            QCOMPARE(merged.firstWithPrefix(probe), firstByWalking(merged, probe));
    }

    void mergePreparedOnAnotherThread()
    {
        QStringList names;
        for (int i = 0; i < 30000; ++i)
            names << (i % 2 ? QStringLiteral("Ёлка %1") : QStringLiteral("doom %1")).arg(i * 7919 % 30011);
        zv::NameList list;
        list.assign(names); // large enough for the index to be built on a second thread
        zv::NameRows batch;
        for (int i = 0; i < 1000; ++i)
            batch.append(QStringLiteral("ЁЛКА %1b").arg(i), 100000 + i);
        zv::NameList::Merge merge;
        // The list is read here meanwhile, as the window does while it repaints and searches.
        std::thread worker([&] { merge = list.prepareInsert(batch); });
        for (int i = 0; i < 200; ++i)
            QCOMPARE(list.firstWithPrefix(QStringLiteral("doom 1")), firstByWalking(list, QStringLiteral("doom 1")));
        worker.join();
        QCOMPARE(list.size(), 30000);
        list.apply(std::move(merge));
        QCOMPARE(list.size(), 31000);
        QCOMPARE(list.rowIdsOf(QStringLiteral("ёлка 5B")), (std::vector<qint64>{100005}));
        QCOMPARE(list.firstWithPrefix(QStringLiteral("ёлка 999b")), firstByWalking(list, QStringLiteral("ёлка 999b")));
    }

    void mergeOfAListChangedMeanwhileIsRedone()
    {
        zv::NameList list;
        list.assign(QStringList{QStringLiteral("b"), QStringLiteral("d")});
        zv::NameRows batch;
        batch.append(QStringLiteral("c"), 10);
        zv::NameList::Merge merge = list.prepareInsert(std::move(batch));
        list.insert(QStringLiteral("a"), 11);
        QCOMPARE(list.apply(std::move(merge)), std::vector<int>{2});
        QCOMPARE(list.names(),
                 (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
        QCOMPARE(list.rowIdsOf(QStringLiteral("C")), std::vector<qint64>{10});
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
        list.clear();
        QCOMPARE(list.firstWithPrefix(QStringLiteral("d")), -1);
    }
};

QTEST_GUILESS_MAIN(TestNameList)
#include "tst_name_list.moc"
