// "Предложить запись..." in the list menu: the selected entry with its own pictures goes into the
// file the save dialog names, and the user is told where it went.
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "core/entryfile/EntryFile.h"

#include <QAction>
#include <QMenu>

class TestSuggestEntry : public QObject
{
    Q_OBJECT

private slots:
    void writesTheSelectedEntry_data()
    {
        QTest::addColumn<bool>("chosen");
        QTest::newRow("saved") << true;
        QTest::newRow("dialog cancelled") << false;
    }

    void writesTheSelectedEntry()
    {
        QFETCH(bool, chosen);
        MainWindowFixture f;
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        const QByteArray jpeg("\xFF\xD8\xFF\xE0 the level", 14);
        zvtest::writeFile(f.home.file(QStringLiteral("ScreenShots/Doom.jpg")), jpeg);
        zvtest::writeFile(f.home.file(QStringLiteral("ScreenShots/Doom_notes.jpg")), "notes, not a picture");
        const std::unique_ptr<frmMain> main = f.openMain();
        QVERIFY(f.session->showEntry(QStringLiteral("Games"), 1));
        const QString path = f.home.file(QStringLiteral("out/Doom.zvegg"));
        QDir().mkpath(f.home.file(QStringLiteral("out")));
        f.seam.fileAnswers.enqueue(chosen ? std::optional<QString>(path) : std::nullopt);

        main->findChild<QAction *>(QStringLiteral("mnuSuggest"))->trigger();
        QCOMPARE(f.seam.fileRequests.constFirst().initialName, QStringLiteral("Doom.zvegg"));
        if (!chosen) {
            QVERIFY(f.seam.messages.isEmpty());
            QVERIFY(!QFileInfo::exists(path));
            return;
        }
        QCOMPARE(f.seam.messages.size(), 1);
        QCOMPARE(f.seam.messages.constFirst().form, zv::MessageForm::OkInformation);
        QVERIFY(f.seam.messages.constFirst().text.contains(path));
        QVERIFY(f.seam.messages.constFirst().text.contains(QStringLiteral("Doom_notes.jpg")));
        QString why;
        const auto entry = zv::entryfile::readEntryFile(zvtest::readFile(path), &why);
        QVERIFY2(entry, qPrintable(why));
        QCOMPARE(entry->table, QStringLiteral("Games"));
        QCOMPARE(entry->name, QStringLiteral("Doom"));
        QCOMPARE(entry->text, QStringLiteral("IDDQD"));
        QCOMPARE(entry->pictures.size(), size_t(1));
        QCOMPARE(entry->pictures.front().fileName, QStringLiteral("Doom.jpg"));
        QCOMPARE(entry->pictures.front().bytes, jpeg);
    }
};

QTEST_MAIN(TestSuggestEntry)
#include "tst_suggest_entry.moc"
