#include "TempHome.h"
#include "core/INI.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"

#include <QDialog>
#include <QDir>
#include <QIcon>
#include <QTest>
#include <QTimer>
#include <QWidget>

class TestWindowHelpers : public QObject
{
    Q_OBJECT

private slots:
    void opacityIsClamped()
    {
        QCOMPARE(zv::clampOpacity(0), 125);
        QCOMPARE(zv::clampOpacity(124), 125);
        QCOMPARE(zv::clampOpacity(200), 200);
        QCOMPARE(zv::clampOpacity(300), 255);
        // The test platform has no translucency: the window stays as it was.
        QWidget window;
        ApplyOpacity(&window, 130);
        QCOMPARE(window.windowOpacity(), 1.0);
    }

    void appearanceStepFollowsOnTop()
    {
        zvtest::TempHome home;
        QWidget plain;
        ApplyWindowSettings(&plain);
        QVERIFY(!plain.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        WriteOption(QStringLiteral("OnTop"), QStringLiteral("1"));
        QWidget onTop;
        onTop.show();
        const QPoint where = onTop.pos();
        ApplyWindowSettings(&onTop);
        QVERIFY(onTop.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(onTop.isVisible());
        QCOMPARE(onTop.pos(), where);
        ClearTopmost(&onTop);
        QVERIFY(!onTop.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(onTop.isVisible());
    }

    void topmostLeavesARunningDialogOpen()
    {
        QDialog dialog;
        bool visibleAfterBoth = false;
        QTimer::singleShot(0, &dialog, [&] {
            SetTopmost(&dialog);
            const bool onTop = dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            ClearTopmost(&dialog);
            visibleAfterBoth = onTop && dialog.isVisible() && !dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            dialog.done(7);
        });
        // Re-creating the window would end exec() early with 0.
        QCOMPARE(dialog.exec(), 7);
        QVERIFY(visibleAfterBoth);
    }

    void fileExistsWithWildcards()
    {
        zvtest::TempHome home;
        home.write(QStringLiteral("ScreenShots/Doom [beta]1.JPG"), "x");
        home.write(QStringLiteral("ScreenShots/.hidden"), "x");
        QDir(home.path()).mkpath(QStringLiteral("ScreenShots/Quake folder"));
        const QString shots = home.file(QStringLiteral("ScreenShots/"));
        QVERIFY(FileExists(shots + QStringLiteral("doom [BETA]*")));
        QVERIFY(FileExists(shots + QStringLiteral("Doom [beta]?.jpg")));
        // Brackets are plain characters, not a character class.
        QVERIFY(!FileExists(shots + QStringLiteral("Doom b*")));
        // Folders and hidden files do not count; a missing folder is simply false.
        QVERIFY(!FileExists(shots + QStringLiteral("Quake*")));
        QVERIFY(!FileExists(shots + QStringLiteral(".hid*")));
        QVERIFY(!FileExists(home.file(QStringLiteral("Nowhere/*"))));
    }

    void listContainsIgnoresCase()
    {
        const QStringList items{QStringLiteral("Doom"), QStringLiteral("Ёжик")};
        QVERIFY(ListContains(QStringLiteral("DOOM"), items));
        QVERIFY(ListContains(QStringLiteral("ёЖИК"), items));
        QVERIFY(!ListContains(QStringLiteral("Ежик"), items));
        QVERIFY(!ListContains(QStringLiteral("Doom"), QStringList()));
        // The same letter-case rule as everywhere else (core/LetterCase.h): full case folding.
        QVERIFY(ListContains(QStringLiteral("STRASSE"), {QStringLiteral("Straße")}));
        QVERIFY(ListContains(QStringLiteral("λογος"), {QStringLiteral("ΛΟΓΟΣ")}));
        QVERIFY(!ListContains(QStringLiteral("Рор"), {QStringLiteral("Pop")}));
    }

    void titleBarHidesAndComesBack()
    {
        QWidget window;
        window.setWindowTitle(QStringLiteral("Скриншот к Doom"));
        ShowTitleBar(&window, false);
        QVERIFY(window.windowTitle().isEmpty());
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        ShowTitleBar(&window, true);
        QCOMPARE(window.windowTitle(), QStringLiteral("Скриншот к Doom"));
        QVERIFY(!window.windowFlags().testFlag(Qt::FramelessWindowHint));
        // Without a caption the title bar stays away.
        QWidget untitled;
        ShowTitleBar(&untitled, false);
        ShowTitleBar(&untitled, true);
        QVERIFY(untitled.windowFlags().testFlag(Qt::FramelessWindowHint));
    }

    void iconHasAllSizes()
    {
        QWidget window;
        SetWindowIcon(&window, QStringLiteral("AAA"), true);
        const QList<QSize> sizes = window.windowIcon().availableSizes();
        for (const int s : {16, 24, 32, 48})
            QVERIFY(sizes.contains(QSize(s, s)));
        QCOMPARE(QApplication::windowIcon().availableSizes().size(), sizes.size());
    }
};

QTEST_MAIN(TestWindowHelpers)
#include "tst_window_helpers.moc"
