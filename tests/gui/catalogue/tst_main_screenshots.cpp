#include "MainWindowFixture.h"
#include "ModalWatcher.h"
#include "TestFiles.h"
#include "TestPictures.h"
#include "gui/controls/VistaButton.h"
#include "gui/screenshots/frmScreen.h"
#include "gui/screenshots/frmSelectScreenShot.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QRegularExpression>

using namespace zvtest::pictures;

namespace {

using zvtest::readFile;

QStringList pictureFiles(const MainWindowFixture &f)
{
    return QDir(f.home.file(QStringLiteral("ScreenShots")))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool viewEnabled(frmMain &w)
{
    const bool button = MainWindowFixture::control(w, "cmdViewScreen")->isEnabled();
    const bool menu = w.findChild<QAction *>(QStringLiteral("mnuScrShot"))->isEnabled();
    return button && menu;
}

// Adds the file `source` as a picture of the selected entry, answering the word question with `word`.
void addPicture(MainWindowFixture &f, frmMain &w, const QString &source, std::optional<QString> word = {})
{
    f.seam.fileAnswers.enqueue(source);
    if (word)
        f.seam.inputAnswers.enqueue(*word);
    w.findChild<QAction *>(QStringLiteral("mnuAddScreenShot"))->trigger();
}

// The kind of window the view operation opened, and what it showed.
struct Opened
{
    QString window;
    QString shown;
    QStringList listed;
    zvtest::ModalWatcher watcher{[this](QWidget *w) {
        window = w->objectName();
        if (auto *viewer = qobject_cast<frmScreen *>(w))
            shown = viewer->shownPath();
        if (auto *picker = qobject_cast<frmSelectScreenShot *>(w))
            listed = picker->pictures();
    }};
};

} // namespace

class TestMainScreenshots : public QObject
{
    Q_OBJECT

private slots:
    void addingNamesThePicturesAfterTheEntry()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Doom"), QStringLiteral("not a program"));
        const QString shot = f.home.file(QStringLiteral("shot.JPG"));
        const QString other = f.home.file(QStringLiteral("other.jpg"));
        writeFile(shot, jpeg(halves(40, 30, Qt::red, Qt::blue)));
        writeFile(other, jpeg(halves(50, 30, Qt::red, Qt::blue)));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Doom"));
        QVERIFY(!viewEnabled(*w));

        // The first picture: the folder is made, the name is the entry's, the extension the file's.
        addPicture(f, *w, shot);
        QCOMPARE(f.seam.fileRequests[0].title, QStringLiteral("Добавление скриншота для записи Doom"));
        QCOMPARE(f.seam.fileRequests[0].filters[0].description, QStringLiteral("Изображения *.jpg *.gif *.bmp"));
        QCOMPARE(f.seam.fileRequests[0].filters[0].patterns,
                 (QStringList{QStringLiteral("*.jpg"), QStringLiteral("*.gif"), QStringLiteral("*.bmp")}));
        QCOMPARE(pictureFiles(f), QStringList{QStringLiteral("Doom.JPG")});
        QVERIFY(f.seam.inputPrompts.isEmpty());
        QVERIFY(viewEnabled(*w));
        QCOMPARE(readFile(f.home.file(QStringLiteral("ScreenShots/Doom.JPG"))), readFile(shot));

        // Another .jpg asks for a word.
        addPicture(f, *w, other, QStringLiteral("2"));
        QCOMPARE(f.seam.inputPrompts, QStringList{QStringLiteral("Пожалуйста введите префикс скриншота")});
        QCOMPARE(pictureFiles(f), (QStringList{QStringLiteral("Doom.JPG"), QStringLiteral("Doom_2.jpg")}));
        // Doom_2.JPG is another file than Doom_2.jpg here: nothing is replaced, nothing asked.
        addPicture(f, *w, shot, QStringLiteral("2"));
        QCOMPARE(pictureFiles(f),
                 (QStringList{QStringLiteral("Doom.JPG"), QStringLiteral("Doom_2.JPG"), QStringLiteral("Doom_2.jpg")}));
        QCOMPARE(readFile(f.home.file(QStringLiteral("ScreenShots/Doom_2.JPG"))), readFile(shot));
        QCOMPARE(readFile(f.home.file(QStringLiteral("ScreenShots/Doom_2.jpg"))), readFile(other));
        QCOMPARE(f.seam.messages.size(), 0);

