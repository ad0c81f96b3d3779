// The full-text index over real catalogue files: matching as people expect, following every
// kind of change, edits made by another program while the index was closed, damaged indexes.
#include "SmallDisk.h"
#include "TempHome.h"
#include "core/BackgroundGate.h"
#include "core/search/SearchIndex.h"
#include "core/search/SessionIndex.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using zv::search::SearchIndex;
using zv::search::SearchResults;

namespace {

const QString kGames = QStringLiteral("Games");
const QString kOther = QStringLiteral("Other");

QStringList names(const SearchResults &results)
{
    QStringList found;
    for (const auto &hit : results.hits)
        found << hit.name;
    return found;
}

std::unique_ptr<SearchIndex> readyIndex(const QString &path)
{
    auto index = std::make_unique<SearchIndex>(path);
    if (!index->waitForIdle(60000) || index->state() != SearchIndex::State::Ready)
        qWarning("index not ready: %s", qPrintable(index->statusText()));
    return index;
}

struct Catalogue
{
    zvtest::TempHome home;
    const QString path = home.file(QStringLiteral("Zorvanell.dat"));
    zv::CatalogueConnection db;

    Catalogue()
    {
        CreateCatalogue(path);
        db = OpenCatalogue(path);
    }
    qint64 add(const QString &table, const QString &name, const QString &text)
    {
        return AddEntry(db, table, name, text);
    }
};

// Every match of `query`, in a stable order, with the count the index gives.
QString allMatches(SearchIndex &index, const QString &query)
{
    const SearchResults results = index.search(query, QString(), 100000);
    QStringList found;
    for (const auto &hit : results.hits)
        found << hit.table + QLatin1Char(':') + QString::number(hit.rowId) + QLatin1Char(':') + hit.name;
    found.sort();
    return QString::number(results.found) + QLatin1Char(' ') + found.join(QLatin1Char(','));
}

void sqliteShell(const QString &path, const QString &sql)
{
    QProcess shell;
    // The index reads the catalogue meanwhile: the shell waits for its turn, as a careful program does.
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-cmd"), QStringLiteral(".timeout 10000"), path, sql});
    QVERIFY(shell.waitForFinished(30000));
    QVERIFY2(shell.exitCode() == 0, shell.readAllStandardError().constData());
}

} // namespace

class TestSearchIndex : public QObject
{
    Q_OBJECT

    // Several reads' worth of entries in two categories, and its index built by one thread.
    struct Built
    {
        Catalogue catalogue;
        std::unique_ptr<SearchIndex> oneThread;
    };
    std::unique_ptr<Built> m_built;

