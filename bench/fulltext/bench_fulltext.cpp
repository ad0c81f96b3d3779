// The full-text index on catalogues of 10,000 to 1,000,000 entries with texts recombined from
// the starter catalogue's: query times against a plain LIKE scan, the first build with the
// longest stall of the event loop, the memory it adds and the main list's type-ahead keystroke
// while it runs, an update of 10,000 entries into a big and an empty category, the index's
// size against the texts' and the memory the search adds; then the same queries again once
// entries of many megabytes are added to the smallest catalogue.
// Usage: bench_fulltext [--quick | largest size, default 1000000]   (quick: 1,000 entries, once)
#include "core/search/SearchIndex.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/store/SqlStatement.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <string>
#include <vector>

using zv::search::SearchIndex;

namespace {

const QString kTable = QStringLiteral("Programs");

struct Pool
{
    std::vector<QString> names, sentences;
};

Pool loadPool()
{
    Pool pool;
    QDirIterator it(QStringLiteral(ZV_SOURCE_DIR "/data/catalogue"), {QStringLiteral("*.txt")}, QDir::Files,
                    QDirIterator::Subdirectories);
    const QRegularExpression breaks(QStringLiteral("(?<=[.;!?])\\s+|\\n"));
    while (it.hasNext()) {
        const QString path = it.next();
        pool.names.push_back(QFileInfo(path).completeBaseName());
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QString &sentence : QString::fromUtf8(file.readAll()).split(breaks, Qt::SkipEmptyParts)) {
            if (sentence.size() > 20)
                pool.sentences.push_back(sentence);
        }
    }
    return pool;
}

// A few hundred characters: sentences of the starter texts in a new order, some with a word
// taken from another sentence, so that no two texts are alike.
QString makeText(const Pool &pool, QRandomGenerator &random)
{
    QString text;
    const int wanted = 200 + random.bounded(500);
    while (text.size() < wanted) {
        QString sentence = pool.sentences[random.bounded(int(pool.sentences.size()))];
        if (random.bounded(3) == 0) {
            QStringList words = sentence.split(QLatin1Char(' '));
            const QStringList other =
                pool.sentences[random.bounded(int(pool.sentences.size()))].split(QLatin1Char(' '));
            words[random.bounded(int(words.size()))] = other[random.bounded(int(other.size()))];
            sentence = words.join(QLatin1Char(' '));
        }
        text += sentence + QLatin1Char(' ');
    }
    return text;
}

// Fills `table`; returns the UTF-8 size of the names and texts added.
qint64 fill(const QString &path, const Pool &pool, int count, quint32 seed, QList<qint64> *rowIds = nullptr)
{
    auto catalogue = OpenCatalogue(path);
    QRandomGenerator random(seed);
    qint64 bytes = 0;
    zv::Catalogue::Transaction transaction(*catalogue);
    zv::EntryAppender append(catalogue, kTable);
    for (int i = 0; i < count; ++i) {
        const QString name = pool.names[random.bounded(int(pool.names.size()))] + QLatin1Char(' ') +
                             QString::number(seed) + QLatin1Char('.') + QString::number(i);
        const QString text = makeText(pool, random);
        bytes += name.toUtf8().size() + text.toUtf8().size();
        const qint64 id = append.add(name, text);
        if (rowIds)
            rowIds->append(id);
    }
    transaction.commit();
    return bytes;
}

long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    }
    return 0;
}

long residentKb()
{
    return statusKb("VmRSS:");
}

// Starts the peak of resident memory anew from what is resident now (Linux 4.0 and later).
void resetPeakKb()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

qint64 folderSize(const QString &path)
{
    qint64 size = 0;
    QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        size += it.fileInfo().size();
    }
    return size;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// Runs the event loop until `done` says so; returns the longest time between two turns of it,
// with a timer asking for a turn every 5 ms, as a window's animations do.
double longestStallMs(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed(), longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start(5);
    // Waits as a window's loop does: the timer or an answer from another thread wakes it.
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return double(longest) / 1e6;
}

bool buildIndex(SearchIndex &index, double *stallMs)
{
    QObject::connect(&index, &SearchIndex::progressChanged, &index, [&index] { (void)index.statusText(); });
    *stallMs = longestStallMs([&] { return index.waitForIdle(0); });
    return index.state() == SearchIndex::State::Ready;
}