        // An empty word, or none, adds nothing.
        addPicture(f, *w, other, QString());
        addPicture(f, *w, other);
        QCOMPARE(pictureFiles(f).size(), 3);

        // Only the same extension counts as taken: a bmp is the first of its kind.
        const QString bitmap = f.home.file(QStringLiteral("drawn.bmp"));
        writeFile(bitmap, bmp(halves(10, 10, Qt::red, Qt::blue), 24));
        addPicture(f, *w, bitmap);
        QCOMPARE(f.seam.inputPrompts.size(), 4);
        QVERIFY(pictureFiles(f).contains(QStringLiteral("Doom.bmp")));

        // Pictures belong to the name: the Games entry of the same name has them too.
        QComboBox *combo = w->findChild<QComboBox *>(QStringLiteral("Combo1"));
        combo->setCurrentText(QStringLiteral("Игры"));
        f.search(*w)->setText(QStringLiteral("doom"));
        QVERIFY(viewEnabled(*w));
    }

    // A picture of another entry may carry the name a further picture gets: "Doom" with the word
    // "2" is "Doom_2.jpg", the first picture of "Doom_2".
    void aFurtherPictureReplacesAnExistingFileOnlyWhenTheUserSaysSo()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        f.add(QStringLiteral("Games"), QStringLiteral("Doom_2"), QStringLiteral("IDKFA"));
        const QByteArray doom2 = jpeg(halves(20, 20, Qt::green, Qt::blue));
        writeFile(f.home.file(QStringLiteral("ScreenShots/Doom.jpg")), jpeg(halves(20, 20, Qt::red, Qt::blue)));
        writeFile(f.home.file(QStringLiteral("ScreenShots/Doom_2.jpg")), doom2);
        const QString shot = f.home.file(QStringLiteral("shot.jpg"));
        writeFile(shot, jpeg(halves(30, 20, Qt::red, Qt::yellow)));
        auto w = f.openMain();
        w->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("Игры"));
        f.search(*w)->setText(QStringLiteral("Doom"));
        QCOMPARE(w->selectedName(), QStringLiteral("Doom"));

        addPicture(f, *w, shot, QStringLiteral("2")); // answered No
        QCOMPARE(f.seam.messages.size(), 1);
        QCOMPARE(f.seam.messages[0].form, zv::MessageForm::YesNoQuestion);
        QCOMPARE(f.seam.messages[0].caption, QStringLiteral("Zorvanell"));
        QVERIFY(f.seam.messages[0].text.startsWith(QStringLiteral("Файл Doom_2.jpg уже есть")));
        QCOMPARE(readFile(f.home.file(QStringLiteral("ScreenShots/Doom_2.jpg"))), doom2);

        f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
        addPicture(f, *w, shot, QStringLiteral("2"));
        QCOMPARE(f.seam.messages.size(), 2);
        QCOMPARE(readFile(f.home.file(QStringLiteral("ScreenShots/Doom_2.jpg"))), readFile(shot));
        QCOMPARE(pictureFiles(f), (QStringList{QStringLiteral("Doom.jpg"), QStringLiteral("Doom_2.jpg")}));
    }

    void aTypedNameThatIsNotThereIsRefused()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        addPicture(f, *w, f.home.file(QStringLiteral("typo.jpg")));
        QCOMPARE(f.seam.messages.size(), 1);
        QCOMPARE(f.seam.messages[0].text,
                 QStringLiteral("Файл ") + f.home.file(QStringLiteral("typo.jpg")) + QStringLiteral(" не найден."));
        QVERIFY(pictureFiles(f).isEmpty());
    }

    // Whatever the file is called, only a picture that can be shown is attached.
    void onlyAPictureIsAttached_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("stored"); // empty: refused
        const QByteArray photo = jpeg(halves(10, 10, Qt::red, Qt::blue));
        QTest::newRow("jpeg") << QStringLiteral("shot.jpg") << photo << QStringLiteral("Word.jpg");
        QTest::newRow("jpeg named txt") << QStringLiteral("Word.txt") << photo << QStringLiteral("Word.jpg");
        QTest::newRow("jpeg without extension") << QStringLiteral("photo") << photo << QStringLiteral("Word.jpg");
        QTest::newRow("text named jpg") << QStringLiteral("notes.jpg") << QByteArray("just text") << QString();
        QTest::newRow("text without extension") << QStringLiteral("notes") << QByteArray("just text") << QString();
        QTest::newRow("cut jpeg") << QStringLiteral("cut.jpg") << photo.left(20) << QString();
    }

    void onlyAPictureIsAttached()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, content);
        QFETCH(QString, stored);
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        writeFile(f.home.file(source), content);
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        addPicture(f, *w, f.home.file(source));
        QCOMPARE(pictureFiles(f), stored.isEmpty() ? QStringList{} : QStringList{stored});
        QCOMPARE(viewEnabled(*w), !stored.isEmpty());
        QCOMPARE(f.seam.messages.size(), stored.isEmpty() ? 1 : 0);
        if (stored.isEmpty())
            QVERIFY(f.seam.messages[0].text.contains(QStringLiteral("не похож на изображение")));
    }

    // What can be attached can be found in the dialog, under the choice kept first or one of its own.
    void theOpenDialogOffersEveryKindItAttaches_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("format"); // as Qt writes it
        QTest::newRow("png") << QStringLiteral("shot.png") << QByteArray("png");
        QTest::newRow("tif") << QStringLiteral("scan.tif") << QByteArray("tiff");
        QTest::newRow("tiff") << QStringLiteral("scan.tiff") << QByteArray("tiff");
        QTest::newRow("webp") << QStringLiteral("shot.webp") << QByteArray("webp");
        QTest::newRow("jpeg") << QStringLiteral("photo.jpeg") << QByteArray("jpeg");
        QTest::newRow("jpg") << QStringLiteral("photo.jpg") << QByteArray("jpeg");
        QTest::newRow("bmp") << QStringLiteral("drawn.bmp") << QByteArray("bmp");
    }

    void theOpenDialogOffersEveryKindItAttaches()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, format);
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        QVERIFY(halves(12, 10, Qt::red, Qt::blue).save(f.home.file(source), format.constData()));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        addPicture(f, *w, f.home.file(source));
        QCOMPARE(pictureFiles(f), QStringList{QStringLiteral("Word.") + QFileInfo(source).suffix()});

        const QList<zv::FileFilter> &filters = f.seam.fileRequests[0].filters;
        QCOMPARE(filters[0].description, QStringLiteral("Изображения *.jpg *.gif *.bmp"));
        bool offered = false;
        for (const zv::FileFilter &filter : filters) {
            for (const QString &pattern : filter.patterns)
                offered =
                    offered || QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive).match(source).hasMatch();
        }
        QVERIFY2(offered, qPrintable(source));
    }

    // The dialog is shared: a save leaves its file name behind, which is no picture to propose.
    void theOpenDialogProposesNoNameASaveLeft()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        f.seam.fileAnswers.enqueue(f.home.file(QStringLiteral("Word")));
        w->findChild<QAction *>(QStringLiteral("mnuSaveItem"))->trigger();
        w->findChild<QAction *>(QStringLiteral("mnuAddScreenShot"))->trigger(); // cancelled
        QCOMPARE(f.seam.fileRequests.size(), 2);
        QCOMPARE(f.seam.fileRequests[1].initialName, QString());
    }

    void hostileNamesGetTheirOwnPicturesOnly()
    {
        MainWindowFixture f;
        for (const char *name : {"A*", "AB", "..", "AC/DC"})
            f.add(QStringLiteral("Programs"), QString::fromLatin1(name), QStringLiteral("t"));
        const QString shot = f.home.file(QStringLiteral("shot.bmp"));
        writeFile(shot, bmp(halves(10, 10, Qt::red, Qt::blue), 24));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("AB"));
        addPicture(f, *w, shot);
        // "A*" is only itself: AB's picture does not make its view available.
        f.search(*w)->setText(QStringLiteral("A*"));
        QCOMPARE(w->selectedName(), QStringLiteral("A*"));
        QVERIFY(!viewEnabled(*w));
        addPicture(f, *w, shot);
        QVERIFY(viewEnabled(*w));
        for (const char *name : {"..", "AC/DC"}) {
            f.search(*w)->setText(QString::fromLatin1(name));
            addPicture(f, *w, shot);
        }
        QCOMPARE(pictureFiles(f), (QStringList{QStringLiteral("...bmp"), QStringLiteral("A%2A.bmp"),
                                               QStringLiteral("AB.bmp"), QStringLiteral("AC%2FDC.bmp")}));
        // Nothing lands beside them but the history that keeps the pictures' way back (with its WAL).
        QCOMPARE(QDir(f.home.path()).entryList(QDir::Files, QDir::Name),
                 (QStringList{QStringLiteral("Options.ini"), QStringLiteral("Zorvanell.dat"),
                              QStringLiteral("Zorvanell.dat.history"), QStringLiteral("Zorvanell.dat.history-shm"),
                              QStringLiteral("Zorvanell.dat.history-wal"), QStringLiteral("shot.bmp")}));
        QVERIFY(f.seam.messages.isEmpty());
        {
            Opened opened;
            f.search(*w)->setText(QStringLiteral("A*"));
            emit static_cast<VistaButton *>(f.control(*w, "cmdViewScreen"))->Click();
            QCOMPARE(opened.window, QStringLiteral("frmScreen"));
            QCOMPARE(opened.shown, f.home.file(QStringLiteral("ScreenShots/A%2A.bmp")));
        }
    }

    void onePictureOpensTheViewerTwoThePicker()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Word 2007"), QStringLiteral("w7"));
        const QByteArray picture = bmp(halves(10, 10, Qt::red, Qt::blue), 24);
        writeFile(f.home.file(QStringLiteral("ScreenShots/Word 2007.bmp")), picture);
        auto w = f.openMain();
        {
            Opened opened;
            f.search(*w)->setText(QStringLiteral("Word 2007"));
            QTest::keyClick(f.list(*w), Qt::Key_Space);
            QCOMPARE(opened.window, QStringLiteral("frmScreen"));
            QCOMPARE(opened.shown, f.home.file(QStringLiteral("ScreenShots/Word 2007.bmp")));
            QVERIFY(!w->session().SeveralScreenShots());
        }
        writeFile(f.home.file(QStringLiteral("ScreenShots/Word.bmp")), picture);
        {
            // Word also has Word 2007's picture: two, so the picker.
            Opened opened;
            f.search(*w)->setText(QStringLiteral("Word"));
            QCOMPARE(w->selectedName(), QStringLiteral("Word"));
            w->findChild<QAction *>(QStringLiteral("mnuScrShot"))->trigger();
            QCOMPARE(opened.window, QStringLiteral("frmSelectScreenShot"));
            QCOMPARE(opened.listed, (QStringList{QStringLiteral("Word 2007.bmp"), QStringLiteral("Word.bmp")}));
            QVERIFY(w->session().SeveralScreenShots());
        }
        // The pictures deleted meanwhile: no viewer on the folder alone; the user is told.
        QDir(f.home.file(QStringLiteral("ScreenShots"))).removeRecursively();
        {
            Opened opened;
            emit static_cast<VistaButton *>(f.control(*w, "cmdViewScreen"))->Click();
            QCOMPARE(opened.watcher.seen(), 0);
            QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("У записи Word больше нет скриншотов.")});
            QVERIFY(!viewEnabled(*w));
        }
    }
};

QTEST_MAIN(TestMainScreenshots)
#include "tst_main_screenshots.moc"
