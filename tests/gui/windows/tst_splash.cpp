#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/INI.h"
#include "gui/controls/EventLabel.h"
#include "gui/windows/frmLogo.h"
#include "gui/windows/frmLogo2.h"

#include <QApplication>
#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include <memory>

namespace {

// A splash as start-up shows it, with its timers held so that the test steps them.
struct Splash
{
    int handOvers = 0;
    QPointer<frmLogo> window = new frmLogo([this] { ++handOvers; });

    Splash()
    {
        window->setManualTime(true);
        window->show();
    }
    ~Splash() { delete window.data(); }
    frmLogo *operator->() const { return window; }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            window->Timer1_Timer();
    }
};

void click(QWidget *widget, QPoint at)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}

template <typename Window> QList<Window *> shown()
{
    QList<Window *> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(w); window && window->isVisible())
            windows << window;
    }
    return windows;
}

} // namespace

class TestSplash : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<zvtest::TempHome> m_home;
    std::unique_ptr<zvtest::ScriptedSeam> m_seam;

private slots:
    void init()
    {
        m_home = std::make_unique<zvtest::TempHome>();
        m_seam = std::make_unique<zvtest::ScriptedSeam>();
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(m_seam->messages.isEmpty());
        m_seam.reset();
        m_home.reset();
    }

    void growsFromNothingCentredTickByTick()
    {
        Splash splash;
        const QRect screen = splash->screen()->geometry();
        QCOMPARE(splash->widthTwips(), 0);
        QCOMPARE(splash->heightTwips(), 0);
        QVERIFY(splash->width() <= 1 && splash->height() <= 1);
        QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
        for (int tick = 1; tick <= 30; ++tick) {
            splash.ticks(1);
            const QSize expected(std::min(16 * tick, 400), std::min(10 * tick, 200));
            QCOMPARE(splash->size(), expected);
            // Centred, to the pixel the twips allow.
            QVERIFY(qAbs(splash->geometry().center().x() - screen.center().x()) <= 1);
            QVERIFY(qAbs(splash->geometry().center().y() - screen.center().y()) <= 1);
            QCOMPARE(splash->timer2Running(), tick >= 25);
        }
        QCOMPARE(splash->widthTwips(), 6000);
        QCOMPARE(splash->heightTwips(), 3000);
        // Exactly full size on the tick that finishes the width; the height was full at 20.
        Splash other;
        other.ticks(20);
        QCOMPARE(other->size(), QSize(320, 200));
        QVERIFY(!other->timer2Running());
        other.ticks(5);
        QCOMPARE(other->size(), QSize(400, 200));
        QVERIFY(other->timer2Running());
        QCOMPARE(other.handOvers, 0);
    }

    void thePictureIsRevealedFromItsTopLeftCorner()
    {
        Splash splash;
        splash.ticks(10);
        const QImage shot = splash->grab().toImage();
        const QImage front(QStringLiteral(":/pictures/splash-front.png"));
        QCOMPARE(shot.size(), QSize(160, 100));
        QCOMPARE(shot.convertToFormat(QImage::Format_RGB32),
                 front.copy(0, 0, 160, 100).convertToFormat(QImage::Format_RGB32));
    }

    void handsOverOnceWhenGrown()
    {
        Splash splash;
        splash.ticks(25);
        splash->Timer2_Timer();
        QCOMPARE(splash.handOvers, 1);
        QVERIFY(!splash->isVisible());
        QVERIFY(!splash->timer1Running() && !splash->timer2Running());
        // A late timer or click changes nothing.
        splash->Timer2_Timer();
        splash->handOver();
        QCOMPARE(splash.handOvers, 1);
    }

    void aClickOnThePictureSkipsTheRest()
    {
        Splash splash;
        splash.ticks(6);
        QWidget *picture = splash->findChild<EventLabel *>(QStringLiteral("Image1"));
        click(picture, QPoint(20, 20));
        QCOMPARE(splash.handOvers, 1);
        QVERIFY(!splash->isVisible());
        QVERIFY(!splash->timer2Running());
        QVERIFY(shown<frmLogo2>().isEmpty());
    }

    void theHotSpotOpensTheLogoAndTheSplashGoesOn()
    {
        Splash splash;
        splash.ticks(25);
        // The eggs in the nest hide the hot spot; it lies above the picture.
        const QPoint eggs(200, 100);
        QCOMPARE(splash->childAt(eggs)->objectName(), QStringLiteral("Label1"));
        QCOMPARE(splash->childAt(QPoint(20, 20))->objectName(), QStringLiteral("Image1"));
        QTest::mouseClick(splash->childAt(eggs), Qt::LeftButton, {},
                          splash->childAt(eggs)->mapFrom(&*splash.window, eggs));
        QCOMPARE(shown<frmLogo2>().size(), 1);
        QCOMPARE(splash.handOvers, 0);
        QVERIFY(splash->timer2Running());
        splash->Timer2_Timer();
        QCOMPARE(splash.handOvers, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(splash.window.isNull());
        QCOMPARE(shown<frmLogo2>().size(), 1);
    }

    void logoWindowsOpenOneAnotherAndCloseTogether()
    {
        auto *logo2 = new frmLogo2;
        logo2->show();
        QCOMPARE(logo2->size(), QSize(473, 255));
        QCOMPARE(logo2->geometry().center(), logo2->screen()->geometry().center());
        QCOMPARE(logo2->grab().toImage().convertToFormat(QImage::Format_RGB32),
                 QImage(QStringLiteral(":/pictures/logo-hatched.png"))
                     .copy(0, 0, 473, 255)
                     .convertToFormat(QImage::Format_RGB32));
        click(logo2, QPoint(10, 10));
        QPointer<frmLogo3> logo3 = logo2->secondWindow();
        QVERIFY(logo3 && logo3->isVisible());
        QCOMPARE(logo3->size(), QSize(475, 318));
        // Clicked again, the same second window comes forward.
        click(logo2, QPoint(10, 10));
        QCOMPARE(shown<frmLogo3>().size(), 1);
        QPointer<frmLogo2> first = logo2;
        click(logo3, QPoint(10, 10));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(first.isNull());
        QVERIFY(logo3.isNull());
    }

    void splashFollowsTheAppearanceSettings()
    {
        WriteOption(QStringLiteral("OnTop"), QStringLiteral("1"));
        Splash splash;
        QVERIFY(splash->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }
};

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
