#include "ScriptedSeam.h"
#include "gui/controls/clsCommonDialog.h"

#include <QPrinter>
#include <QTest>

namespace {

const QString kTextFilter = QStringLiteral("Текстовый файл *.txt|*.txt|");
const QString kImageFilter = QStringLiteral("Изображения *.jpg *.gif *.bmp|*.jpg;*.gif;*.bmp|");

// Records which dialog was asked for.
class DialogSeam : public zvtest::ScriptedSeam
{
public:
    QStringList kinds;

    std::optional<QString> openFileDialog(QWidget *owner, const zv::FileDialogRequest &request) override
    {
        kinds << QStringLiteral("open");
        return ScriptedSeam::openFileDialog(owner, request);
    }
    std::optional<QString> saveFileDialog(QWidget *owner, const zv::FileDialogRequest &request) override
    {
        kinds << QStringLiteral("save");
        return ScriptedSeam::saveFileDialog(owner, request);
    }
};

// Two windows of the program using the shared instance, each setting only what it needs.
void saveListAs(QWidget *owner, const QString &proposed)
{
    clsCommonDialog &cd = clsCommonDialog::instance();
    cd.setHWnd(owner);
    cd.setFileName(proposed);
    cd.setFilter(kTextFilter);
    cd.setDialogTitle(QStringLiteral("Сохранить список"));
    cd.ShowSave();
}

void pickScreenshot(QWidget *owner)
{
    clsCommonDialog &cd = clsCommonDialog::instance();
    cd.setDialogTitle(QStringLiteral("Выберите скриншот"));
    cd.setFilter(kImageFilter);
    cd.setHWnd(owner);
    cd.ShowOpen();
}

} // namespace

class TestCommonDialog : public QObject
{
    Q_OBJECT

private slots:
    void filterConversion()
    {
        const QString converted = clsCommonDialog::ConvertFilter(kTextFilter);
        QCOMPARE(converted,
                 QStringLiteral("Текстовый файл *.txt") + QChar(0) + QStringLiteral("*.txt") + QChar(0) + QChar(0));
        QVERIFY(converted.endsWith(QString(2, QChar(0))));
        const QList<zv::FileFilter> text = clsCommonDialog::filterEntries(converted);
        QCOMPARE(text.size(), 1);
        QCOMPARE(text.at(0).description, QStringLiteral("Текстовый файл *.txt"));
        QCOMPARE(text.at(0).patterns, QStringList{QStringLiteral("*.txt")});

        const QList<zv::FileFilter> images =
            clsCommonDialog::filterEntries(clsCommonDialog::ConvertFilter(kImageFilter));
        QCOMPARE(images.size(), 1);
        QCOMPARE(images.at(0).description, QStringLiteral("Изображения *.jpg *.gif *.bmp"));
        QCOMPARE(images.at(0).patterns,
                 (QStringList{QStringLiteral("*.jpg"), QStringLiteral("*.gif"), QStringLiteral("*.bmp")}));

        const QList<zv::FileFilter> two = clsCommonDialog::filterEntries(
            clsCommonDialog::ConvertFilter(QStringLiteral("Текст|*.txt|Все|*.*|Лишнее")));
        QCOMPARE(two.size(), 2); // a description without patterns is no entry
        QCOMPARE(two.at(1).description, QStringLiteral("Все"));
        QCOMPARE(two.at(1).patterns, QStringList{QStringLiteral("*.*")});
        QVERIFY(clsCommonDialog::filterEntries(clsCommonDialog::ConvertFilter(QString())).isEmpty());
    }

    void theRequestCarriesTheProperties()
    {
        DialogSeam seam;
        clsCommonDialog cd;
        QWidget owner;
        cd.setHWnd(&owner);
        cd.setFilter(kImageFilter);
        cd.setDialogTitle(QStringLiteral("Выберите скриншот"));
        cd.setInitDir(QStringLiteral("/tmp/снимки"));
        cd.setFileName(QStringLiteral("Doom.jpg"));
        cd.ShowOpen();
        cd.setFilterIndex(2);
        cd.setDefaultExt(QStringLiteral("txt"));
        cd.ShowSave();
        cd.setFlags(clsCommonDialog::OverwritePrompt);
        cd.ShowSave();
        QCOMPARE(seam.kinds, (QStringList{QStringLiteral("open"), QStringLiteral("save"), QStringLiteral("save")}));
        const zv::FileDialogRequest &open = seam.fileRequests.at(0);
        QCOMPARE(open.title, QStringLiteral("Выберите скриншот"));
        QCOMPARE(open.initialFolder, QStringLiteral("/tmp/снимки"));
        QCOMPARE(open.initialName, QStringLiteral("Doom.jpg"));
        QCOMPARE(open.filters.size(), 1);
        QCOMPARE(open.filters.at(0).patterns.size(), 3);
        QCOMPARE(open.filterIndex, 0);
        QCOMPARE(seam.fileRequests.at(1).filterIndex, 1);
        QCOMPARE(seam.fileRequests.at(1).defaultSuffix, QStringLiteral("txt"));
        // With Flags 0 the save dialog does not ask before a file is replaced.
        QVERIFY(!seam.fileRequests.at(1).confirmOverwrite);
        QVERIFY(seam.fileRequests.at(2).confirmOverwrite);
    }

