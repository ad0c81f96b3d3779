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
#include <QMenu>

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

        // Another .jpg asks for a word; the same word again replaces that picture without asking more.
        addPicture(f, *w, other, QStringLiteral("2"));
        QCOMPARE(f.seam.inputPrompts, QStringList{QStringLiteral("Пожалуйста введите префикс скриншота")});
        QCOMPARE(pictureFiles(f), (QStringList{QStringLiteral("Doom.JPG"), QStringLiteral("Doom_2.jpg")}));
        // (JPG and jpg name the same picture.)
        addPicture(f, *w, shot, QStringLiteral("2"));
        QCOMPARE(pictureFiles(f), (QStringList{QStringLiteral("Doom.JPG"), QStringLiteral("Doom_2.JPG")}));
        QCOMPARE(readFile(f.home.file(QStringLiteral("ScreenShots/Doom_2.JPG"))), readFile(shot));
        QCOMPARE(f.seam.messages.size(), 0);

        // An empty word, or none, adds nothing.
        addPicture(f, *w, other, QString());
        addPicture(f, *w, other);
        QCOMPARE(pictureFiles(f).size(), 2);

        // Only the same extension counts as taken: a gif is the first of its kind.
        const QString gif = f.home.file(QStringLiteral("anim.gif"));
        writeFile(gif, "GIF89a");
        addPicture(f, *w, gif);
        QCOMPARE(f.seam.inputPrompts.size(), 4);
        QVERIFY(pictureFiles(f).contains(QStringLiteral("Doom.gif")));

        // Pictures belong to the name: the Games entry of the same name has them too.
        QComboBox *combo = w->findChild<QComboBox *>(QStringLiteral("Combo1"));
        combo->setCurrentText(QStringLiteral("Игры"));
        f.search(*w)->setText(QStringLiteral("doom"));
        QVERIFY(viewEnabled(*w));
    }

    void aTypedNameThatIsNotThereOrNoPictureIsRefused()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        addPicture(f, *w, f.home.file(QStringLiteral("typo.jpg")));
        QCOMPARE(f.seam.messages.size(), 1);
        QCOMPARE(f.seam.messages[0].text,
                 QStringLiteral("Файл ") + f.home.file(QStringLiteral("typo.jpg")) + QStringLiteral(" не найден."));
        // No extension: the kind is read from the file; with none to be read, it is refused.
        const QString noExtension = f.home.file(QStringLiteral("photo"));
        writeFile(noExtension, jpeg(halves(10, 10, Qt::red, Qt::blue)));
        addPicture(f, *w, noExtension);
        QCOMPARE(pictureFiles(f), QStringList{QStringLiteral("Word.jpg")});
        const QString notes = f.home.file(QStringLiteral("notes"));
        writeFile(notes, "just text");
        addPicture(f, *w, notes);
        QCOMPARE(f.seam.messages.size(), 2);
        QVERIFY(f.seam.messages[1].text.contains(QStringLiteral("не похож на изображение")));
        QCOMPARE(pictureFiles(f), QStringList{QStringLiteral("Word.jpg")});
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
        QCOMPARE(pictureFiles(f), (QStringList{QStringLiteral("%2E..bmp"), QStringLiteral("A%2A.bmp"),
                                               QStringLiteral("AB.bmp"), QStringLiteral("AC%2FDC.bmp")}));
        QCOMPARE(
            QDir(f.home.path()).entryList(QDir::Files, QDir::Name),
            (QStringList{QStringLiteral("Options.ini"), QStringLiteral("Zorvanell.dat"), QStringLiteral("shot.bmp")}));
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