// The main list's type-ahead as a keystroke runs it on the window's thread: the first name
// with the typed start, selected, its record read; timed every 20 ms while the event loop runs.
struct Typing
{
    QTimer key;
    std::vector<double> times;

    explicit Typing(zv::CatalogueSession &session)
    {
        const QStringList typed = {QStringLiteral("е"), QStringLiteral("Google 1"), QStringLiteral("zip z"),
                                   QStringLiteral("Windows 3")};
        QObject::connect(&key, &QTimer::timeout, [this, &session, typed] {
            QElapsedTimer one;
            one.start();
            const int row = session.names().firstWithPrefix(typed[qsizetype(times.size()) % typed.size()]);
            if (row >= 0)
                session.selectRow(row);
            times.push_back(double(one.nsecsElapsed()) / 1e6);
        });
        key.start(20);
    }
};

// The plain way: every table's text scanned with LIKE for the first word, the first 50 kept,
// all of them counted.
qint64 likeScan(const zv::CatalogueConnection &catalogue, const QString &word)
{
    zv::SqlStatement select(catalogue->handle(), QStringLiteral("SELECT rowid, Name, Ref FROM ") +
                                                     zv::quotedName(kTable) + QStringLiteral(" WHERE Ref LIKE ?1"));
    select.bind(1, QLatin1Char('%') + word + QLatin1Char('%'));
    qint64 found = 0;
    QStringList first;
    while (select.step()) {
        if (++found <= 50)
            first << select.text(2);
    }
    return found;
}

struct QueryKind
{
    const char *name;
    QStringList queries;
};

const QList<QueryKind> kKinds = {
    {"one word",
     {QStringLiteral("корову"), QStringLiteral("уровень"), QStringLiteral("typing"), QStringLiteral("код"),
      QStringLiteral("windows"), QStringLiteral("пасхалки")}},
    {"two words",
     {QStringLiteral("секретный уровень"), QStringLiteral("нажмите клавишу"), QStringLiteral("google earth"),
      QStringLiteral("код игры")}},
    {"three words",
     {QStringLiteral("нажмите клавишу shift"), QStringLiteral("во время игры"),
      QStringLiteral("появится окно программы")}},
    {"phrase",
     {QStringLiteral("\"во время игры\""), QStringLiteral("\"режим бога\""), QStringLiteral("\"без консоли\"")}},
};

// Texts of many megabytes that every query finds: the words of each query in the other order,
// so that a phrase occurs all through them but never as typed.
QString bigText(qint64 bytes)
{
    QStringList words;
    for (const QueryKind &kind : kKinds) {
        for (const QString &query : kind.queries) {
            QStringList some = QString(query).remove(QLatin1Char('"')).split(QLatin1Char(' '));
            std::reverse(some.begin(), some.end());
            words += some;
        }
    }
    const QString block = words.join(QLatin1Char(' ')) + QStringLiteral(". Обычные слова между ними. ");
    const qsizetype chars = qsizetype(bytes * block.size() / block.toUtf8().size());
    QString text;
    text.reserve(chars + block.size());
    while (text.size() < chars)
        text += block;
    return text;
}

struct Answers
{
    std::vector<double> times;
    double stallMs = 0;
};

// Every query `rounds` times, asked as the search window asks while the event loop runs: the
// time from asking to the answer, and the longest stall of the loop meanwhile.
Answers askAll(SearchIndex &index, int rounds)
{
    QStringList queue;
    for (int round = 0; round < rounds; ++round) {
        for (const QueryKind &kind : kKinds)
            queue += kind.queries;
    }
    Answers answers;
    qsizetype next = 0;
    quint64 waitingFor = 0;
    QElapsedTimer one;
    const QMetaObject::Connection answered =
        QObject::connect(&index, &SearchIndex::searched, [&](quint64 ticket, const zv::search::SearchResults &) {
            if (ticket != waitingFor)
                return;
            answers.times.push_back(double(one.nsecsElapsed()) / 1e6);
            waitingFor = 0;
        });
    answers.stallMs = longestStallMs([&] {
        if (waitingFor)
            return false;
        if (next == queue.size())
            return true;
        one.start();
        waitingFor = index.searchLater(queue[next++]);
        return false;
    });
    QObject::disconnect(answered);
    return answers;
}

