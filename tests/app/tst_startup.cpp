#include "InstallFolder.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "app/GlobalMain.h"
#include "core/SharedState.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/update/ProgramUpdate.h"
#include "gui/catalogue/frmMain.h"
#include "gui/windows/frmLogo.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTest>

namespace {

template <typename Window> Window *shownWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(w); window && window->isVisible())
            return window;
    }
    return nullptr;
}

void closeAllWindows()
{
    // Deleting a window takes its own top-level children (menus) with it.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows << w;
    for (const QPointer<QWidget> &w : windows)
        delete w.data();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { closeAllWindows(); }

    void firstStartWarnsThenCreatesTheCatalogue()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        const QString path = home.file(QStringLiteral("Zorvanell.dat"));
        bool existedDuringMessage = true;
        seam.onMessage = [&](const zvtest::ScriptedSeam::Message &) { existedDuringMessage = QFile::exists(path); };

        QVERIFY(Main());
        QCOMPARE(seam.messages.size(), 1);
        QCOMPARE(seam.messages[0].text, QStringLiteral("Главний файл программы не найден!\r       Создан новый, Вы "
                                                       "можете загрузить базу с сервера обновлений!"));
        QCOMPARE(seam.messages[0].form, zv::MessageForm::OkExclamation);
        QCOMPARE(seam.messages[0].caption, QStringLiteral("Zorvanell"));
        QVERIFY(!existedDuringMessage);
        auto db = OpenCatalogue(path);
        for (const QString &table : zv::tableCreationOrder())
            QVERIFY(db->hasTable(table));

        QCOMPARE(VersionNumber, 500501);
        QCOMPARE(ShortVersion, QStringLiteral("5.1"));
        QCOMPARE(FullVersion, QStringLiteral("5.1.501"));
        // No SplashScreen setting: the splash comes first.
        QVERIFY(shownWindow<frmLogo>());
        QVERIFY(!shownWindow<frmMain>());
    }

    void secondStartIsSilentAndSplashCanBeOff()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        home.write(QStringLiteral("Options.ini"), "[Main]\r\nSplashScreen=0\r\n");
        QVERIFY(Main());
        QVERIFY(seam.messages.isEmpty());
        QVERIFY(shownWindow<frmMain>());
        QVERIFY(!shownWindow<frmLogo>());
    }

    void splashHandsOverToTheMainWindow()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        QVERIFY(Main());
        frmLogo *logo = shownWindow<frmLogo>();
        QVERIFY(logo);
        logo->handOver();
        QVERIFY(shownWindow<frmMain>());
    }

    void badCatalogueStopsTheProgramAndIsLeftAlone()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        const QByteArray junk("not a catalogue at all, just some text\r\n");
        home.write(QStringLiteral("Zorvanell.dat"), junk);
        QVERIFY(!Main());
        QCOMPARE(seam.messages.size(), 1);
        QVERIFY(seam.messages[0].text.contains(home.file(QStringLiteral("Zorvanell.dat"))));
        QVERIFY(seam.messages[0].text.contains(QStringLiteral("Программа будет закрыта")));
        QCOMPARE(home.read(QStringLiteral("Zorvanell.dat")), junk);
        QVERIFY(!shownWindow<frmMain>() && !shownWindow<frmLogo>());
    }

    void installStatusIsToldOnce_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("begins");
        const int ok = int(zv::MessageForm::OkInformation);
        const int bad = int(zv::MessageForm::OkExclamation);
        QTest::newRow("installed") << QByteArray("installed\n") << ok
                                   << QStringLiteral("Обновление программы установлено.");
        QTest::newRow("rolled back") << QByteArray("rolled back\n") << bad
                                     << QStringLiteral("Обновление программы установить не удалось, прежние файлы");
        QTest::newRow("refused") << QByteArray("refused\n") << bad << QStringLiteral("Архив обновления отклонён");
        QTest::newRow("restore failed") << QByteArray("restore failed\n") << bad
                                        << QStringLiteral("Обновление программы установить не удалось, и прежние");
        QTest::newRow("unknown word") << QByteArray("something else\n") << -1 << QString();
    }

    void installStatusIsToldOnce()
    {
        QFETCH(QByteArray, status);
        QFETCH(int, form);
        QFETCH(QString, begins);
        zvtest::TempHome home;
        zvtest::InstallFolder install;
        zvtest::ScriptedSeam seam;
        CreateCatalogue(home.file(QStringLiteral("Zorvanell.dat")));
        home.write(QStringLiteral("Options.ini"), "[Main]\r\nSplashScreen=0\r\n");
        // The status lies beside the program, not in the data folder.
        home.write(QStringLiteral("instupd.status"), "refused\n");
        install.write(QStringLiteral("instupd.status"), status);
        QVERIFY(Main());
        if (form < 0) {
            QVERIFY(seam.messages.isEmpty());
        } else {
            QCOMPARE(seam.messages.size(), 1);
            QVERIFY2(seam.messages[0].text.startsWith(begins), qPrintable(seam.messages[0].text));
            QCOMPARE(int(seam.messages[0].form), form);
        }
        QVERIFY(!QFileInfo::exists(install.file(QStringLiteral("instupd.status"))));
        closeAllWindows();
        QVERIFY(Main());
        QCOMPARE(seam.messages.size(), form < 0 ? 0 : 1);
    }

    void catalogueThatCannotBeCreatedIsReported()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        // A program folder inside a plain file cannot hold anything, not even for root.
        home.write(QStringLiteral("plain"), "x");
        qputenv("ZORVANELL_HOME", QFile::encodeName(home.file(QStringLiteral("plain/sub"))));
        QVERIFY(!Main());
        QCOMPARE(seam.messages.size(), 2);
        QVERIFY(seam.messages[1].text.startsWith(QStringLiteral("Не удалось создать файл каталога")));
        QCOMPARE(home.read(QStringLiteral("plain")), QByteArray("x"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