    void cancelLeavesTheNamesAlone()
    {
        DialogSeam seam;
        clsCommonDialog cd;
        seam.fileAnswers.enqueue(QStringLiteral("/home/user/Игры.txt"));
        cd.ShowSave();
        QCOMPARE(cd.APIReturn(), 1);
        cd.setFileName(QStringLiteral("Программы.txt"));
        seam.fileAnswers.enqueue(std::nullopt);
        cd.ShowSave();
        QCOMPARE(cd.APIReturn(), 0);
        QCOMPARE(cd.ExtendedError(), 0);
        QCOMPARE(cd.FileName(), QStringLiteral("Программы.txt"));
        QCOMPARE(cd.FileTitle(), QStringLiteral("Игры.txt"));
        cd.ShowOpen(); // nothing queued: cancelled
        QCOMPARE(cd.APIReturn(), 0);
        QCOMPARE(cd.FileName(), QStringLiteral("Программы.txt"));
    }

    void confirmReturnsPathAndTitle()
    {
        DialogSeam seam;
        clsCommonDialog cd;
        cd.setFilter(kTextFilter);
        seam.fileAnswers.enqueue(QStringLiteral("/home/user/Документы/Операционные системы.txt"));
        cd.ShowSave();
        QCOMPARE(cd.APIReturn(), 1);
        QCOMPARE(cd.FileName(), QStringLiteral("/home/user/Документы/Операционные системы.txt"));
        QCOMPARE(cd.FileTitle(), QStringLiteral("Операционные системы.txt"));
        QCOMPARE(cd.Action(), 0); // file dialogs leave it
    }

    void propertiesAreLeftOverBetweenCallers()
    {
        DialogSeam seam;
        QWidget mainWindow;
        QCOMPARE(&clsCommonDialog::instance(), &clsCommonDialog::instance());
        seam.fileAnswers.enqueue(QStringLiteral("/tmp/export/Игры.txt"));
        saveListAs(&mainWindow, QStringLiteral("Игры.txt"));
        QCOMPARE(clsCommonDialog::instance().APIReturn(), 1);

        // The screenshot picker sets no FileName: it is proposed the file saved last.
        pickScreenshot(&mainWindow);
        QCOMPARE(seam.fileRequests.size(), 2);
        QCOMPARE(seam.fileRequests.at(1).initialName, QStringLiteral("/tmp/export/Игры.txt"));
        QCOMPARE(seam.fileRequests.at(1).filters.at(0).description, QStringLiteral("Изображения *.jpg *.gif *.bmp"));
        QCOMPARE(clsCommonDialog::instance().APIReturn(), 0);

        // A later caller that sets nothing still gets the picker's title and filter.
        clsCommonDialog::instance().ShowSave();
        QCOMPARE(seam.fileRequests.at(2).title, QStringLiteral("Выберите скриншот"));
        QCOMPARE(seam.fileRequests.at(2).filters.at(0).patterns.size(), 3);
        QCOMPARE(clsCommonDialog::instance().hWnd(), &mainWindow);
    }