    Built &built()
    {
        if (m_built)
            return *m_built;
        m_built = std::make_unique<Built>();
        Catalogue &catalogue = m_built->catalogue;
        zv::Catalogue::Transaction transaction(*catalogue.db);
        for (int i = 0; i < 4500; ++i)
            catalogue.add(i % 3 ? kGames : kOther, QStringLiteral("Запись %1").arg(i),
                          QStringLiteral("текст номер %1%2").arg(i).arg(i % 7 ? QString() : QStringLiteral(" особый")));
        transaction.commit();
        zv::search::BuildOptions options;
        options.twoThreads = false;
        options.inParts = false;
        m_built->oneThread = std::make_unique<SearchIndex>(catalogue.path, options);
        if (!m_built->oneThread->waitForIdle(120000))
            qWarning("the one-thread index is not ready");
        return *m_built;
    }

private slots:
    void starterCatalogue_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Russian form") << QStringLiteral("коровы")
                                      << QStringList{QStringLiteral("Debian"), QStringLiteral("Diablo II")};
        QTest::newRow("English form") << QStringLiteral("typing") << QStringList{QStringLiteral("Windows 98")};
        QTest::newRow("letter case") << QStringLiteral("КОРОВУ") << QStringList{QStringLiteral("Debian")};
        QTest::newRow("two words, any order")
            << QStringLiteral("нарисует APT") << QStringList{QStringLiteral("Debian")};
        QTest::newRow("phrase") << QStringLiteral("\"режим бога\"") << QStringList{QStringLiteral("Doom")};
        QTest::newRow("prefix") << QStringLiteral("konam*") << QStringList{QStringLiteral("Код Konami")};
    }
    void starterCatalogue()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        QVERIFY(QFile::copy(QStringLiteral(ZV_STARTER_CATALOGUE), path));
        const auto index = readyIndex(path);
        const SearchResults results = index->search(query);
        const QStringList found = names(results);
        for (const QString &name : expected)
            QVERIFY2(found.contains(name), qPrintable(found.join(QLatin1String(", "))));
        if (expected.isEmpty())
            QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1String(", "))));
        QCOMPARE(results.found, qint64(found.size()));
        for (const auto &hit : results.hits) {
            // Every hit shows where it matched: in the name, or in the snippet of its text.
            QVERIFY(!hit.nameRanges.isEmpty() || !hit.snippet.ranges.isEmpty());
            for (const auto &range : hit.snippet.ranges)
                QVERIFY(range.start >= 0 && range.start + range.length <= hit.snippet.text.size());
        }
    }

    void matching_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("expected"); // in rank order
        QTest::newRow("stem") << QStringLiteral("пасхалки") << QStringList{QStringLiteral("Пасхалка")};
        QTest::newRow("ё is е") << QStringLiteral("ёлка") << QStringList{QStringLiteral("Ёлка"), QStringLiteral("Ель")};
        QTest::newRow("е is ё") << QStringLiteral("ЕЛКУ") << QStringList{QStringLiteral("Ёлка"), QStringLiteral("Ель")};
        QTest::newRow("all words required")
            << QStringLiteral("красная машина") << QStringList{QStringLiteral("Машина")};
        QTest::newRow("phrase in order") << QStringLiteral("\"машина красная\"") << QStringList();
        QTest::newRow("phrase") << QStringLiteral("\"красная машина\"") << QStringList{QStringLiteral("Машина")};
        QTest::newRow("phrase after many words")
            << QStringLiteral("\"синий трактор\"") << QStringList{QStringLiteral("Трактор")};
        QTest::newRow("name above text") << QStringLiteral("doom")
                                         << QStringList{QStringLiteral("Doom"), QStringLiteral("Шутеры")};
        QTest::newRow("prefix of a stem") << QStringLiteral("typing*") << QStringList{QStringLiteral("Пасхалка")};
        QTest::newRow("unbalanced quote") << QStringLiteral("\"красная маш") << QStringList();
        QTest::newRow("control characters")
            << QStringLiteral("\x01красная\tмашина\x7f") << QStringList{QStringLiteral("Машина")};
    }
    void matching()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, expected);
        Catalogue catalogue;
        catalogue.add(kGames, QStringLiteral("Пасхалка"), QStringLiteral("Найдите пасхалку: types the code"));
        catalogue.add(kOther, QStringLiteral("Ёлка"), QStringLiteral("Зелёная"));
        catalogue.add(kOther, QStringLiteral("Ель"), QStringLiteral("Наряжаем елку"));
        catalogue.add(kOther, QStringLiteral("Красное"), QStringLiteral("Красная кнопка"));
        catalogue.add(kOther, QStringLiteral("Машина"), QStringLiteral("Красная машина едет"));
        catalogue.add(kGames, QStringLiteral("Шутеры"), QStringLiteral("Doom, Doom II, Quake и Doom 3"));
        catalogue.add(kGames, QStringLiteral("Doom"), QStringLiteral("iddqd"));
        QString longText; // enough different words to make the matcher's caches grow
        for (int i = 0; i < 500; ++i)
            longText += QStringLiteral("w%1 ").arg(i);
        catalogue.add(kOther, QStringLiteral("Трактор"), longText + QStringLiteral("синий трактор"));
        const auto index = readyIndex(catalogue.path);
        QCOMPARE(names(index->search(query)), expected);
    }

    void queriesThatCannotBeSearched_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("searched");
        QTest::newRow("lone star") << QStringLiteral("*") << false;
        QTest::newRow("only marks") << QStringLiteral("\"\" ** -- !!") << false;
        QTest::newRow("10,000 characters") << QStringLiteral("слово ").repeated(1700) << true;
        QTest::newRow("one word of 10,000 letters") << QString(10000, QLatin1Char('a')) << true;
    }
    void queriesThatCannotBeSearched()
    {
        QFETCH(QString, query);
        QFETCH(bool, searched);
        Catalogue catalogue;
        catalogue.add(kGames, QStringLiteral("Слово"), QStringLiteral("слово"));
        const auto index = readyIndex(catalogue.path);
        const SearchResults results = index->search(query);
        QVERIFY(!results.message.isEmpty());
        QCOMPARE(results.hits.isEmpty(), !searched || query.startsWith(QLatin1Char('a')));
    }

    void phraseCountOfManyIsEstimated_data()
    {
        QTest::addColumn<int>("inOrder"); // of 400 entries with both words; the rest have them the other way round
        QTest::newRow("every one") << 400;
        QTest::newRow("one in four") << 100;
    }
    void phraseCountOfManyIsEstimated()
    {
        QFETCH(int, inOrder);
        Catalogue catalogue;
        for (int i = 0; i < 400; ++i)
            catalogue.add(kGames, QStringLiteral("Запись %1").arg(i),
                          i % (400 / inOrder) == 0 ? QStringLiteral("красная машина")
                                                   : QStringLiteral("машина красная"));
        const auto index = readyIndex(catalogue.path);
        const SearchResults results = index->search(QStringLiteral("\"красная машина\""));
        QCOMPARE(results.hits.size(), 50);
        QVERIFY(results.estimated);
        QVERIFY2(qAbs(results.found - inOrder) <= inOrder / 5, qPrintable(QString::number(results.found)));
    }

    void longTextsAreReadFromTheirStart_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("found");
        QTest::addColumn<bool>("marked"); // the snippet shows a match
        QTest::newRow("phrase at the start") << QStringLiteral("\"красная машина\"") << 1 << true;
        QTest::newRow("phrase only far on") << QStringLiteral("\"синий трактор\"") << 0 << false;
        QTest::newRow("word only far on") << QStringLiteral("трактор") << 1 << false;
    }
    void longTextsAreReadFromTheirStart()
    {
        QFETCH(QString, query);
        QFETCH(int, found);
        QFETCH(bool, marked);
        Catalogue catalogue;
        const QString text = QStringLiteral("Красная машина. ") + QStringLiteral("слово ").repeated(40000) +
                             QStringLiteral("синий трактор");
        const qint64 rowId = catalogue.add(kGames, QStringLiteral("Длинная"), text);
        const auto index = readyIndex(catalogue.path);
        const SearchResults results = index->search(query);
        QCOMPARE(results.found, found);
        if (found)
            QCOMPARE(!results.hits.value(0).snippet.ranges.isEmpty(), marked);
        const std::optional<zv::search::EntryText> start = index->entryText(kGames, rowId);
        QVERIFY(start && start->cut);
        QVERIFY(start->text.toUtf8().size() <= zv::search::kTextScope);
        QVERIFY(start->text.size() > 1000 && text.startsWith(start->text));
    }

    void phraseChecksOfLongTextsAreBounded()
    {
        Catalogue catalogue;
        {
            // Each read up to its first 64 KB: some 35,000 characters.
            const QString text = QStringLiteral("красная машина ") + QStringLiteral("слово ").repeated(6500);
            zv::Catalogue::Transaction transaction(*catalogue.db);
            for (int i = 0; i < 30; ++i)
                catalogue.add(kGames, QStringLiteral("Длинная %1").arg(i), text);
            transaction.commit();
        }
        const auto index = readyIndex(catalogue.path);
        const SearchResults results = index->search(QStringLiteral("\"красная машина\""));
        // Half a million characters are read: the order is checked in some of them, and the
        // count is estimated from those (every one had the phrase).
        QVERIFY2(results.hits.size() >= 10 && results.hits.size() < 20,
                 qPrintable(QString::number(results.hits.size())));
        QVERIFY(results.estimated);
        QCOMPARE(results.found, 30);
    }

    void newerSearchSupersedesOlder()
    {
        Catalogue catalogue;
        catalogue.add(kGames, QStringLiteral("Красное"), QStringLiteral("красная кнопка"));
        catalogue.add(kGames, QStringLiteral("Машина"), QStringLiteral("красная машина"));
        const auto index = readyIndex(catalogue.path);
        QSignalSpy answers(index.get(), &SearchIndex::searched);
        index->searchLater(QStringLiteral("кнопка"));
        const quint64 newer = index->searchLater(QStringLiteral("машина"));
        QVERIFY(answers.wait(30000));
        QCoreApplication::processEvents(); // an answer to the older one would be here by now
        QCOMPARE(answers.size(), 1);
        QCOMPARE(answers[0][0].value<quint64>(), newer);
        QCOMPARE(names(answers[0][1].value<SearchResults>()), QStringList{QStringLiteral("Машина")});
        // Given up: nothing answers it.
        index->searchLater(QStringLiteral("красная"));
        index->cancelSearch();
        QVERIFY(!answers.wait(300));
    }

    void unwritableIndexIsSaidSo_data()
    {
        QTest::addColumn<bool>("indexExists"); // the folder that refuses writes is the index's, or the program's
        QTest::newRow("index folder read-only") << true;
        QTest::newRow("program folder read-only") << false;
    }
    void unwritableIndexIsSaidSo()
    {
        QFETCH(bool, indexExists);
        Catalogue catalogue;
        catalogue.add(kGames, QStringLiteral("Слово"), QStringLiteral("слово"));
        catalogue.db.reset();
        const QString folder = indexExists ? SearchIndex::indexPathFor(catalogue.path) : catalogue.home.path();
        if (indexExists)
            readyIndex(catalogue.path);
        zvtest::ReadOnlyFolder readOnly(folder);
        if (!readOnly.error().isEmpty())
            QSKIP(qPrintable(readOnly.error()));
        SearchIndex index(catalogue.path);
        QVERIFY(index.waitForIdle(30000));
        QCOMPARE(index.state(), SearchIndex::State::Unavailable);
        const QString status = index.statusText();
        const SearchResults results = index.search(QStringLiteral("слово"));
        QVERIFY(!results.incomplete); // not "still being built"
        const QString message = results.message;
        for (const QString &said : {status, message}) {
            QVERIFY2(said.contains(QStringLiteral("«%1»").arg(QDir::toNativeSeparators(folder))), qPrintable(said));
            QVERIFY2(said.contains(QStringLiteral("нельзя записывать")) && said.contains(QStringLiteral("выключен")),
                     qPrintable(said));
            QVERIFY2(!said.contains(QStringLiteral("занят")) && !said.contains(QStringLiteral("несколько секунд")) &&
                         !said.contains(QStringLiteral("Error")),
                     qPrintable(said));
        }
    }

    void categoryChoice()
    {
        Catalogue catalogue;
        catalogue.add(kGames, QStringLiteral("В играх"), QStringLiteral("секрет"));
        catalogue.add(kOther, QStringLiteral("В разном"), QStringLiteral("секрет"));
        const auto index = readyIndex(catalogue.path);
        QCOMPARE(index->search(QStringLiteral("секрет")).found, 2);
        QCOMPARE(names(index->search(QStringLiteral("секрет"), kOther)), QStringList{QStringLiteral("В разном")});
    }

    void followsChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        const QStringList one{QStringLiteral("Первая")};
        QTest::newRow("add") << "add"
                             << "новинка" << QStringList() << QStringList{QStringLiteral("Новая")};
        QTest::newRow("edit: new words") << "edit"
                                         << "переписано" << QStringList() << one;
        QTest::newRow("edit: old words") << "edit"
                                         << "исходный" << one << QStringList();
        QTest::newRow("delete") << "delete"
                                << "исходный" << one << QStringList();
        QTest::newRow("move") << "move"
                              << "исходный" << one << one;
        QTest::newRow("update batch") << "update"
                                      << "пачка" << QStringList() << QStringList{QStringLiteral("Из пачки")};
    }
    void followsChanges()
    {
        QFETCH(QString, change);
        QFETCH(QString, query);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        Catalogue catalogue;
        const qint64 first = catalogue.add(kGames, QStringLiteral("Первая"), QStringLiteral("исходный текст"));
        auto index = readyIndex(catalogue.path);
        QCOMPARE(names(index->search(query)), before);
        if (change == QLatin1String("add")) {
            index->entriesChanged(kGames, {catalogue.add(kGames, QStringLiteral("Новая"), QStringLiteral("новинка"))});
        } else if (change == QLatin1String("edit")) {
            zv::FindResult found = FindEntry(catalogue.db, kGames, QStringLiteral("Первая"));
            UpdateEntry(found, QStringLiteral("Первая"), QStringLiteral("переписано"));
            index->entriesChanged(kGames, {first});
        } else if (change == QLatin1String("delete") || change == QLatin1String("move")) {
            zv::FindResult found = FindEntry(catalogue.db, kGames, QStringLiteral("Первая"));
            const QString name = found.name, text = found.ref;
            DeleteEntry(found);
            index->entriesRemoved(kGames, {first});
            if (change == QLatin1String("move"))
                index->entriesChanged(kOther, {catalogue.add(kOther, name, text)});
        } else {
            QList<qint64> added;
            zv::Catalogue::Transaction transaction(*catalogue.db);
            for (int i = 0; i < 300; ++i)
                added << catalogue.add(kOther, i ? QStringLiteral("Ещё %1").arg(i) : QStringLiteral("Из пачки"),
                                       i ? QStringLiteral("другое") : QStringLiteral("пачка"));
            transaction.commit();
            index->entriesChanged(kOther, added);
        }
        QVERIFY(index->waitForIdle(30000));
        const SearchResults results = index->search(query);
        QCOMPARE(names(results), after);
        if (change == QLatin1String("move"))
            QCOMPARE(results.hits.value(0).table, kOther);
        // The next start trusts what the index holds: the catalogue is as the index was told.
        index.reset();
        index = readyIndex(catalogue.path);
        QCOMPARE(index->state(), SearchIndex::State::Ready);
        QCOMPARE(names(index->search(query)), after);
    }

    void editsOfAnotherProgramFoundAtStart()
    {
        Catalogue catalogue;
        for (int i = 0; i < 50; ++i)
            catalogue.add(kGames, QStringLiteral("Запись %1").arg(i), QStringLiteral("обычный текст"));
        readyIndex(catalogue.path);
        // Unchanged: the index is trusted without reading the entries.
        {
            SearchIndex index(catalogue.path);
            QVERIFY(index.waitForIdle(30000));
            QCOMPARE(index.state(), SearchIndex::State::Ready);
            QCOMPARE(index.recordsRead(), 0);
            QCOMPARE(index.total(), 50);
        }
        sqliteShell(catalogue.path, QStringLiteral("UPDATE Games SET Ref = 'правка снаружи' WHERE Name = 'Запись 7';"
                                                   "DELETE FROM Games WHERE Name = 'Запись 8';"
                                                   "INSERT INTO Other VALUES ('Чужая', 'вставка снаружи');"));
        const auto index = readyIndex(catalogue.path);
        QCOMPARE(index->recordsRead(), 50);
        QStringList outside = names(index->search(QStringLiteral("снаружи")));
        outside.sort();
        QCOMPARE(outside, (QStringList{QStringLiteral("Запись 7"), QStringLiteral("Чужая")}));
        QCOMPARE(index->search(QStringLiteral("обычный")).found, 48);
    }

    void damagedIndexMadeAnew_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("garbage in a table") << "garbage";
        QTest::newRow("version file gone") << "version";
        QTest::newRow("a file in its place") << "file";
        QTest::newRow("another catalogue's index") << "foreign";
    }
    void damagedIndexMadeAnew()
    {
        QFETCH(QString, damage);
        Catalogue catalogue;
        catalogue.add(kGames, QStringLiteral("Настоящая"), QStringLiteral("верный текст"));
        const QString folder = SearchIndex::indexPathFor(catalogue.path);
        readyIndex(catalogue.path);
        if (damage == QLatin1String("garbage")) {
            for (const QString &table : QDir(folder).entryList({QStringLiteral("*.glass")})) {
                QFile file(folder + QLatin1Char('/') + table);
                QVERIFY(file.open(QIODevice::ReadWrite));
                file.write(QByteArray(int(file.size()), 'x'));
            }
        } else if (damage == QLatin1String("version")) {
            QVERIFY(QFile::remove(folder + QStringLiteral("/iamglass")));
        } else if (damage == QLatin1String("file")) {
            QVERIFY(QDir(folder).removeRecursively());
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not an index");
        } else {
            // Another catalogue, with its own index, is copied over this one's index.
            Catalogue other;
            other.add(kGames, QStringLiteral("Чужая"), QStringLiteral("верный чужой"));
            readyIndex(other.path);
            QVERIFY(QDir(folder).removeRecursively());
            QVERIFY(QDir().mkpath(folder));
            const QString from = SearchIndex::indexPathFor(other.path);
            for (const QString &name : QDir(from).entryList(QDir::Files))
                QVERIFY(QFile::copy(from + QLatin1Char('/') + name, folder + QLatin1Char('/') + name));
        }
        const auto index = readyIndex(catalogue.path);
        QCOMPARE(index->state(), SearchIndex::State::Ready);
        QCOMPARE(names(index->search(QStringLiteral("верный"))), QStringList{QStringLiteral("Настоящая")});
    }

    void searchWhileBuilding()
    {
        Catalogue catalogue;
        qint64 last = 0;
        {
            zv::Catalogue::Transaction transaction(*catalogue.db);
            for (int i = 0; i < 30000; ++i)
                last =
                    catalogue.add(kGames, QStringLiteral("Запись %1").arg(i), QStringLiteral("текст номер %1").arg(i));
            transaction.commit();
        }
        SearchIndex index(catalogue.path);
        QTRY_VERIFY_WITH_TIMEOUT(index.state() != SearchIndex::State::Starting, 30000);
        const SearchResults early = index.search(QStringLiteral("текст"));
        if (index.state() == SearchIndex::State::Building)
            QVERIFY(early.incomplete);
        // An edit while the build runs, of the record it reaches last: indexed once, as it is now.
        sqliteShell(catalogue.path, QStringLiteral("UPDATE Games SET Ref = 'особое слово' WHERE rowid = %1").arg(last));
        index.entriesChanged(kGames, {last});
        QVERIFY(index.waitForIdle(120000));
        const SearchResults late = index.search(QStringLiteral("текст"));
        QVERIFY(!late.incomplete);
        QCOMPARE(late.found, 29999);
        QCOMPARE(index.search(QStringLiteral("особое")).found, 1);
        QVERIFY(late.hits.size() == 50);
    }

    // The build on two threads, and one stopped half-way and started again, give what one
    // thread gives.
    void buildsAgree_data()
    {
        QTest::addColumn<QString>("query");
        QTest::newRow("every entry") << QStringLiteral("текст");
        QTest::newRow("every seventh") << QStringLiteral("особый");
        QTest::newRow("in the names") << QStringLiteral("запись");
        QTest::newRow("two words") << QStringLiteral("номер особый");
        QTest::newRow("prefix") << QStringLiteral("особ*");
        QTest::newRow("phrase") << QStringLiteral("\"номер 4499\"");
    }
    void buildsAgree()
    {
        QFETCH(QString, query);
        Built &one = built();
        const QString expected = allMatches(*one.oneThread, query);
        QVERIFY(expected.size() > 2);

        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        QVERIFY(QFile::copy(one.catalogue.path, path));
        QCOMPARE(allMatches(*readyIndex(path), query), expected);

        QVERIFY(QDir(SearchIndex::indexPathFor(path)).removeRecursively());
        {
            // Stopped between two reads once more than one is in.
            auto gate = std::make_shared<zv::BackgroundGate>();
            std::shared_ptr<void> hold; // until the index is gone
            zv::search::BuildOptions options;
            options.gate = gate;
            SearchIndex stopped(path, options);
            QTRY_VERIFY_WITH_TIMEOUT(stopped.done() >= 1000, 60000);
            hold = gate->hold();
            QVERIFY(stopped.done() < stopped.total());
        }
        const auto restarted = readyIndex(path);
        QCOMPARE(restarted->total(), 4500);
        QCOMPARE(allMatches(*restarted, query), expected);
    }

    // A first build in parts, merged every two reads and at its end, while records are edited
    // and deleted before it reads them: the index has them once, as they are now, as a build
    // without parts gives them; nothing is left beside the index.
    void partsMergedAgree()
    {
        zvtest::TempHome home;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        QVERIFY(QFile::copy(built().catalogue.path, path));
        auto gate = std::make_shared<zv::BackgroundGate>();
        zv::search::BuildOptions options;
        options.gate = gate;
        options.mergeEvery = 2000;
        // Held before the first read: the jobs come in while the parts are written.
        std::shared_ptr<void> hold = gate->hold();
        SearchIndex index(path, options);
        QTRY_VERIFY_WITH_TIMEOUT(index.state() == SearchIndex::State::Building, 30000);
        sqliteShell(path, QStringLiteral("UPDATE Games SET Ref = 'правка' WHERE rowid IN (1, 1500, 2999);"
                                         "DELETE FROM Games WHERE rowid IN (2, 1501, 3000);"));
        index.entriesChanged(kGames, {1, 1500, 2999});
        index.entriesRemoved(kGames, {2, 1501, 3000});
        hold.reset();
        QVERIFY(index.waitForIdle(120000));
        zv::search::BuildOptions direct;
        direct.inParts = false;
        const QString copy = home.file(QStringLiteral("copy.dat"));
        QVERIFY(QFile::copy(path, copy));
        SearchIndex expected(copy, direct);
        QVERIFY(expected.waitForIdle(120000));
        for (const QString &query : {QStringLiteral("текст"), QStringLiteral("правка"), QStringLiteral("особый"),
                                     QStringLiteral("запись"), QStringLiteral("\"номер 4499\"")})
            QCOMPARE(allMatches(index, query), allMatches(expected, query));
        QCOMPARE(index.search(QStringLiteral("правка")).found, 3);
        const QString indexPath = SearchIndex::indexPathFor(path);
        for (const QString &leftover : {QStringLiteral(".parts"), QStringLiteral(".merged"), QStringLiteral(".old")})
            QVERIFY2(!QFileInfo::exists(indexPath + leftover), qPrintable(leftover));
    }

    // A program stopped in a merge, between putting the index aside and the merged one in
    // place: the next start takes the index it had, without reading the catalogue again.
    void mergeStoppedBetweenItsRenames()
    {
        Catalogue catalogue;
        for (int i = 0; i < 50; ++i)
            catalogue.add(kGames, QStringLiteral("Запись %1").arg(i), QStringLiteral("текст"));
        const QString indexPath = SearchIndex::indexPathFor(catalogue.path);
        readyIndex(catalogue.path).reset();
        QVERIFY(QDir().rename(indexPath, indexPath + QStringLiteral(".old")));
        QVERIFY(QDir().mkpath(indexPath + QStringLiteral(".merged/half")));
        QVERIFY(QDir().mkpath(indexPath + QStringLiteral(".parts/0-0")));
        const auto index = readyIndex(catalogue.path);
        QCOMPARE(index->recordsRead(), 0);
        QCOMPARE(index->search(QStringLiteral("текст")).found, 50);
        for (const QString &leftover : {QStringLiteral(".parts"), QStringLiteral(".merged"), QStringLiteral(".old")})
            QVERIFY2(!QFileInfo::exists(indexPath + leftover), qPrintable(leftover));
    }

    // The first build waits while the user's update is being written, and goes on after.
    void buildWaitsForAnUpdate()
    {
        Catalogue catalogue;
        for (int i = 0; i < 20; ++i)
            catalogue.add(kGames, QStringLiteral("Запись %1").arg(i), QStringLiteral("текст"));
        zv::CatalogueSession session(catalogue.path);
        session.showCategory(kGames);
        SearchIndex *index = nullptr;
        {
            const zv::UpdateBatch batch = session.beginUpdateBatch();
            index = zv::search::attachSearchIndex(session, catalogue.path);
            QVERIFY(!index->waitForIdle(300));
            QCOMPARE(index->done(), 0);
        }
        QVERIFY(index->waitForIdle(30000));
        QCOMPARE(index->state(), SearchIndex::State::Ready);
        QCOMPARE(index->search(QStringLiteral("текст")).found, 20);
    }
};

ZV_TEST_MAIN_WITH_PRIVATE_MOUNTS(TestSearchIndex)
#include "tst_search_index.moc"