// The same queries with `count` entries of `each` bytes and one of `biggest` added.
void measureBigTexts(const QString &path, SearchIndex &index, int count, qint64 each, qint64 biggest, int rounds)
{
    const Answers without = askAll(index, rounds);
    QList<qint64> rowIds;
    {
        auto catalogue = OpenCatalogue(path);
        zv::EntryAppender append(catalogue, kTable);
        const QString text = bigText(each);
        for (int i = 0; i < count; ++i)
            rowIds << append.add(QStringLiteral("Большая %1").arg(i), text);
        rowIds << append.add(QStringLiteral("Самая большая"), bigText(biggest));
    }
    index.entriesChanged(kTable, rowIds);
    if (!index.waitForIdle(3600 * 1000)) {
        std::printf("  the big entries were not indexed within an hour\n");
        return;
    }
    const long before = residentKb();
    resetPeakKb();
    const Answers with = askAll(index, rounds);
    const long peak = statusKb("VmHWM:");
    const double p95Without = percentile(without.times, 0.95), p95With = percentile(with.times, 0.95);
    std::printf("  with %d entries of %.0f MB and one of %.0f MB added: all queries p95 %.2f ms against %.2f ms "
                "without them, +%.2f ms (goal: at most 50); p50 %.2f ms; slowest %.1f ms\n",
                count, double(each) / 1e6, double(biggest) / 1e6, p95With, p95Without, p95With - p95Without,
                percentile(with.times, 0.5), percentile(with.times, 1.0));
    // p95 by kind, with and without them: the answers come in the order asked, kind by kind.
    std::printf("    by kind, p95 with them / without:");
    qsizetype at = 0;
    for (const QueryKind &kind : kKinds) {
        std::vector<double> withKind, withoutKind;
        for (int round = 0; round < rounds; ++round) {
            const qsizetype from = qsizetype(round) * qsizetype(with.times.size() / size_t(rounds)) + at;
            withKind.insert(withKind.end(), with.times.begin() + from, with.times.begin() + from + kind.queries.size());
            withoutKind.insert(withoutKind.end(), without.times.begin() + from,
                               without.times.begin() + from + kind.queries.size());
        }
        at += kind.queries.size();
        std::printf(" %s %.1f / %.1f ms%s", kind.name, percentile(withKind, 0.95), percentile(withoutKind, 0.95),
                    &kind == &kKinds.last() ? "\n" : ",");
    }
    std::printf("    resident memory added while searching them: %.1f MB (goal: at most 50); longest event-loop "
                "stall %.1f ms, %.1f ms without them (goal: at most 100)\n",
                double(std::max(0L, peak - before)) / 1024, with.stallMs, without.stallMs);
}

