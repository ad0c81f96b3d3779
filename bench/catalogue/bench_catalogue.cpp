// Category switch, search keystroke and start-up of the main window on catalogues of
// 1,000 to 1,000,000 entries, each against a plain baseline measured in the same run.
// Usage: bench_catalogue [largest size, default 1000000]
#include "app/GlobalMain.h"
#include "core/SharedState.h"
#include "core/store/CatalogueStore.h"
#include "core/store/NameList.h"
#include "gui/QtSeam.h"
#include "gui/catalogue/frmMain.h"

#include <QApplication>
#include <QCollator>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <sqlite3.h>
#include <vector>

namespace {

// Answers every message box at once, so nothing waits for a person.
class SilentSeam : public zv::QtSeam
{
public:
    zv::MessageAnswer messageBox(QWidget *, const QString &, zv::MessageForm form, const QString &) override
    {
        return form == zv::MessageForm::YesNoQuestion ? zv::MessageAnswer::No : zv::MessageAnswer::Ok;
    }
    void exitProcess(int) override {}
};

const QStringList kLatinWords = {QStringLiteral("Doom"),   QStringLiteral("Excel"),  QStringLiteral("Winamp"),
                                 QStringLiteral("Quake"),  QStringLiteral("Office"), QStringLiteral("Paint"),
                                 QStringLiteral("Player"), QStringLiteral("Studio"), QStringLiteral("Zip")};
const QStringList kCyrillicWords = {
    QStringLiteral("Блокнот"),  QStringLiteral("Калькулятор"), QStringLiteral("Пасьянс"),
    QStringLiteral("Ёлка"),     QStringLiteral("Проводник"),   QStringLiteral("Сапёр"),
    QStringLiteral("Редактор"), QStringLiteral("Архиватор"),   QStringLiteral("Яндекс")};

QString makeName(QRandomGenerator &random, int i)
{
    const QStringList &words = random.bounded(2) ? kLatinWords : kCyrillicWords;
    QString name = words.at(int(random.bounded(words.size())));
    if (random.bounded(3) == 0)
        name = name.toLower();
    return name + QLatin1Char(' ') + QString::number(i, 36);
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

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SilentSeam seam;
    zv::setSeam(&seam);
    zv::initVersionValues();
    const int largest = argc > 1 ? std::atoi(argv[1]) : 1000000;

    std::printf("%-10s | %-28s | %-28s | %-28s\n", "entries", "category switch ms (base, x)",
                "search keystroke ms (base, x)", "start to window ms (base, x)");
    for (int size = 1000; size <= largest; size *= 10) {
        QTemporaryDir dir;
        qputenv("ZORVANELL_HOME", dir.path().toUtf8());
        const QString path = dir.filePath(QStringLiteral("Zorvanell.dat"));
        fillCatalogue(path, size);
        const int runs = size >= 1000000 ? 3 : 7;

        QStringList sorted;
        const double baseLoad = medianMs(runs, [&] { sorted = baselineLoad(path); });

        frmMain window;
        window.show();
        auto *combo = window.findChild<QComboBox *>(QStringLiteral("Combo1"));
        auto *search = window.findChild<QLineEdit *>(QStringLiteral("txtSearch"));
        // Each run switches from an empty category; the search index of the list before is
        // completed first, outside the measured time.
        const double load = medianMs(
            runs, [&] { combo->setCurrentText(QStringLiteral("Программы")); },
            [&] {
                search->setText(QStringLiteral("x"));
                search->clear();
                combo->setCurrentText(QStringLiteral("Фильмы"));
            });
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
        if (size == 100000 || size == largest) {
            QFile::remove(dir.filePath(QStringLiteral("Options.ini")));
            QFile options(dir.filePath(QStringLiteral("Options.ini")));
            if (options.open(QIODevice::WriteOnly))
                options.write("[Main]\r\nSplashScreen=0\r\n");
            options.close();
            auto closeStarted = [&] {
                QList<frmMain *> started;
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (auto *main = qobject_cast<frmMain *>(w); main && main != &window)
                        started << main;
                qDeleteAll(started);
            };
            start = medianMs(
                3,
                [&] {
                    Main();
                    QCoreApplication::processEvents();
                },
                closeStarted);
            closeStarted();
        }
        std::printf("%-10d | %8.1f (%8.1f, %4.2f)     | %8.3f (%8.3f, %5.3f)    | %s\n", size, load, baseLoad,
                    load / baseLoad, keystroke, baseSearch, keystroke / baseSearch,
                    start > 0 ? qPrintable(QStringLiteral("%1 (%2, %3)")
                                               .arg(start, 0, 'f', 1)
                                               .arg(baseLoad, 0, 'f', 1)
                                               .arg(start / baseLoad, 0, 'f', 2))
                              : "-");
        std::fflush(stdout);
        if (sink == 42)
            std::printf(" ");
    }
    return 0;
}
