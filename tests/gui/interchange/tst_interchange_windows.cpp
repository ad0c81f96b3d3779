#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/interchange/Interchange.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/catalogue/frmMain.h"
#include "gui/interchange/frmExport.h"
#include "gui/interchange/frmImport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString kGames = QStringLiteral("Games");

struct Folder
{
    zvtest::TempHome home;
    zvtest::ScriptedSeam seam;
    QString catalogue = home.file(QStringLiteral("Zorvanell.dat"));
    std::unique_ptr<zv::CatalogueSession> session;
    Folder()
    {
        CreateCatalogue(catalogue);
        AddEntry(OpenCatalogue(catalogue), kGames, QStringLiteral("Doom"), QStringLiteral("mine"));
        AddEntry(OpenCatalogue(catalogue), kGames, QStringLiteral("Quake"), QStringLiteral("q"));
        session = std::make_unique<zv::CatalogueSession>(catalogue);
        session->showCategory(kGames);
    }
};

template <typename T> T *child(QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

} // namespace

class TestInterchangeWindows : public QObject
{
    Q_OBJECT

private slots:
    // Ctrl+Shift+E and Ctrl+I in the main window open the two windows, each once, even from
    // the search box, which keeps its own keys.
    void shortcutsOpenTheWindows()
    {
        Folder f;
        frmMain main(*f.session);
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        auto *search = child<QLineEdit>(main, "txtSearch");
        search->setFocus();
        QTest::keyClick(search, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(search, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(main.findChildren<frmExport *>().size(), 1);
        main.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        search->setFocus();
        QTest::keyClick(search, Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(main.findChildren<frmImport *>().size(), 1);
    }

    // The selected entry exported as JSON into the folder the dialog names, then the file read
    // back in the import window with the entry changed meanwhile: both texts are shown, the
    // choice taken, and one undo takes the import back.
    void exportThenImportTheirs()
    {
        Folder f;
        f.session->selectRow(0);
        frmExport exporter(*f.session);
        exporter.show();
        QVERIFY(child<QRadioButton>(exporter, "optEntry")->isEnabled());
        child<QRadioButton>(exporter, "optEntry")->setChecked(true);
        child<QComboBox>(exporter, "cboFormat")->setCurrentIndex(3);
        const QString target = f.home.file(QStringLiteral("out"));
        f.seam.fileAnswers.enqueue(target);
        exporter.cmdExport_Click();
        QTRY_VERIFY(!exporter.running());
        QVERIFY2(QFile::exists(target + QLatin1Char('/') + zv::interchange::kJsonFile),
                 qPrintable(child<QLabel>(exporter, "lblStatus")->text()));

        f.session->editEntry(f.session->selectedRowId(), QStringLiteral("Doom"), QStringLiteral("mine"),
                             QStringLiteral("Doom"), QStringLiteral("changed"));
        frmImport importer(*f.session);
        importer.show();
        f.seam.fileAnswers.enqueue(target + QLatin1Char('/') + zv::interchange::kJsonFile);
        importer.cmdChoose_Click();
        QTRY_COMPARE(child<QLabel>(importer, "lblSummary")->text(),
                     QStringLiteral("Новых записей: 0, таких же: 0, отличаются: 1."));
        QCOMPARE(child<QPlainTextEdit>(importer, "txtMine")->toPlainText(), QStringLiteral("changed"));
        QCOMPARE(child<QPlainTextEdit>(importer, "txtTheirs")->toPlainText(), QStringLiteral("mine"));
        child<QComboBox>(importer, "cboChoice")->setCurrentIndex(1);
        importer.cmdAll_Click();
        importer.cmdImport_Click();
        QTRY_VERIFY(!importer.running());
        QCOMPARE(FindEntry(OpenCatalogue(f.catalogue), kGames, QStringLiteral("Doom")).ref, QStringLiteral("mine"));
        QCOMPARE(f.session->undo(), QString());
        QCOMPARE(FindEntry(OpenCatalogue(f.catalogue), kGames, QStringLiteral("Doom")).ref, QStringLiteral("changed"));
    }

    // A refused file: the reason shown, nothing offered.
    void refusedFileIsExplained()
    {
        Folder f;
        f.home.write(QStringLiteral("bad.csv"), "category,name\r\n\"open");
        frmImport importer(*f.session);
        importer.preview(f.home.file(QStringLiteral("bad.csv")));
        QTRY_VERIFY(!importer.reading());
        QCOMPARE(f.seam.messages.size(), 1);
        QVERIFY(f.seam.messages.front().text.startsWith(QStringLiteral("Этот файл импортировать нельзя.")));
        QVERIFY(!child<QPushButton>(importer, "cmdImport")->isEnabled());
        QCOMPARE(child<QTreeWidget>(importer, "lstEntries")->topLevelItemCount(), 0);
    }
};

QTEST_MAIN(TestInterchangeWindows)
#include "tst_interchange_windows.moc"