void measure(const Pool &pool, int size, bool quick, bool bigTexts)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Zorvanell.dat"));
    CreateCatalogue(path);
    const qint64 textBytes = fill(path, pool, size, 1);
    std::printf("\n%d entries (%.1f MB of text)\n", size, double(textBytes) / 1e6);

    // The list is shown before the build starts, as in the program; what it holds is not the build's.
    zv::CatalogueSession session(path);
    session.showCategory(kTable);
    // What loading the list freed goes back to the system, or the build's memory would hide in it.
    malloc_trim(0);
    const long before = residentKb();
    resetPeakKb();
    QElapsedTimer clock;
    clock.start();
    SearchIndex index(path);
    Typing typing(session);
    const double stall = longestStallMs([&] { return index.waitForIdle(0); });
    typing.key.stop();
    if (index.state() != SearchIndex::State::Ready) {
        std::printf("  the index was not built: %s\n", qPrintable(index.statusText()));
        return;
    }
    const double buildS = double(clock.elapsed()) / 1000;
    const long buildPeak = statusKb("VmHWM:");
    Typing idleTyping(session);
    QElapsedTimer idle;
    idle.start();
    longestStallMs([&] { return idle.elapsed() > 1000; });
    idleTyping.key.stop();
    const qint64 indexBytes = folderSize(SearchIndex::indexPathFor(path));
    std::printf("  first build: %.1f s (goal for 1,000,000: at most 120 s); longest event-loop stall %.1f ms "
                "(goal: at most 100); resident memory added %.1f MB (goal: at most 200)\n",
                buildS, stall, double(std::max(0L, buildPeak - before)) / 1024);
    std::printf("  list keystroke during the build p50 %.2f ms, p95 %.2f ms, slowest %.1f ms; once built p50 %.2f ms, "
                "p95 %.2f ms (goal: at most 2)\n",
                percentile(typing.times, 0.5), percentile(typing.times, 0.95), percentile(typing.times, 1.0),
                percentile(idleTyping.times, 0.5), percentile(idleTyping.times, 0.95));
    std::printf("  index size: %.1f MB, %.2f x the texts (goal: at most 1.5)\n", double(indexBytes) / 1e6,
                double(indexBytes) / double(textBytes));

    const int rounds = quick ? 1 : 10;
    const zv::CatalogueConnection plain = OpenCatalogue(path);
    std::vector<double> all, p95s;
    for (const QueryKind &kind : kKinds) {
        std::vector<double> times;
        qint64 found = 0;
        for (int round = 0; round < rounds; ++round) {
            for (const QString &query : kind.queries) {
                QElapsedTimer one;
                one.start();
                const auto results = index.search(query);
                times.push_back(double(one.nsecsElapsed()) / 1e6);
                found += round == 0 ? results.found : 0;
            }
        }
        all.insert(all.end(), times.begin(), times.end());
        p95s.push_back(percentile(times, 0.95));
        std::printf("  %-11s p50 %6.2f ms  p95 %6.2f ms  (%lld found over its queries)\n", kind.name,
                    percentile(times, 0.5), percentile(times, 0.95), qint64(found));
    }
    const double p95 = percentile(all, 0.95);
    std::vector<double> scans;
    for (int round = 0; round < (quick ? 1 : 3); ++round) {
        for (const QString &word : kKinds.first().queries) {
            QElapsedTimer one;
            one.start();
            likeScan(plain, word);
            scans.push_back(double(one.nsecsElapsed()) / 1e6);
        }
    }
    const double scan = percentile(scans, 0.5);
    std::printf("  all queries p95 %.2f ms (goal: at most 20 at 100,000, 50 at 1,000,000); LIKE scan p50 %.1f ms: "
                "the index is %.0f x faster at p95 (goal at 100,000: at least 20); by kind:",
                p95, scan, scan / p95);
    for (size_t k = 0; k < p95s.size(); ++k)
        std::printf(" %s %.0f x%s", kKinds[int(k)].name, scan / p95s[k], k + 1 < p95s.size() ? "," : "\n");
    std::printf("  resident memory added by the search: %.1f MB (goal at 1,000,000: at most 50)\n",
                double(residentKb() - before) / 1024);

    // 10,000 new entries, as a catalogue update adds them, with the index following.
    auto update = [&](const QString &into, SearchIndex &following, double *stallMs) {
        QElapsedTimer timer;
        timer.start();
        QList<qint64> rowIds;
        fill(into, pool, quick ? 1000 : 10000, 7, &rowIds);
        following.entriesChanged(kTable, rowIds);
        *stallMs = longestStallMs([&] { return following.waitForIdle(0); });
        return double(timer.elapsed());
    };
    double bigStall = 0, emptyStall = 0;
    const double big = update(path, index, &bigStall);
    QTemporaryDir emptyFolder;
    const QString emptyPath = emptyFolder.filePath(QStringLiteral("Zorvanell.dat"));
    CreateCatalogue(emptyPath);
    SearchIndex emptyIndex(emptyPath);
    double unused = 0;
    buildIndex(emptyIndex, &unused);
    const double empty = update(emptyPath, emptyIndex, &emptyStall);
    std::printf("  update of %d entries: %.0f ms into this category, %.0f ms into an empty one: %.2f x (goal: at "
                "most 1.5); longest stall %.1f ms\n",
                quick ? 1000 : 10000, big, empty, big / empty, std::max(bigStall, emptyStall));
    if (bigTexts) {
        // What one update may bring, and one entry bigger still (smaller in the quick run).
        if (quick)
            measureBigTexts(path, index, 4, 1000000, 5000000, 1);
        else
            measureBigTexts(path, index, 40, 4000000, 50000000, 3);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool quick = args.contains(QStringLiteral("--quick"));
    int largest = 1000000;
    for (const QString &arg : args.mid(1)) {
        if (arg.toInt() > 0)
            largest = arg.toInt();
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    const Pool pool = loadPool();
    std::printf("bench_fulltext: texts recombined from %zu sentences of %zu starter entries; 2 cores shared with "
                "other work, so read the ratios rather than the times\n",
                pool.sentences.size(), pool.names.size());
    if (quick) {
        measure(pool, 1000, true, true);
        return 0;
    }
    for (int size = 10000; size <= largest; size *= 10)
        measure(pool, size, false, size == 10000);
    return 0;
}
