#include "ModalWatcher.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "TestPictures.h"
#include "core/INI.h"
#include "core/session/CatalogueSession.h"
#include "gui/controls/VistaButton.h"
#include "gui/screenshots/frmScreen.h"
#include "gui/screenshots/frmSelectScreenShot.h"

#include <QLabel>
#include <QListWidget>
#include <QTest>

using namespace zvtest::pictures;

namespace {

// The entry Word selected, with pictures of its own and of others.
struct PickerFixture
{
    zvtest::TempHome home;
    zvtest::ScriptedSeam seam;
    std::unique_ptr<zv::CatalogueSession> session;

    PickerFixture()
    {
        for (const char *name : {"Word.jpg", "Word 2007.bmp", "word_b.bmp", "Excel.bmp"})
            writeFile(home.file(QStringLiteral("ScreenShots/") + QString::fromLatin1(name)),
                      bmp(halves(20 + int(qstrlen(name)), 10, Qt::red, Qt::blue), 24));
        const QString catalogue = home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(catalogue);
        AddEntry(OpenCatalogue(catalogue), QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("x"));
        session = std::make_unique<zv::CatalogueSession>(catalogue);
        session->showCategory(QStringLiteral("Programs"));
        session->selectRow(0);
        session->chooseScreenshot(QString(), true);
    }
};

// The path each viewer the picker opens shows first, and the position it starts at.
struct Opened
{
    QStringList paths;
    QList<int> positions;
    zvtest::ModalWatcher watcher{[this](QWidget *w) {
        if (auto *viewer = qobject_cast<frmScreen *>(w)) {
            paths << viewer->shownPath();
            positions << viewer->currentPosition();
        }
    }};
};

} // namespace

class TestPicker : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndTheEntrysPictures()
    {
        PickerFixture f;
        frmSelectScreenShot picker(nullptr, *f.session);
        QCOMPARE(picker.windowTitle(), QStringLiteral("Выберите скриншот"));
        QCOMPARE(picker.size(), QSize(233, 375));
        QCOMPARE(picker.Label1->text(), QStringLiteral("Пожалуйста выберите нужный скриншот."));
        QCOMPARE(picker.VistaButton1->Caption(), QStringLiteral("Просмотр"));
        QCOMPARE(picker.VistaButton2->Caption(), QStringLiteral("Удалить"));
        QCOMPARE(picker.VistaButton3->Caption(), QStringLiteral("Закрыть"));
        QCOMPARE(picker.File1->geometry(), QRect(8, 32, 217, 305));
        // Word also has Word 2007's pictures; nothing is selected at first.
        QCOMPARE(picker.pictures(), (QStringList{QStringLiteral("Word 2007.bmp"), QStringLiteral("Word.jpg"),
                                                 QStringLiteral("word_b.bmp")}));
        QVERIFY(picker.File1->selectedItems().isEmpty());
    }

    void slangCaptions()
    {
        PickerFixture f;
        f.home.write(QStringLiteral("Language.ini"),
                     "[\xCF\xE0\xE4\xEE\xED\xE0\xEA]\r\nCaption=x\r\nCaption_frmSelectScreenShot=A\r\n"
                     "frmSelectScreenShot_ChooseSCR=B\r\nfrmSelectScreenShot_Show=C\r\n");
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        frmSelectScreenShot picker(nullptr, *f.session);
        QCOMPARE(picker.windowTitle(), QStringLiteral("A"));
        QCOMPARE(picker.Label1->text(), QStringLiteral("B"));
        QCOMPARE(picker.VistaButton1->Caption(), QStringLiteral("C"));
        QCOMPARE(picker.VistaButton2->Caption(), QString()); // missing key: empty caption
        QCOMPARE(picker.VistaButton3->Caption(), QStringLiteral("Закрыть"));
    }

    void characterKeysViewTheSelectedPicture()
    {
        PickerFixture f;
        frmSelectScreenShot picker(nullptr, *f.session);
        picker.show();
        {
            Opened opened;
            // Nothing selected: no key opens anything.
            for (const Qt::Key key : {Qt::Key_A, Qt::Key_Return, Qt::Key_Space})
                QTest::keyClick(picker.File1, key);
            emit picker.VistaButton1->Click();
            QCOMPARE(opened.watcher.seen(), 0);
            QCOMPARE(f.session->ScreenShotPath(), f.home.file(QStringLiteral("ScreenShots/")));
        }
        picker.File1->setCurrentRow(1);
        for (const Qt::Key key : {Qt::Key_A, Qt::Key_Return, Qt::Key_Space, Qt::Key_Backspace, Qt::Key_Escape}) {
            Opened opened;
            QTest::keyClick(picker.File1, key);
            QCOMPARE(opened.paths, QStringList{f.home.file(QStringLiteral("ScreenShots/Word.jpg"))});
            QCOMPARE(opened.positions, QList<int>{1});
        }
        QCOMPARE(f.session->ScreenShotPath(), f.home.file(QStringLiteral("ScreenShots/Word.jpg")));
        // Escape opened the viewer instead of closing the picker.
        QVERIFY(picker.isVisible());
        {
            Opened opened;
            QTest::keyClick(picker.File1, Qt::Key_Down); // moving is no character key
            QCOMPARE(opened.watcher.seen(), 0);
            emit picker.VistaButton1->Click();
            QCOMPARE(opened.paths, QStringList{f.home.file(QStringLiteral("ScreenShots/word_b.bmp"))});
        }
    }

    void deleteAsksFirst()
    {
        PickerFixture f;
        frmSelectScreenShot picker(nullptr, *f.session);
        emit picker.VistaButton2->Click();
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Пожалуйста выберите что нужно удалить!")});
        QCOMPARE(f.seam.messages[0].form, zv::MessageForm::OkExclamation);

        picker.File1->setCurrentRow(0);
        f.seam.messageAnswers.enqueue(zv::MessageAnswer::No);
        emit picker.VistaButton2->Click();
        QCOMPARE(f.seam.messages[1].text, QStringLiteral("Вы действительно хотите удалить этот скриншот?"));
        QCOMPARE(f.seam.messages[1].form, zv::MessageForm::YesNoQuestion);
        QCOMPARE(picker.pictures().size(), 3);

        f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
        emit picker.VistaButton2->Click();
        QCOMPARE(picker.pictures(), (QStringList{QStringLiteral("Word.jpg"), QStringLiteral("word_b.bmp")}));
        QVERIFY(!QFile::exists(f.home.file(QStringLiteral("ScreenShots/Word 2007.bmp"))));
        QVERIFY(picker.File1->selectedItems().isEmpty());
        QCOMPARE(f.seam.messages.size(), 3);
    }
};

QTEST_MAIN(TestPicker)
#include "tst_frmselectscreenshot.moc"