    void cancelErrorRaisesCancelPressed()
    {
        DialogSeam seam;
        clsCommonDialog cd;
        cd.setFileName(QStringLiteral("a.txt"));
        cd.setCancelError(true);
        for (int which = 0; which < 3; ++which) {
            bool raised = false;
            try {
                if (which == 0)
                    cd.ShowOpen();
                else if (which == 1)
                    cd.ShowSave();
                else
                    cd.ShowPrinter();
            } catch (const CommonDialogError &e) {
                raised = true;
                QCOMPARE(e.Number(), qint32(-2147219503)); // 800407D1 hex
                QCOMPARE(e.Description(), QStringLiteral("Cancel Pressed"));
                QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Cancel Pressed"));
            }
            QVERIFY(raised);
            QCOMPARE(cd.APIReturn(), 0);
            QCOMPARE(cd.FileName(), QStringLiteral("a.txt"));
        }
        // A confirmed dialog raises nothing.
        seam.fileAnswers.enqueue(QStringLiteral("/tmp/b.txt"));
        cd.ShowOpen();
        QCOMPARE(cd.APIReturn(), 1);
    }

    void theNameBufferHasItsLimit()
    {
        DialogSeam seam;
        clsCommonDialog cd;
        cd.setFileName(QStringLiteral("старое.txt"));
        const QString fits = QStringLiteral("/") + QString(251, QLatin1Char('a')) + QStringLiteral(".txt"); // 256 chars
        const QString fitsWithNul = fits.left(255);
        seam.fileAnswers.enqueue(fits);
        cd.ShowOpen();
        QCOMPARE(cd.APIReturn(), 0);
        QCOMPARE(cd.ExtendedError(), clsCommonDialog::BufferTooSmallError);
        QCOMPARE(cd.FileName(), QStringLiteral("старое.txt"));

        seam.fileAnswers.enqueue(fitsWithNul);
        cd.ShowOpen();
        QCOMPARE(cd.APIReturn(), 1);
        QCOMPARE(cd.ExtendedError(), 0);
        QCOMPARE(cd.FileName(), fitsWithNul);

        cd.setMaxFileSize(1024);
        seam.fileAnswers.enqueue(fits + fits);
        cd.ShowSave();
        QCOMPARE(cd.APIReturn(), 1);
        QCOMPARE(cd.FileName().size(), 512);

        // A proposed name longer than the buffer is cut to fit rather than failing.
        cd.setMaxFileSize(10);
        cd.setFileName(QStringLiteral("очень-длинное-имя.txt"));
        cd.ShowSave();
        QCOMPARE(seam.fileRequests.last().initialName, QStringLiteral("очень-дли"));
    }

    void printerDialog()
    {
        DialogSeam seam;
        clsCommonDialog cd;
        cd.ShowPrinter();
        QCOMPARE(seam.printDialogs, 1);
        QCOMPARE(cd.Action(), 5);
        QCOMPARE(cd.APIReturn(), 0);

        QPrinter target;
        target.setCopyCount(1);
        target.setPageOrientation(QPageLayout::Portrait);
        cd.setPrintingTarget(&target);
        seam.onPrintDialog = [](QPrinter *printer) {
            printer->setCopyCount(3);
            printer->setPageOrientation(QPageLayout::Landscape);
            printer->setPrintRange(QPrinter::PageRange);
            printer->setFromTo(2, 4);
        };
        cd.setCopies(1);
        cd.setMin(1);
        cd.setMax(7);
        seam.printAnswers.enqueue(true);
        cd.ShowPrinter();
        QCOMPARE(cd.APIReturn(), 1);
        QCOMPARE(seam.printRequests.at(1).minPage, 1);
        QCOMPARE(seam.printRequests.at(1).maxPage, 7);
        QCOMPARE(cd.Copies(), 3);
        QCOMPARE(cd.FromPage(), 2);
        QCOMPARE(cd.ToPage(), 4);
        QVERIFY(cd.printer());
        // PrinterDefault off, as the program leaves it: where and how the program prints is untouched.
        QCOMPARE(target.copyCount(), 1);
        QCOMPARE(target.pageLayout().orientation(), QPageLayout::Portrait);

        cd.setPrinterDefault(1);
        seam.printAnswers.enqueue(true);
        cd.ShowPrinter();
        QCOMPARE(target.copyCount(), 3);
        QCOMPARE(target.pageLayout().orientation(), QPageLayout::Landscape);

        // The dialog starts with the range the properties give: none is all pages, whatever the
        // printer kept from the dialog before.
        QPrinter::PrintRange range = QPrinter::PageRange;
        seam.onPrintDialog = [&](QPrinter *printer) { range = printer->printRange(); };
        cd.setFromPage(0);
        cd.setToPage(0);
        cd.ShowPrinter();
        QCOMPARE(range, QPrinter::AllPages);
        QCOMPARE(cd.printer()->fromPage(), 0);
    }
};

QTEST_MAIN(TestCommonDialog)
#include "tst_commondialog.moc"
