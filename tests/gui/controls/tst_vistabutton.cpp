#include "gui/controls/VistaButton.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>

using Picture = VistaButton::Picture;

namespace {

const Picture kNormal{Picture::Pc, 0};
const Picture kPressed{Picture::Pc, 1};
const Picture kDisabled{Picture::Pc, 2};
const Picture kHover{Picture::Pc, 3};
Picture moves(int k)
{
    return {Picture::Moves, k};
}
Picture downs(int k)
{
    return {Picture::Downs, k};
}

QString name(const Picture &p)
{
    static const char *const sets[] = {"pc", "moves", "downs"};
    return QStringLiteral("%1(%2)").arg(QLatin1String(sets[p.set])).arg(p.index);
}

// Row 2 (upper band) and row 19 (bottom line) of the centre column, per face, from the colour tables.
struct Rgb
{
    double r, g, b;
};
const Rgb kRow2[4] = {{240, 240, 240}, {169, 199, 214}, {244, 244, 244}, {223, 242, 252}};
const Rgb kRow19[4] = {{236, 236, 236}, {154, 210, 240}, {255, 255, 255}, {215, 239, 252}};
const double kWeights[5] = {0, 0.24, 0.52, 0.875, 1};

QRgb expectedAt(const Rgb (&table)[4], const Picture &p)
{
    if (p.set == Picture::Pc)
        return qRgb(int(table[p.index].r), int(table[p.index].g), int(table[p.index].b));
    const Rgb a = table[p.set == Picture::Moves ? 0 : 1];
    const Rgb b = table[3];
    const double w = kWeights[p.index];
    return qRgb(int(std::round(a.r + (b.r - a.r) * w)), int(std::round(a.g + (b.g - a.g) * w)),
                int(std::round(a.b + (b.b - a.b) * w)));
}

QString rgbText(QRgb c)
{
    return QStringLiteral("%1,%2,%3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

// The button's own surface, without the caption on top, in device pixels.
QImage drawnSurface(VistaButton *button)
{
    const qreal dpr = button->devicePixelRatioF();
    QImage image(QSize(qRound(button->width() * dpr), qRound(button->height() * dpr)), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::magenta);
    button->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return image;
}

// A host window with the program's background and one button, time and pointer under the test's control.
struct Rig
{
    QWidget host;
    VistaButton *button = nullptr;
    QPoint pointer; // global
    QStringList log;

    explicit Rig(QSize size = QSize(75, 25))
    {
        QPalette pal = host.palette();
        pal.setColor(QPalette::Window, QColor(240, 238, 224));
        host.setPalette(pal);
        host.setAutoFillBackground(true);
        host.resize(220, 120);
        button = new VistaButton(&host);
        button->setObjectName(QStringLiteral("cmdTest"));
        button->setGeometry(QRect(QPoint(30, 40), size));
        button->setCaption(QStringLiteral("Сохранить"));
        button->setManualTime(true);
        button->setPointerSource([this] { return pointer; });
        host.show();

        QObject::connect(button, &VistaButton::Click, &host, [this] { log << QStringLiteral("Click"); });
        QObject::connect(button, &VistaButton::MouseOut, &host, [this] { log << QStringLiteral("MouseOut"); });
        auto mouse = [this](const char *what) {
            return [this, what](int b, int s, float x, float y) {
                log << QStringLiteral("%1 %2 %3 %4 %5").arg(QLatin1String(what)).arg(b).arg(s).arg(x).arg(y);
            };
        };
        QObject::connect(button, &VistaButton::MouseDown, &host, mouse("MouseDown"));
        QObject::connect(button, &VistaButton::MouseMove, &host, mouse("MouseMove"));
        QObject::connect(button, &VistaButton::MouseUp, &host, mouse("MouseUp"));
        QObject::connect(button, &VistaButton::KeyDown, &host,
                         [this](int k, int s) { log << QStringLiteral("KeyDown %1 %2").arg(k).arg(s); });
        QObject::connect(button, &VistaButton::KeyPress, &host,
                         [this](int a) { log << QStringLiteral("KeyPress %1").arg(a); });
        QObject::connect(button, &VistaButton::KeyUp, &host,
                         [this](int k, int s) { log << QStringLiteral("KeyUp %1 %2").arg(k).arg(s); });
    }

    // A pointer move with no button held, delivered to `target` (the button or its label) at a
    // point in the target's coordinates.
    void moveOver(QWidget *target, QPoint local)
    {
        pointer = target->mapToGlobal(local);
        QMouseEvent event(QEvent::MouseMove, local, target->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    void moveTo(QPoint local) { moveOver(button, local); }
    void pointerOutside() { pointer = button->mapToGlobal(QPoint(-5, 12)); }
    QLabel *label() const { return button->findChild<QLabel *>(QStringLiteral("lbl")); }

    // Runs the frame timer until it stops by itself; returns the pictures it drew.
    QStringList runFrames()
    {
        QStringList drawn;
        for (int guard = 0; guard < 10 && button->advanceAnimation(); ++guard)
            drawn << name(button->shownPicture());
        return drawn;
    }
};

} // namespace

// Checks the picture the button says it shows, and that its surface really shows it.
#define VERIFY_SHOWS(rig, picture)                                                                                     \
    do {                                                                                                               \
        QCOMPARE(name((rig).button->shownPicture()), name(picture));                                                   \
        if (!surfaceShows((rig).button, picture))                                                                      \
            QFAIL("the surface does not show the expected picture");                                                   \
    } while (false)

class TestVistaButton : public QObject
{
    Q_OBJECT

    static bool surfaceShows(VistaButton *button, const Picture &picture)
    {
        const QImage drawn = drawnSurface(button);
        const int scale = std::max(1, qRound(button->devicePixelRatioF()));
        const QImage expected = zv::vista::nineSlice(button->picture(picture), drawn.size(), scale);
        // Centre column, rows 2 and 19 of the picture, against the colour tables.
        const int cx = drawn.width() / 2;
        const QRgb row2 = drawn.pixel(cx, 2 * scale);
        const QRgb row19 = drawn.pixel(cx, drawn.height() - 1 - scale);
        bool ok = true;
        if (row2 != expectedAt(kRow2, picture) || row19 != expectedAt(kRow19, picture)) {
            qWarning("%s: row 2 %s, row 19 %s", qPrintable(name(picture)), qPrintable(rgbText(row2)),
                     qPrintable(rgbText(row19)));
            ok = false;
        }
        for (int y = 0; y < drawn.height() && ok; ++y)
            for (int x = 0; x < drawn.width() && ok; ++x)
                if ((drawn.pixel(x, y) & 0xFFFFFF) != (expected.pixel(x, y) & 0xFFFFFF)) {
                    qWarning("%s differs at %d,%d", qPrintable(name(picture)), x, y);
                    ok = false;
                }
        return ok;
    }

private slots:
    void restsOnTheNormalFaceWithACentredBlackCaption()
    {
        Rig rig;
        QVERIFY(QTest::qWaitForWindowExposed(&rig.host));
        VERIFY_SHOWS(rig, kNormal);
        QLabel *lbl = rig.label();
        QVERIFY(lbl);
        QCOMPARE(lbl->text(), QStringLiteral("Сохранить"));
        QCOMPARE(lbl->x(), (75 - lbl->width()) / 2);
        QCOMPARE(lbl->y(), (25 - lbl->height()) / 2);
        QCOMPARE(lbl->palette().color(QPalette::WindowText), QColor(0, 0, 0));
        QVERIFY(!rig.button->animationRunning());
        QVERIFY(!rig.button->leaveWatcherRunning());
        // Until a caption is given, a button is captioned with its name.
        VistaButton fresh;
        fresh.setObjectName(QStringLiteral("VistaButton1"));
        QCOMPARE(fresh.Caption(), QStringLiteral("VistaButton1"));
        fresh.setCaption(QStringLiteral("OK"));
        fresh.setObjectName(QStringLiteral("cmdOk"));
        QCOMPARE(fresh.Caption(), QStringLiteral("OK"));
        // The rounded corners show the window behind.
        QCOMPARE(rgbText(drawnSurface(rig.button).pixel(0, 0)), QStringLiteral("240,238,224"));
    }

    void pointerEnteringPlaysTheHoverFrames()
    {
        Rig rig;
        rig.moveTo(QPoint(10, 5));
        QCOMPARE(rig.log, QStringList{QStringLiteral("MouseMove 0 0 10 5")});
        QVERIFY(rig.button->leaveWatcherRunning());
        QVERIFY(rig.button->animationRunning());
        VERIFY_SHOWS(rig, kNormal); // the first frame comes one tick later
        for (int k = 0; k < 5; ++k) {
            QVERIFY(rig.button->advanceAnimation());
            VERIFY_SHOWS(rig, moves(k));
            // Moving on over the control starts nothing new.
            rig.moveTo(QPoint(20 + k, 6));
        }
        QVERIFY(!rig.button->animationRunning());
        QVERIFY(!rig.button->advanceAnimation());
        VERIFY_SHOWS(rig, moves(4));
        QCOMPARE(rig.log.size(), 6);
    }

    void pointerLeavingFadesBackToNormal()
    {
        Rig rig;
        rig.moveTo(QPoint(10, 5));
        rig.runFrames();
        // The edges count as inside.
        rig.pointer = rig.button->mapToGlobal(QPoint(75, 25));
        QVERIFY(rig.button->advanceLeaveWatcher());
        QVERIFY(rig.button->leaveWatcherRunning());
        QVERIFY(!rig.log.contains(QStringLiteral("MouseOut")));

        rig.pointerOutside();
        QVERIFY(rig.button->advanceLeaveWatcher());
        QCOMPARE(rig.log.last(), QStringLiteral("MouseOut"));
        QVERIFY(!rig.button->leaveWatcherRunning());
        QStringList drawn;
        while (rig.button->animationRunning()) {
            rig.button->advanceAnimation();
            drawn << name(rig.button->shownPicture());
            VERIFY_SHOWS(rig, rig.button->shownPicture());
        }
        QCOMPARE(drawn, (QStringList{QStringLiteral("moves(4)"), QStringLiteral("moves(3)"), QStringLiteral("moves(2)"),
                                     QStringLiteral("moves(1)"), QStringLiteral("moves(0)")}));
        // Entering again starts a new hover run.
        rig.moveTo(QPoint(3, 3));
        QVERIFY(rig.button->animationRunning());
    }

    void leavingMidRunJumpsToHoverThenFades()
    {
        Rig rig;
        rig.moveTo(QPoint(10, 5));
        rig.button->advanceAnimation();
        rig.button->advanceAnimation();
        VERIFY_SHOWS(rig, moves(1));
        rig.pointerOutside();
        rig.button->advanceLeaveWatcher();
        QCOMPARE(rig.runFrames(),
                 (QStringList{QStringLiteral("moves(4)"), QStringLiteral("moves(3)"), QStringLiteral("moves(2)"),
                              QStringLiteral("moves(1)"), QStringLiteral("moves(0)")}));
    }

    void pressShowsPressedAndReleasePlaysTheReleaseFrames()
    {
        Rig rig;
        rig.moveTo(QPoint(10, 5));
        rig.button->advanceAnimation();
        QTest::mousePress(rig.button, Qt::LeftButton, Qt::ShiftModifier, QPoint(12, 7));
        QVERIFY(!rig.button->animationRunning()); // the hover run is stopped
        VERIFY_SHOWS(rig, kPressed);
        QTest::mouseMove(rig.button, QPoint(14, 8)); // dragging with the button held
        VERIFY_SHOWS(rig, kPressed);
        QTest::mouseRelease(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(14, 8));
        QCOMPARE(rig.log, (QStringList{QStringLiteral("MouseMove 0 0 10 5"), QStringLiteral("MouseDown 1 1 12 7"),
                                       QStringLiteral("MouseMove 1 0 14 8"), QStringLiteral("MouseUp 1 0 14 8"),
                                       QStringLiteral("Click")}));
        VERIFY_SHOWS(rig, kPressed);
        QStringList drawn;
        while (rig.button->advanceAnimation()) {
            drawn << name(rig.button->shownPicture());
            VERIFY_SHOWS(rig, rig.button->shownPicture());
        }
        QCOMPARE(drawn, (QStringList{QStringLiteral("downs(0)"), QStringLiteral("downs(1)"), QStringLiteral("downs(2)"),
                                     QStringLiteral("downs(3)"), QStringLiteral("downs(4)")}));
    }

    void dragOutAndReleaseDuringTheFadeCutsToHover()
    {
        Rig rig;
        rig.moveTo(QPoint(10, 5));
        rig.runFrames();
        QTest::mousePress(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
        // Outside while holding the mouse: nothing is raised or drawn.
        QTest::mouseMove(rig.button, QPoint(-10, 5));
        VERIFY_SHOWS(rig, kPressed);
        QCOMPARE(rig.log.filter(QStringLiteral("MouseMove")).size(), 1);

        rig.pointer = rig.button->mapToGlobal(QPoint(-10, 5));
        rig.button->advanceLeaveWatcher();
        QCOMPARE(rig.log.last(), QStringLiteral("MouseOut"));
        rig.button->advanceAnimation();
        VERIFY_SHOWS(rig, moves(4));
        QTest::mouseRelease(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(-10, 5));
        VERIFY_SHOWS(rig, kHover);
        QVERIFY(!rig.button->animationRunning());
        QVERIFY(!rig.button->leaveWatcherRunning());
        // Released outside: no click; the hover face stays until the pointer comes back and leaves.
        QVERIFY(!rig.log.contains(QStringLiteral("Click")));
        QCOMPARE(rig.log.last(), QStringLiteral("MouseUp 1 0 -10 5"));
    }

    void dragOutAndReleaseAfterTheFadePlaysTheReleaseRun()
    {
        Rig rig;
        rig.moveTo(QPoint(10, 5));
        rig.runFrames();
        QTest::mousePress(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
        rig.pointerOutside();
        rig.button->advanceLeaveWatcher();
        rig.runFrames();
        VERIFY_SHOWS(rig, moves(0));
        QTest::mouseRelease(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(-5, 12));
        QCOMPARE(rig.runFrames().last(), QStringLiteral("downs(4)"));
        VERIFY_SHOWS(rig, downs(4));
        QVERIFY(!rig.log.contains(QStringLiteral("Click")));
    }

    void otherButtonsDoNothing()
    {
        Rig rig;
        for (const Qt::MouseButton b : {Qt::RightButton, Qt::MiddleButton}) {
            QTest::mousePress(rig.button, b, Qt::NoModifier, QPoint(10, 10));
            QTest::mouseRelease(rig.button, b, Qt::NoModifier, QPoint(10, 10));
        }
        QTest::mouseDClick(rig.button, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        QTest::mouseRelease(rig.button, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        QVERIFY(rig.log.isEmpty());
        VERIFY_SHOWS(rig, kNormal);
        QVERIFY(!rig.button->animationRunning());
    }

    void doubleClickClicksOnce()
    {
        Rig rig;
        QTest::mouseClick(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QTest::mouseDClick(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        VERIFY_SHOWS(rig, kPressed);
        QTest::mouseRelease(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QCOMPARE(rig.log.count(QStringLiteral("Click")), 1);
        QCOMPARE(rig.log.filter(QStringLiteral("MouseUp")).size(), 2);
        // The second press cut the first release run short; the second release plays it again.
        QCOMPARE(rig.runFrames().size(), 5);
        VERIFY_SHOWS(rig, downs(4));
    }

    void theLabelReportsInItsOwnCoordinates()
    {
        Rig rig(QSize(150, 25));
        QLabel *lbl = rig.label();
        QVERIFY(lbl->x() > 5);
        rig.moveOver(lbl, QPoint(2, 3));
        QCOMPARE(rig.log, QStringList{QStringLiteral("MouseMove 0 0 2 3")});
        QVERIFY(rig.button->animationRunning());
        QTest::mousePress(lbl, Qt::LeftButton, Qt::ControlModifier, QPoint(4, 5));
        VERIFY_SHOWS(rig, kPressed);
        QTest::mouseRelease(lbl, Qt::LeftButton, Qt::NoModifier, QPoint(4, 5));
        QCOMPARE(rig.log.mid(1), (QStringList{QStringLiteral("MouseDown 1 2 4 5"), QStringLiteral("MouseUp 1 0 4 5"),
                                              QStringLiteral("Click")}));
    }

    void disabledLookAndNoPointerInput()
    {
        Rig rig;
        rig.button->setEnabled(false);
        QVERIFY(!rig.button->Enabled());
        VERIFY_SHOWS(rig, kDisabled);
        QLabel *lbl = rig.label();
        QCOMPARE(lbl->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(161, 161, 146));

        // The caption really is drawn in that colour: no pixel of it is darker.
        const QImage shot = rig.button->grab().toImage();
        const qreal dpr = shot.devicePixelRatio();
        const QRect area((QPointF(lbl->geometry().topLeft()) * dpr).toPoint(), lbl->size() * dpr);
        int darkest = 255;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                darkest = std::min(darkest, qGray(shot.pixel(x, y)));
        QVERIFY2(darkest >= qGray(qRgb(161, 161, 146)) - 2 && darkest < 200, qPrintable(QString::number(darkest)));

        QTest::mousePress(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        QTest::mouseRelease(rig.button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        rig.moveTo(QPoint(10, 10));
        rig.moveOver(lbl, QPoint(1, 1));
        QVERIFY(rig.log.isEmpty());
        QVERIFY(!rig.button->animationRunning());
        QVERIFY(!rig.button->leaveWatcherRunning());
        VERIFY_SHOWS(rig, kDisabled);

        rig.button->setEnabled(true);
        VERIFY_SHOWS(rig, kNormal);
        QCOMPARE(lbl->palette().color(QPalette::Active, QPalette::WindowText), QColor(0, 0, 0));
    }

    void aRunningWatcherStillReportsTheLeaveWhenDisabled()
    {
        Rig rig;
        rig.moveTo(QPoint(10, 5));
        rig.button->advanceAnimation();
        rig.button->advanceAnimation();
        // Disabling through the plain widget interface: the run goes on over the disabled face.
        static_cast<QWidget *>(rig.button)->setEnabled(false);
        VERIFY_SHOWS(rig, kDisabled);
        QCOMPARE(rig.label()->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(161, 161, 146));
        QVERIFY(rig.button->animationRunning());
        rig.button->advanceAnimation();
        VERIFY_SHOWS(rig, moves(2));
        rig.pointerOutside();
        rig.button->advanceLeaveWatcher();
        QCOMPARE(rig.log.last(), QStringLiteral("MouseOut"));
        QCOMPARE(rig.runFrames().last(), QStringLiteral("moves(0)"));
    }

    void settingEnabledRedrawsTheRestingFace()
    {
        Rig rig;
        rig.moveTo(QPoint(10, 5));
        rig.runFrames();
        VERIFY_SHOWS(rig, moves(4));
        rig.button->setEnabled(true);
        VERIFY_SHOWS(rig, kNormal);
    }

    void captionAndFontRecentreTheLabel()
    {
        Rig rig;
        QLabel *lbl = rig.label();
        rig.moveTo(QPoint(10, 5));
        rig.runFrames();
        const int narrow = lbl->width();
        rig.button->setCaption(QStringLiteral("Сохранить как"));
        QCOMPARE(rig.button->Caption(), QStringLiteral("Сохранить как"));
        QVERIFY(lbl->width() > narrow);
        QCOMPARE(lbl->x(), (75 - lbl->width()) / 2);
        VERIFY_SHOWS(rig, kNormal);

        QFont big(QStringLiteral("DejaVu Sans"));
        big.setPixelSize(18);
        const int shortLabel = lbl->height();
        rig.button->setFont(big);
        QCOMPARE(rig.button->Font(), big);
        QCOMPARE(lbl->font().pixelSize(), 18);
        QVERIFY(lbl->height() > shortLabel);
        QCOMPARE(lbl->x(), (75 - lbl->width()) / 2);
        QCOMPARE(lbl->y(), (25 - lbl->height()) / 2);

        // The host may also change it through the plain widget interface.
        QFont small = big;
        small.setPixelSize(9);
        static_cast<QWidget *>(rig.button)->setFont(small);
        QCOMPARE(rig.button->Font().pixelSize(), 9);
        QCOMPARE(lbl->y(), (25 - lbl->height()) / 2);

        rig.button->resize(120, 30);
        QCOMPARE(lbl->x(), (120 - lbl->width()) / 2);
        QCOMPARE(lbl->y(), (30 - lbl->height()) / 2);
        VERIFY_SHOWS(rig, kNormal);
    }

    void keysArePassedOn()
    {
        Rig rig;
        QTest::keyClick(rig.button, 'A', Qt::ShiftModifier);
        QTest::keyClick(rig.button, Qt::Key_Return);
        QTest::keyClick(rig.button, Qt::Key_Space);
        QTest::keyClick(rig.button, Qt::Key_F5, Qt::ControlModifier);
        // The modifier keys themselves go down and up around the key, as on the keyboard.
        QCOMPARE(
            rig.log,
            (QStringList{QStringLiteral("KeyDown 16 1"), QStringLiteral("KeyDown 65 1"), QStringLiteral("KeyPress 65"),
                         QStringLiteral("KeyUp 65 1"), QStringLiteral("KeyUp 16 0"), QStringLiteral("KeyDown 13 0"),
                         QStringLiteral("KeyPress 13"), QStringLiteral("Click"), QStringLiteral("KeyUp 13 0"),
                         QStringLiteral("KeyDown 32 0"), QStringLiteral("KeyPress 32"), QStringLiteral("Click"),
                         QStringLiteral("KeyUp 32 0"), QStringLiteral("KeyDown 17 2"), QStringLiteral("KeyDown 116 2"),
                         QStringLiteral("KeyUp 116 2"), QStringLiteral("KeyUp 17 0")}));
        // A Russian letter reports its key and its Windows-1251 character.
        rig.log.clear();
        QKeyEvent press(QEvent::KeyPress, 0x0424, Qt::NoModifier, QStringLiteral("ф"));
        QApplication::sendEvent(rig.button, &press);
        QCOMPARE(rig.log.first(), QStringLiteral("KeyDown 65 0"));
        QCOMPARE(rig.log.at(1), QStringLiteral("KeyPress 244"));
    }

    void pressKeysClickAFocusedButton_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("autoRepeat");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("clicks");
        QTest::newRow("space") << int(Qt::Key_Space) << 0 << false << true << true;
        QTest::newRow("return") << int(Qt::Key_Return) << 0 << false << true << true;
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << false << true << true;
        QTest::newRow("shift space") << int(Qt::Key_Space) << int(Qt::ShiftModifier) << false << true << true;
        QTest::newRow("held space repeats nothing") << int(Qt::Key_Space) << 0 << true << true << false;
        QTest::newRow("ctrl return") << int(Qt::Key_Return) << int(Qt::ControlModifier) << false << true << false;
        QTest::newRow("alt space") << int(Qt::Key_Space) << int(Qt::AltModifier) << false << true << false;
        QTest::newRow("tab") << int(Qt::Key_Tab) << 0 << false << true << false;
        QTest::newRow("disabled") << int(Qt::Key_Space) << 0 << false << false << false;
    }

    void pressKeysClickAFocusedButton()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, autoRepeat);
        QFETCH(bool, enabled);
        QFETCH(bool, clicks);
        Rig rig;
        rig.button->setEnabled(enabled);
        QSignalSpy clicked(rig.button, &VistaButton::Click);
        QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), QString(), autoRepeat);
        QApplication::sendEvent(rig.button, &press);
        QCOMPARE(clicked.size(), clicks ? 1 : 0);
        // The face stays as it was: only the pointer animates the glass.
        QCOMPARE(name(rig.button->shownPicture()), name(enabled ? kNormal : kDisabled));
    }

    void focusMarkShowsOnlyForTheKeyboard()
    {
        Rig rig;
        auto *before = new VistaButton(&rig.host);
        before->setGeometry(0, 0, 20, 20);
        before->stackUnder(rig.button);
        before->show();
        rig.host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.host));
        before->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
        QVERIFY(rig.button->hasFocus());
        QVERIFY(rig.button->showsFocusMark());
        // The mark lies inside the border, over the glass: the face itself is still the normal one.
        auto blackInMarkColumn = [&rig] {
            const QImage drawn = drawnSurface(rig.button);
            const qreal dpr = rig.button->devicePixelRatioF();
            int black = 0;
            for (int y = qRound(3 * dpr); y < qRound(21 * dpr); ++y)
                black += (drawn.pixel(qRound(3 * dpr), y) & 0xFFFFFF) == 0;
            return black;
        };
        QVERIFY(blackInMarkColumn() > 4);
        QCOMPARE(name(rig.button->shownPicture()), name(kNormal));

        before->setFocus(Qt::MouseFocusReason);
        QVERIFY(!rig.button->showsFocusMark());
        VERIFY_SHOWS(rig, kNormal);
        QCOMPARE(blackInMarkColumn(), 0);
        // A click gives focus without the mark; a press key then shows it.
        QTest::mouseClick(rig.button, Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(rig.button->hasFocus());
        QVERIFY(!rig.button->showsFocusMark());
        QTest::keyClick(rig.button, Qt::Key_Space);
        QVERIFY(rig.button->showsFocusMark());
    }

    void screenReadersSeeAPushButton()
    {
        Rig rig;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(rig.button);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Button);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Сохранить"));
        QCOMPARE(a->childCount(), 0); // the caption label is part of the button
        rig.button->setCaption(QStringLiteral("Сохранитъ"));
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Сохранитъ"));
        rig.button->setToolTip(QStringLiteral("Записать"));
        QCOMPARE(a->text(QAccessible::Description), QStringLiteral("Записать"));
        QVERIFY(a->state().focusable);
        QVERIFY(!a->state().pressed);

        QMouseEvent down(QEvent::MouseButtonPress, QPointF(10, 10), rig.button->mapToGlobal(QPointF(10, 10)),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rig.button, &down);
        QVERIFY(a->state().pressed);
        QMouseEvent up(QEvent::MouseButtonRelease, QPointF(10, 10), rig.button->mapToGlobal(QPointF(10, 10)),
                       Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(rig.button, &up);
        rig.log.clear();

        QAccessibleActionInterface *action = a->actionInterface();
        QVERIFY(action);
        QVERIFY(action->actionNames().contains(QAccessibleActionInterface::pressAction()));
        // The press arrives after the call has returned, as a dialog it opens would block it.
        action->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(rig.log.isEmpty());
        QTRY_COMPARE(rig.log, QStringList{QStringLiteral("Click")});

        rig.button->setEnabled(false);
        QVERIFY(a->state().disabled);
        action->doAction(QAccessibleActionInterface::pressAction());
        QCoreApplication::processEvents();
        QCOMPARE(rig.log, QStringList{QStringLiteral("Click")});
    }

    void realTimersRunTheSameSequences()
    {
        Rig rig;
        rig.button->setManualTime(false);
        rig.moveTo(QPoint(10, 5));
        QTRY_COMPARE_WITH_TIMEOUT(name(rig.button->shownPicture()), name(moves(4)), 3000);
        QVERIFY(rig.button->leaveWatcherRunning());
        rig.pointerOutside();
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.contains(QStringLiteral("MouseOut")), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(name(rig.button->shownPicture()), name(moves(0)), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.button->animationRunning(), 1000);
        QCOMPARE(rig.log.count(QStringLiteral("MouseOut")), 1);
    }

    void drawnCrispAtTheScreenDensity()
    {
        // Run once at density 1 and once at density 2 (QT_SCALE_FACTOR=2).
        Rig rig;
        const qreal dpr = rig.button->devicePixelRatioF();
        const int s = std::max(1, qRound(dpr));
        const QImage drawn = drawnSurface(rig.button);
        QCOMPARE(drawn.size(), QSize(qRound(75 * dpr), qRound(25 * dpr)));
        const QImage face = rig.button->picture(kNormal);
        // Corners pixel for pixel, each picture pixel a whole s x s block.
        for (int y = 0; y < 3 * s; ++y)
            for (int x = 0; x < 3 * s; ++x)
                QCOMPARE(rgbText(drawn.pixel(x, y)), rgbText(face.pixel(x / s, y / s)));
        // The border is exactly s device rows of border colour, with no blurred row after it.
        for (int y = 0; y < s; ++y)
            QCOMPARE(rgbText(drawn.pixel(drawn.width() / 2, y)), QStringLiteral("142,143,143"));
        QCOMPARE(rgbText(drawn.pixel(drawn.width() / 2, s)), QStringLiteral("254,254,254"));
        QCOMPARE(rgbText(drawn.pixel(drawn.width() / 2, drawn.height() - 1)), QStringLiteral("142,143,143"));
        QCOMPARE(rgbText(drawn.pixel(s - 1, drawn.height() / 2)), QStringLiteral("142,143,143"));
    }
};

QTEST_MAIN(TestVistaButton)
#include "tst_vistabutton.moc"
