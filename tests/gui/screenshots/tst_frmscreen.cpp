#include "ScriptedSeam.h"
#include "TempHome.h"
#include "TestPictures.h"
#include "core/INI.h"
#include "gui/screenshots/frmScreen.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QScreen>
#include <QTest>

using namespace zvtest::pictures;

namespace {

// Pictures of the entry Doom in a fresh program folder, each a different size so that the
// window shows which one it holds.
struct ViewerFixture
{
    zvtest::TempHome home;
    zvtest::ScriptedSeam seam;
    QStringList names;

    explicit ViewerFixture(const QList<QSize> &sizes = {})
    {
        for (qsizetype i = 0; i < sizes.size(); ++i) {
            const QString name = QStringLiteral("Doom_%1.bmp").arg(i);
            writeFile(home.file(QStringLiteral("ScreenShots/") + name),
                      bmp(halves(sizes[i].width(), sizes[i].height(), Qt::red, Qt::blue), 24));
            names << name;
        }
    }

    QString path(const QString &name) const { return home.file(QStringLiteral("ScreenShots/") + name); }
};

QRect availableArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class TestViewer : public QObject
{
    Q_OBJECT

private slots:
    void pictureSizedFramelessCentredWindow()
    {
        QString shot;
        bool several = false;
        ViewerFixture f;
        QVERIFY(availableArea().width() >= 800 && availableArea().height() >= 600);
        QVERIFY(writeFile(f.path(QStringLiteral("Doom.jpg")), jpeg(halves(800, 600, Qt::red, Qt::blue))));
        shot = f.path(QStringLiteral("Doom.jpg"));
        frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several);
        QVERIFY(viewer.isLoaded());
        viewer.show();
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        QCOMPARE(viewer.size(), QSize(800, 600));
        QCOMPARE(viewer.Image1->geometry(), QRect(0, 0, 800, 600));
        QVERIFY(viewer.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(viewer.geometry().center(), availableArea().center());
        QCOMPARE(viewer.windowTitle(), QStringLiteral("Скриншот к Doom"));
        QVERIFY(f.seam.messages.isEmpty());
    }

    void largerThanTheScreenIsScaledDown()
    {
        QString shot;
        bool several = false;
        ViewerFixture f({QSize(availableArea().width() * 2, availableArea().height())});
        shot = f.path(f.names[0]);
        frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several);
        QVERIFY(viewer.isLoaded());
        QCOMPARE(viewer.size(), QSize(availableArea().width(), availableArea().height() / 2));
    }

    void slangCaption()
    {
        QString shot;
        bool several = false;
        ViewerFixture f({QSize(20, 20)});
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        shot = f.path(f.names[0]);
        frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several);
        QCOMPARE(viewer.windowTitle(), QStringLiteral("Малюног к Doom"));
    }

    void steppingWrapsBothWaysOnlyFromThePicker()
    {
        QString shot;
        bool several = false;
        ViewerFixture f({QSize(30, 10), QSize(40, 10), QSize(50, 10)});
        several = true;
        shot = f.path(f.names[2]);
        frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several, f.names, 2);
        viewer.show();
        QCOMPARE(viewer.width(), 50);
        QTest::keyClick(&viewer, Qt::Key_Right);
        QCOMPARE(viewer.currentPosition(), 0);
        QCOMPARE(viewer.width(), 30);
        QCOMPARE(viewer.geometry().center().x(), availableArea().center().x());
        QTest::keyClick(&viewer, Qt::Key_Down);
        QCOMPARE(viewer.width(), 40);
        QTest::keyClick(&viewer, Qt::Key_Up);
        QTest::keyClick(&viewer, Qt::Key_Left);
        QCOMPARE(viewer.currentPosition(), 2);
        QCOMPARE(viewer.width(), 50);
        // Stepping leaves the caption.
        QCOMPARE(viewer.windowTitle(), QStringLiteral("Скриншот к Doom"));

        // Opened for a single picture, the arrows do nothing.
        several = false;
        frmScreen single(nullptr, QStringLiteral("Doom"), shot, several, f.names, 0);
        single.show();
        QTest::keyClick(&single, Qt::Key_Right);
        QTest::keyClick(&single, Qt::Key_Left);
        QCOMPARE(single.width(), 50);
        QVERIFY(single.isVisible());
    }

    void spaceEscapeAndAClickClose()
    {
        QString shot;
        bool several = false;
        ViewerFixture f({QSize(60, 40)});
        shot = f.path(f.names[0]);
        for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Escape}) {
            frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several);
            viewer.show();
            QTest::keyClick(&viewer, Qt::Key_A);
            QVERIFY(viewer.isVisible());
            QTest::keyClick(&viewer, key);
            QVERIFY(!viewer.isVisible());
        }
        frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several);
        viewer.show();
        QTest::mouseClick(viewer.Image1, Qt::LeftButton, {}, QPoint(30, 20));
        QVERIFY(!viewer.isVisible());
    }

    void deletedOrBrokenPicturesAreNotShown()
    {
        QString shot;
        bool several = false;
        ViewerFixture f({QSize(30, 10), QSize(40, 10), QSize(50, 10)});
        shot = f.path(QStringLiteral("gone.jpg"));
        {
            frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several);
            QVERIFY(!viewer.isLoaded());
            QVERIFY(f.seam.messages.isEmpty());
        }
        // A file that is no picture: the user is told, the viewer is not shown.
        QVERIFY(writeFile(f.path(QStringLiteral("Doom.txt")), "notes"));
        shot = f.path(QStringLiteral("Doom.txt"));
        {
            frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several);
            QVERIFY(!viewer.isLoaded());
            QCOMPARE(f.seam.messages.size(), 1);
            QVERIFY(f.seam.messages[0].text.startsWith(QStringLiteral("Не удалось показать скриншот Doom.txt")));
        }
        // Stepping passes over a picture deleted meanwhile, and closes when none is left.
        several = true;
        shot = f.path(f.names[0]);
        frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several, f.names, 0);
        viewer.show();
        QFile::remove(f.path(f.names[1]));
        QTest::keyClick(&viewer, Qt::Key_Right);
        QCOMPARE(viewer.currentPosition(), 2);
        QCOMPARE(viewer.width(), 50);
        QFile::remove(f.path(f.names[0]));
        QFile::remove(f.path(f.names[2]));
        QTest::keyClick(&viewer, Qt::Key_Right);
        QVERIFY(!viewer.isVisible());
    }

    void animatedGifPlays()
    {
        QString shot;
        bool several = false;
        ViewerFixture f;
        const QString path = f.path(QStringLiteral("Doom.gif"));
        QDir().mkpath(f.home.file(QStringLiteral("ScreenShots")));
        QVERIFY(convert({QStringLiteral("-delay"), QStringLiteral("5"), QStringLiteral("-size"),
                         QStringLiteral("40x30"), QStringLiteral("xc:red"), QStringLiteral("xc:blue"),
                         QStringLiteral("-loop"), QStringLiteral("0"), path}));
        shot = path;
        frmScreen viewer(nullptr, QStringLiteral("Doom"), shot, several);
        QVERIFY(viewer.isLoaded());
        QCOMPARE(viewer.size(), QSize(40, 30));
        QVERIFY(viewer.Image1->movie());
        QTRY_VERIFY(viewer.Image1->movie()->currentFrameNumber() == 1);
    }
};

QTEST_MAIN(TestViewer)
#include "tst_frmscreen.moc"
