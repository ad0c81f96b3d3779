// Category switch, search keystroke and start-up of the main window on catalogues of
// 1,000 to 1,000,000 entries, each against a plain baseline measured in the same run, and
// the resident memory of the program holding each catalogue. Switch and start are measured
// with the category's sorted list kept beside the catalogue, and once the first time, when the
// list has to be read from the catalogue and its file made.
// Usage: bench_catalogue [--quick | largest size, default 1000000]   (quick: 1,000 entries, once)
#include "SilentSeam.h"
#include "app/GlobalMain.h"
#include "core/SharedState.h"
#include "core/lists/SortedLists.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/QtSeam.h"
#include "gui/catalogue/frmMain.h"

#include <QApplication>
#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <sqlite3.h>
#include <vector>

namespace {

using zvtest::SilentSeam;

const QStringList kLatinWords = {QStringLiteral("Doom"),   QStringLiteral("Excel"),  QStringLiteral("Winamp"),
                                 QStringLiteral("Quake"),  QStringLiteral("Office"), QStringLiteral("Paint"),
                                 QStringLiteral("Player"), QStringLiteral("Studio"), QStringLiteral("Zip")};
const QStringList kCyrillicWords = {
    QStringLiteral("Блокнот"),  QStringLiteral("Калькулятор"), QStringLiteral("Пасьянс"),
    QStringLiteral("Ёлка"),     QStringLiteral("Проводник"),   QStringLiteral("Сапёр"),
    QStringLiteral("Редактор"), QStringLiteral("Архиватор"),   QStringLiteral("Яндекс")};
const QStringList kEditions = {QStringLiteral("Professional"),   QStringLiteral("Lite"),       QStringLiteral("2000"),
                               QStringLiteral("Deluxe Edition"), QStringLiteral("Версия 2.0"), QStringLiteral("Бета"),
                               QStringLiteral("Home"),           QStringLiteral("Портативная")};

// Names of about twenty characters, Latin and Cyrillic, some in lower case.
QString makeName(QRandomGenerator &random, int i)
{
    const QStringList &words = random.bounded(2) ? kLatinWords : kCyrillicWords;
    QString name = words.at(int(random.bounded(words.size())));
    if (random.bounded(3) == 0)
        name = name.toLower();
    return name + QLatin1Char(' ') + QString::number(i, 36) + QLatin1Char(' ') +
           kEditions.at(int(random.bounded(kEditions.size())));
}

QString makeText(QRandomGenerator &random)
{
    QString text;
    while (text.size() < 500)
        text += kLatinWords.at(int(random.bounded(kLatinWords.size()))) + QLatin1Char(' ') +
                kCyrillicWords.at(int(random.bounded(kCyrillicWords.size()))) + QStringLiteral(" — ");
    return text;
}

QStringList fillCatalogue(const QString &path, int size)
{
    CreateCatalogue(path);
    auto db = OpenCatalogue(path);
    QRandomGenerator random(size);
    QStringList names;
    zv::Catalogue::Transaction transaction(*db);
    for (int i = 0; i < size; ++i) {
        names << makeName(random, i);
        AddEntry(db, QStringLiteral("Programs"), names.last(), makeText(random));
    }
    transaction.commit();
    return names;
}

double medianMs(int runs, const std::function<void()> &work, const std::function<void()> &setUp = {})
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (setUp)
            setUp();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The baseline of a category switch: every name by a plain query, sorted with the same collation.
QStringList baselineLoad(const QString &path)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT Name FROM Programs", -1, &st, nullptr);
    QStringList names;
    while (sqlite3_step(st) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)),
                                   sqlite3_column_bytes(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    QCollator collator(QLocale(QLocale::English, QLocale::UnitedStates));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(names.size());
    for (const QString &n : names)
        keys.push_back(collator.sortKey(n));
    std::vector<int> order(names.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    QStringList sorted;
    sorted.reserve(names.size());
    for (int i : order)
        sorted << names.at(i);
    return sorted;
}

// The baseline of a keystroke: a plain walk over the sorted names with the same comparison.
int baselineSearch(const QStringList &sorted, const QString &text)
{
    const QString lower = text.toLower();
    for (int i = 0; i < sorted.size(); ++i) {
        if (sorted.at(i).left(lower.size()).toLower() == lower)
            return i;
    }
    return -1;
}

void writeOptions(const QString &folder)
{
    QFile options(folder + QStringLiteral("/Options.ini"));
    if (options.open(QIODevice::WriteOnly))
        options.write("[Main]\r\nSplashScreen=0\r\n");
}

// Kilobytes of "VmRSS" or "VmHWM" in /proc/self/status.
long statusKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key)) + 1).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// The child's part of the memory measurement: the program as started by the user, with the
// catalogue of ZORVANELL_HOME shown and searched once; prints resident and peak kilobytes.
int residentChild(int argc, char *argv[])
{
    // As zv::runApplication starts the program.
    QApplication app(argc, argv);
    zv::setUpApplication(app);
    SilentSeam seam;
    zv::setSeam(&seam);
    if (!Main())
        return 1;
    QCoreApplication::processEvents();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *search = w->findChild<QLineEdit *>(QStringLiteral("txtSearch"))) {
            search->setText(QStringLiteral("е"));
            QCoreApplication::processEvents();
        }
    }
    std::printf("%ld %ld\n", statusKb("VmRSS:"), statusKb("VmHWM:"));
    return 0;
}

