#include "TempHome.h"
#include "core/TextCodec.h"
#include "core/session/CatalogueSession.h"
#include "core/store/NameListModel.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sqlite3.h>
#include <thread>

namespace {

const QString kGames = QStringLiteral("Games");
const QString kOther = QStringLiteral("Other");

// Which of the session's signals came, in order, by name.
struct Signals
{
    QStringList seen;

    explicit Signals(zv::CatalogueSession &session)
    {
        auto note = [this](const char *name) { return [this, name] { seen << QLatin1String(name); }; };
        QObject::connect(&session, &zv::CatalogueSession::categoryLoaded, note("loaded"));
        QObject::connect(&session, &zv::CatalogueSession::entrySelected, note("selected"));
        QObject::connect(&session, &zv::CatalogueSession::entryEdited, note("edited"));
        QObject::connect(&session, &zv::CatalogueSession::entryRemoved, note("removed"));
        QObject::connect(&session, &zv::CatalogueSession::countChanged, note("count"));
        QObject::connect(&session, &zv::CatalogueSession::recordsChanged,
                         [this](const QString &table, const QList<qint64> &ids) {
                             seen << QStringLiteral("changed %1 %2").arg(table).arg(ids.size());
                         });
        QObject::connect(&session, &zv::CatalogueSession::recordsRemoved,
                         [this](const QString &table, const QList<qint64> &ids) {
                             seen << QStringLiteral("gone %1 %2").arg(table).arg(ids.size());
                         });
    }
    QStringList take() { return std::exchange(seen, {}); }
};

} // namespace

class TestCatalogueSession : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        zvtest::TempHome home;
        QString path = home.file(QStringLiteral("Zorvanell.dat"));
        std::unique_ptr<zv::CatalogueSession> session;

        explicit Fixture(const QStringList &games)
        {
            CreateCatalogue(path);
            for (const QString &name : games)
                AddEntry(OpenCatalogue(path), kGames, name, QStringLiteral("text of ") + name);
            session = std::make_unique<zv::CatalogueSession>(path);
            session->showCategory(kGames);
        }
        QStringList stored(const QString &table) const { return ListNames(OpenCatalogue(path), table); }
    };

