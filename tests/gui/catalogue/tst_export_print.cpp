#include "InChild.h"
#include "MainWindowFixture.h"
#include "TestFiles.h"
#include "core/TextCodec.h"
#include "core/export/TextExport.h"
#include "gui/catalogue/frmEditItem.h"
#include "gui/controls/VistaButton.h"
#include "gui/controls/clsCommonDialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>

namespace {

using zvtest::readFile;

QByteArray signature()
{
    return zv::toCp1251(zv::exporting::signatureLine());
}

void trigger(frmMain &w, const char *action)
{
    w.findChild<QAction *>(QString::fromLatin1(action))->trigger();
}

// What a poppler tool prints for the file.
QString poppler(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Deleting an entry with text in the search box leaves the first entry selected and the
// text box empty.
void deleteWhileSearching(MainWindowFixture &f, frmMain &w, const QString &search)
{
    f.search(w)->setText(search);
    f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
    w.DeleteSelected();
}

} // namespace

class TestExportPrint : public QObject
{
    Q_OBJECT

private slots:
    void saveEntryLineByLine()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("a\nb"));
        auto w = f.openMain();
        w->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("Игры"));
        f.search(*w)->setText(QStringLiteral("Doom"));
        // Accepting the proposed name.
        f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("Doom")));
        trigger(*w, "mnuSaveItem");
        QCOMPARE(f.seam.fileRequests.size(), 1);
        const zv::FileDialogRequest request = f.seam.fileRequests[0];
        QCOMPARE(request.title, QStringLiteral("Сохранение пасхалки"));
        QCOMPARE(request.initialName, QStringLiteral("Doom"));
        QCOMPARE(request.filters.size(), 1);
        QCOMPARE(request.filters[0].description, QStringLiteral("Текстовый файл *.txt"));
        QCOMPARE(request.filters[0].patterns, QStringList{QStringLiteral("*.txt")});
        QCOMPARE(readFile(f.home.file(QStringLiteral("Doom.txt"))), "Doom\r\na\r\nb\r\n\r\n" + signature() + "\r\n");

        // A name typed with its extension gets another one; an existing file is replaced without asking.
        f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("Doom.txt")));
        trigger(*w, "mnuSaveItem");
        QVERIFY(QFile::exists(f.home.file(QStringLiteral("Doom.txt.txt"))));
        f.text(*w)->selectAll();
        QTest::keyClicks(f.text(*w), QStringLiteral("changed in the box"));
        f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("Doom")));
        trigger(*w, "mnuSaveItem");
        QVERIFY(readFile(f.home.file(QStringLiteral("Doom.txt"))).startsWith("Doom\r\nchanged in the box\r\n"));
        QVERIFY(f.seam.messages.isEmpty());
    }

    void saveListOfAnEmptyCategoryAndCancel()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        auto w = f.openMain();
        const QStringList before = QDir(f.home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        // Cancel writes nothing anywhere.
        trigger(*w, "mnuSaveList");
        f.search(*w)->setText(QStringLiteral("Word"));
        trigger(*w, "mnuSaveItem");
        QCOMPARE(f.seam.fileRequests.size(), 2);
        QCOMPARE(QDir(f.home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);

        w->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("Фильмы"));
        f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("Фильмы")));
        trigger(*w, "mnuSaveList");
        QCOMPARE(f.seam.fileRequests[2].title, QStringLiteral("Сохранение списка"));
        QCOMPARE(f.seam.fileRequests[2].initialName, QStringLiteral("Фильмы"));
        const QByteArray count = zv::toCp1251(QStringLiteral("Записей : 0"));
        QCOMPARE(readFile(f.home.file(QStringLiteral("Фильмы.txt"))),
                 count + "\r\n" + signature() + "\r\n\r\n\r\n\r\n\r\n" + count + "\r\n" + signature() + "\r\n");
    }

    void saveListHoldsTheNamesInListOrder()
    {
        MainWindowFixture f;
        for (const char *name : {"Word", "Access", "Excel"})
            f.add(QStringLiteral("Programs"), QString::fromLatin1(name), QStringLiteral("t"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Блокнот"), QStringLiteral("t"));
        auto w = f.openMain();
        f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("list")));
        trigger(*w, "mnuSaveList");
        const QByteArray file = readFile(f.home.file(QStringLiteral("list.txt")));
        QVERIFY(file.startsWith(zv::toCp1251(QStringLiteral("Записей : 4\r\n"))));
        const QByteArray names =
            "\r\n\r\n\r\nAccess\r\nExcel\r\nWord\r\n" + zv::toCp1251(QStringLiteral("Блокнот")) + "\r\n\r\n\r\n";
        QVERIFY(file.contains(names));
    }

    void textWindows1251CannotHoldIsKept()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Игра 🎮"), QStringLiteral("游戏 и ёлка"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("и"));
        f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("entry")));
        trigger(*w, "mnuSaveItem");
        const QByteArray file = readFile(f.home.file(QStringLiteral("entry.txt")));
        QVERIFY(file.startsWith("\xEF\xBB\xBF"));
        QVERIFY(QString::fromUtf8(file.mid(3)).startsWith(QStringLiteral("Игра 🎮\r\n游戏 и ёлка\r\n\r\n")));
    }

    void aFileThatCannotBeWrittenIsReported()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        f.home.write(QStringLiteral("plain"), "a file, not a folder");
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("plain/Word")));
        trigger(*w, "mnuSaveItem");
        QCOMPARE(f.seam.messages.size(), 1);
        QVERIFY(f.seam.messages[0].text.startsWith(QStringLiteral("Не удалось сохранить файл ") +
                                                   f.home.file(QStringLiteral("plain/Word.txt"))));
        QCOMPARE(f.seam.messages[0].form, zv::MessageForm::OkExclamation);
        QCOMPARE(f.home.read(QStringLiteral("plain")), QByteArray("a file, not a folder"));
    }

    void aSaveIntoAReadOnlyFolderIsReportedAndKeepsTheOldFile()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("new text"));
        const QString folder = f.home.file(QStringLiteral("exports"));
        QDir().mkpath(folder);
        const QString old = folder + QStringLiteral("/Word.txt");
        QVERIFY(zv::exporting::writeFile(old, "old export").isEmpty());
        QFile::setPermissions(f.home.path(), QFile::permissions(f.home.path()) | QFile::ExeOther);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        f.seam.fileAnswers.enqueue(folder + QStringLiteral("/Word"));
        // Root may write anywhere: the save runs in a child that is not root.
        QVERIFY(zvtest::inChild(zvtest::Privileges::NotRoot, [&] {
            trigger(*w, "mnuSaveItem");
            return f.seam.messages.size() == 1 &&
                   f.seam.messages[0].text.startsWith(QStringLiteral("Не удалось сохранить файл ") + old) &&
                   readFile(old) == "old export";
        }));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(readFile(old), QByteArray("old export"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Word.txt")});
    }

    // The text box may hold no text of the selected entry: right after a delete made while
    // searching (it is empty) or after an edit (it reports the save). A move or a save of the
    // selected entry then takes its stored text.
    void storedTextWhenTheBoxShowsNoEntry_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("action");
        for (const QString &before : {QStringLiteral("delete"), QStringLiteral("edit")}) {
            for (const QString &action : {QStringLiteral("move"), QStringLiteral("save")})
                QTest::addRow("%s, then %s", qPrintable(before), qPrintable(action)) << before << action;
        }
    }

    void storedTextWhenTheBoxShowsNoEntry()
    {
        QFETCH(QString, before);
        QFETCH(QString, action);
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Access"), QStringLiteral("the real description"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("pinball"));
        auto w = f.openMain();
        if (before == QLatin1String("delete")) {
            deleteWhileSearching(f, *w, QStringLiteral("ex"));
            QCOMPARE(f.text(*w)->toPlainText(), QString());
        } else {
            f.search(*w)->setText(QStringLiteral("word"));
            frmEditItem editor(w.get(), w->session());
            editor.txtName->setText(QStringLiteral("Word"));
            editor.txtText->setPlainText(QStringLiteral("pinball 3D"));
            emit editor.VistaButton1->Click();
            QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("Запись Word обновлена успешно."));
        }
        QCOMPARE(w->selectedName(), QStringLiteral("Access"));

        if (action == QLatin1String("move")) {
            w->moveAction(QStringLiteral("Other"))->trigger();
            QCOMPARE(FindEntry(f.db, QStringLiteral("Other"), QStringLiteral("Access")).ref,
                     QStringLiteral("the real description"));
        } else {
            f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("Access")));
            trigger(*w, "mnuSaveItem");
            QCOMPARE(readFile(f.home.file(QStringLiteral("Access.txt"))),
                     "Access\r\nthe real description\r\n\r\n" + signature() + "\r\n");
        }
        // Nothing but the delete's question was shown.
        QCOMPARE(f.seam.messages.size(), before == QLatin1String("delete") ? 1 : 0);
    }

    void textTypedIntoTheEmptiedBoxIsWhatMoves()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Access"), QStringLiteral("stored"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        auto w = f.openMain();
        deleteWhileSearching(f, *w, QStringLiteral("ex"));
        QCOMPARE(w->selectedName(), QStringLiteral("Access"));
        QTest::keyClicks(f.text(*w), QStringLiteral("typed"));
        w->moveAction(QStringLiteral("Games"))->trigger();
        QCOMPARE(FindEntry(f.db, QStringLiteral("Games"), QStringLiteral("Access")).ref, QStringLiteral("typed"));
    }

    void printsNameAndEveryLineIntoThePdfTheUserChose()
    {
        MainWindowFixture f;
        QStringList lines;
        for (int i = 1; i <= 80; ++i)
            lines << QStringLiteral("Строка %1: нажмите Ctrl+Alt+%1, чтобы увидеть ёжика.").arg(i);
        const QString longWord = QString(150, QLatin1Char('x')) + QStringLiteral("END");
        lines << longWord;
        f.add(QStringLiteral("Programs"), QStringLiteral("Калькулятор"), lines.join(QLatin1Char('\n')));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("к"));
        const QString pdf = f.home.file(QStringLiteral("printed.pdf"));
        f.seam.printAnswers.enqueue(true);
        f.seam.printToPdf.enqueue(pdf);
        emit static_cast<VistaButton *>(f.control(*w, "Print_cmd"))->Click();
        QVERIFY(f.seam.messages.isEmpty());
        QCOMPARE(f.seam.printDialogs, 1);

        const QString text = poppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
        QStringList printed = text.split(QLatin1Char('\n'));
        for (QString &line : printed)
            line = line.remove(QLatin1Char('\f')).trimmed();
        QCOMPARE(printed.value(0), QStringLiteral("Калькулятор"));
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QVERIFY2(printed.contains(lines[i]), qPrintable(lines[i]));
        // The long word is broken at the page's edge, not cut off.
        QVERIFY(!printed.contains(longWord));
        QVERIFY(printed.join(QString()).contains(longWord));
        QVERIFY(text.count(QLatin1Char('\f')) >= 2); // one form feed after each page

        // A range of pages chosen in the dialog: only those are printed.
        const QString second = f.home.file(QStringLiteral("page2.pdf"));
        clsCommonDialog::instance().setFromPage(2);
        clsCommonDialog::instance().setToPage(2);
        f.seam.printAnswers.enqueue(true);
        f.seam.printToPdf.enqueue(second);
        emit static_cast<VistaButton *>(f.control(*w, "Print_cmd"))->Click();
        clsCommonDialog::instance().setFromPage(0);
        clsCommonDialog::instance().setToPage(0);
        const QString page2 = poppler(QStringLiteral("pdftotext"), {second, QStringLiteral("-")});
        QCOMPARE(page2.count(QLatin1Char('\f')), 1);
        QVERIFY(!page2.contains(QStringLiteral("Калькулятор")));
        QVERIFY(text.contains(page2.trimmed()));

        const QString fonts = poppler(QStringLiteral("pdffonts"), {pdf});
        // The name in bold of a font with Courier's widths, the text in the same font.
        QVERIFY2(fonts.contains(QStringLiteral("LiberationMono-Bold")) || fonts.contains(QStringLiteral("Courier")),
                 qPrintable(fonts));
        QVERIFY2(fonts.contains(QStringLiteral("LiberationMono ")) || fonts.contains(QStringLiteral("Courier")),
                 qPrintable(fonts));
    }

    void printMenuItemCancelAndNoPrinter()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("pinball"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        trigger(*w, "mnuPrint"); // cancelled
        QCOMPARE(f.seam.printDialogs, 1);
        QVERIFY(f.seam.messages.isEmpty());

        const QString pdf = f.home.file(QStringLiteral("menu.pdf"));
        f.seam.printAnswers.enqueue(true);
        f.seam.printToPdf.enqueue(pdf);
        trigger(*w, "mnuPrint");
        QVERIFY(poppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).contains(QStringLiteral("pinball")));

        // No file chosen and no printer on this machine: the user is told.
        clsCommonDialog::instance().printer()->setOutputFileName(QString());
        if (QPrinterInfo::availablePrinters().isEmpty()) {
            f.seam.printAnswers.enqueue(true);
            emit static_cast<VistaButton *>(f.control(*w, "Print_cmd"))->Click();
            QCOMPARE(f.seam.messages.size(), 1);
            QVERIFY(f.seam.messages[0].text.startsWith(QStringLiteral("Принтер не найден.")));
        }
    }
};

QTEST_MAIN(TestExportPrint)
#include "tst_export_print.moc"