// Waits until every session of the program has written the list files it started.
void waitForListFiles()
{
    for (zv::CatalogueSession *session : qApp->findChildren<zv::CatalogueSession *>())
        session->sortedLists().waitForWrites();
}

double timeOnce(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

QString withRatio(double ms, double base)
{
    return QStringLiteral("%1 (%2, %3)").arg(ms, 0, 'f', 1).arg(base, 0, 'f', 1).arg(ms / base, 0, 'f', 2);
}

// Resident and peak megabytes of a fresh program process holding the catalogue of `folder`.
std::pair<double, double> residentMb(const QString &folder)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZORVANELL_HOME"), folder);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--resident")});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return {-1, -1};
    const QList<QByteArray> kb = child.readAllStandardOutput().trimmed().split(' ');
    return {kb.value(0).toDouble() / 1024, kb.value(1).toDouble() / 1024};
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--resident") == 0)
        return residentChild(argc, argv);
    QApplication app(argc, argv);
    SilentSeam seam;
    zv::setSeam(&seam);
    zv::initVersionValues();
    // Quick: the smallest size once, so that the benchmark is known to run.
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int largest = quick ? 1000 : argc > 1 ? std::atoi(argv[1]) : 1000000;

    std::printf("%-8s | %-26s | %-24s | %-28s | %-26s | %-24s | %s\n", "entries", "category switch ms (base, x)",
                "first switch ms (base, x)", "search keystroke ms (base, x)", "start to window ms (base, x)",
                "first start ms (base, x)", "resident MB (peak)");
    for (int size = 1000; size <= largest; size *= 10) {
        QTemporaryDir dir;
        qputenv("ZORVANELL_HOME", dir.path().toUtf8());
        const QString path = dir.filePath(QStringLiteral("Zorvanell.dat"));
        fillCatalogue(path, size);
        writeOptions(dir.path());
        const int runs = quick ? 1 : size >= 1000000 ? 3 : 7;

        QStringList sorted;
        const double baseLoad = medianMs(runs, [&] { sorted = baselineLoad(path); });

        zv::CatalogueSession session(path);
        frmMain window(session);
        window.show();
        auto *combo = window.findChild<QComboBox *>(QStringLiteral("Combo1"));
        auto *search = window.findChild<QLineEdit *>(QStringLiteral("txtSearch"));
        // Each run switches from an empty category; the search index of the list before is
        // completed, and the list file written, first, outside the measured time.
        auto fromEmpty = [&] {
            search->setText(QStringLiteral("x"));
            search->clear();
            combo->setCurrentText(QStringLiteral("Фильмы"));
            session.sortedLists().waitForWrites();
        };
        fromEmpty();
        QDir(zv::lists::SortedLists::folderOf(path)).removeRecursively();
        const double firstLoad = timeOnce([&] { combo->setCurrentText(QStringLiteral("Программы")); });
        const double load = medianMs(
            runs, [&] { combo->setCurrentText(QStringLiteral("Программы")); }, fromEmpty);
        search->setText(QStringLiteral("x")); // the keystrokes below start with the index in place
        search->clear();

        // Keystrokes: probes that hit the middle and the end of the list, and one that hits nothing.
        const QStringList probes = {QStringLiteral("е"), QStringLiteral("Яндекс 1"), QStringLiteral("zip z"),
                                    QStringLiteral("nothing here")};
        int sink = 0;
        const double baseSearch = medianMs(runs * 5,
                                           [&] {
                                               for (const QString &p : probes)
                                                   sink += baselineSearch(sorted, p);
                                           }) /
                                  probes.size();
        const double keystroke = medianMs(runs * 5,
                                          [&] {
                                              for (const QString &p : probes) {
                                                  search->setText(p);
                                                  QCoreApplication::processEvents();
                                              }
                                          }) /
                                 probes.size();
        search->clear();

        double start = 0;
        double firstStart = 0;
        if (size == 100000 || size == largest) {
            auto closeStarted = [&] {
                QList<frmMain *> started;
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (auto *main = qobject_cast<frmMain *>(w); main && main != &window)
                        started << main;
                qDeleteAll(started);
            };
            auto startOnce = [&] {
                Main();
                QCoreApplication::processEvents();
            };
            waitForListFiles();
            QDir(zv::lists::SortedLists::folderOf(path)).removeRecursively();
            firstStart = timeOnce(startOnce);
            closeStarted();
            waitForListFiles();
            start = medianMs(quick ? 1 : 3, startOnce, closeStarted);
            closeStarted();
        }
        const auto [resident, peak] = residentMb(dir.path());
        std::printf("%-8d | %-28s | %-25s | %8.3f (%8.3f, %5.3f)    | %-28s | %-24s | %6.1f (%6.1f)\n", size,
                    qPrintable(withRatio(load, baseLoad)), qPrintable(withRatio(firstLoad, baseLoad)), keystroke,
                    baseSearch, keystroke / baseSearch, start > 0 ? qPrintable(withRatio(start, baseLoad)) : "-",
                    firstStart > 0 ? qPrintable(withRatio(firstStart, baseLoad)) : "-", resident, peak);
        std::fflush(stdout);
        if (sink == 42)
            std::printf(" ");
    }
    return 0;
}