private slots:
    void loadingAndSelecting()
    {
        Fixture f({QStringLiteral("Quake"), QStringLiteral("doom")});
        Signals spy(*f.session);
        f.session->showCategory(kGames);
        QCOMPARE(spy.take(), QStringList{QStringLiteral("loaded")});
        QCOMPARE(f.session->CurrentTable(), kGames);
        QCOMPARE(f.session->names().names(), (QStringList{QStringLiteral("doom"), QStringLiteral("Quake")}));
        QCOMPARE(f.session->selectedRow(), -1);
        QVERIFY(!f.session->CurrentRecord().found());

        f.session->selectRow(1);
        QCOMPARE(spy.take(), QStringList{QStringLiteral("selected")});
        QCOMPARE(f.session->CurrentEntry(), QStringLiteral("Quake"));
        QCOMPARE(f.session->CurrentRecord().ref, QStringLiteral("text of Quake"));

        // A table the file lacks: the list is empty and the reason comes with the signal.
        QSignalSpy loaded(f.session.get(), &zv::CatalogueSession::categoryLoaded);
        f.session->showCategory(QStringLiteral("NoSuchTable"));
        QVERIFY(!loaded.at(0).at(0).toString().isEmpty());
        QCOMPARE(f.session->count(), 0);
    }

    void showingAnEntryByItsRecord()
    {
        Fixture f({QStringLiteral("Doom"), QStringLiteral("Quake")});
        const qint64 other = AddEntry(OpenCatalogue(f.path), kOther, QStringLiteral("Ёлка"), QStringLiteral("ель"));
        Signals spy(*f.session);
        // Another category: loaded first, then the entry selected as a click would.
        QVERIFY(f.session->showEntry(kOther, other));
        QCOMPARE(spy.take(), (QStringList{QStringLiteral("loaded"), QStringLiteral("selected")}));
        QCOMPARE(f.session->CurrentTable(), kOther);
        QCOMPARE(f.session->CurrentRecord().ref, QStringLiteral("ель"));
        // The entry already selected is shown again; a record no longer listed is refused.
        QVERIFY(f.session->showEntry(kOther, other));
        QCOMPARE(spy.take(), QStringList{QStringLiteral("selected")});
        QVERIFY(!f.session->showEntry(kOther, other + 100));
        QCOMPARE(f.session->CurrentEntry(), QStringLiteral("Ёлка"));
    }

    void eachChangeIsAnnounced()
    {
        Fixture f({QStringLiteral("Doom"), QStringLiteral("Quake")});
        f.session->selectRow(1);
        Signals spy(*f.session);

        // Added around the selection: the same entry stays selected, nothing is shown anew.
        f.session->addEntry(QStringLiteral("Arcanum"), QStringLiteral("a"));
        QCOMPARE(spy.take(), (QStringList{QStringLiteral("changed Games 1"), QStringLiteral("count")}));
        QCOMPARE(f.session->selectedName(), QStringLiteral("Quake"));

        f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Quake"), QStringLiteral("text of Quake"),
                             QStringLiteral("Quake II"), QStringLiteral("q2"));
        QCOMPARE(spy.take(),
                 (QStringList{QStringLiteral("changed Games 1"), QStringLiteral("loaded"), QStringLiteral("edited")}));
        QCOMPARE(f.session->selectedRow(), -1);

        f.session->selectRow(0);
        spy.take();
        QVERIFY(f.session->findCurrentRecord());
        f.session->deleteCurrent();
        QCOMPARE(spy.take(), (QStringList{QStringLiteral("gone Games 1"), QStringLiteral("removed")}));
        QCOMPARE(f.session->selectedRow(), -1);
        QVERIFY(!f.session->CurrentRecord().found());

        f.session->selectRow(0);
        spy.take();
        f.session->moveCurrent(kOther, f.session->selectedName(), QStringLiteral("moved"));
        QCOMPARE(spy.take(), (QStringList{QStringLiteral("gone Games 1"), QStringLiteral("changed Other 1"),
                                          QStringLiteral("removed")}));
        QCOMPARE(f.stored(kGames), QStringList{QStringLiteral("Quake II")});
        QCOMPARE(f.stored(kOther), QStringList{QStringLiteral("Doom")});
        QCOMPARE(f.session->names().names(), QStringList{QStringLiteral("Quake II")});
    }

    // Another program changes the text after the entry was selected.
    void aTextChangedElsewhereIsNeverOverwrittenSilently()
    {
        Fixture f({QStringLiteral("Doom")});
        f.session->selectRow(0);
        AddEntry(OpenCatalogue(f.path), kOther, QStringLiteral("x"), QStringLiteral("x"));
        auto elsewhere = [&](const QString &text) {
            const zv::CatalogueConnection other = OpenCatalogue(f.path);
            const QByteArray sql = "UPDATE Games SET Ref = '" + text.toUtf8() + "'";
            QVERIFY(sqlite3_exec(other->handle(), sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK);
        };
        auto textChanged = [](const std::function<void()> &work) {
            try {
                work();
            } catch (const zv::CatalogueError &e) {
                return e.kind() == zv::CatalogueError::Kind::TextChanged ? e.storedText() : QStringLiteral("other");
            }
            return QString();
        };
        elsewhere(QStringLiteral("theirs"));
        QCOMPARE(textChanged([&] {
                     f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Doom"),
                                          QStringLiteral("text of Doom"), QStringLiteral("Doom"),
                                          QStringLiteral("mine"));
                 }),
                 QStringLiteral("theirs"));
        QCOMPARE(FindEntry(OpenCatalogue(f.path), kGames, QStringLiteral("Doom")).ref, QStringLiteral("theirs"));
        // A move of the text as it was read moves the text stored now; a changed one is not moved unasked.
        QCOMPARE(textChanged([&] { f.session->moveCurrent(kOther, QStringLiteral("Doom"), QStringLiteral("mine")); }),
                 QStringLiteral("theirs"));
        QCOMPARE(f.stored(kGames), QStringList{QStringLiteral("Doom")});
        f.session->moveCurrent(kOther, QStringLiteral("Doom"), QStringLiteral("text of Doom"));
        QCOMPARE(FindEntry(OpenCatalogue(f.path), kOther, QStringLiteral("Doom")).ref, QStringLiteral("theirs"));
    }

    void anUpdateBatchReadsOnlyItsSnapshot()
    {
        Fixture f({QStringLiteral("Doom")});
        const QString folder = f.home.file(QStringLiteral("base"));
        QDir().mkpath(folder);
        for (const char *name : {"Blood", "Zork", "doom"}) {
            QFile file(folder + QLatin1Char('/') + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(zv::toCp1251(QStringLiteral("served ") + QLatin1String(name)));
        }
        zv::UpdateBatch batch = f.session->beginUpdateBatch();
        // The list changes while the worker runs; the worker compares against the names of its start.
        std::thread worker([&] {
            batch.run(folder, {QStringLiteral("Blood"), QStringLiteral("Zork"), QStringLiteral("doom")}, {}, nullptr);
        });
        f.session->addEntry(QStringLiteral("Arcanum"), QStringLiteral("a"));
        worker.join();
        QCOMPARE(batch.added(), 2);
        Signals spy(*f.session);
        f.session->finishUpdateBatch(std::move(batch));
        QCOMPARE(spy.take(), QStringList{QStringLiteral("changed Games 2")});
        QCOMPARE(f.session->names().names(), (QStringList{QStringLiteral("Arcanum"), QStringLiteral("Blood"),
                                                          QStringLiteral("Doom"), QStringLiteral("Zork")}));
        f.session->announceUpdatedCount();
        QCOMPARE(spy.take(), QStringList{QStringLiteral("count")});
    }
};

QTEST_MAIN(TestCatalogueSession)
#include "tst_catalogue_session.moc"
