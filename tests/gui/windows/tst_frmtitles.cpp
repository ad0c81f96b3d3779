#include "CaptureOutput.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "gui/windows/frmTitles.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <memory>

using zvtest::Capture;

namespace {

constexpr qint64 kCaptureBytes = 4096 * 4;

// A credits window as the about window opens it, with its timer held so the test steps it.
std::unique_ptr<frmTitles> openTitles()
{
    auto titles = std::make_unique<frmTitles>();
    titles->findChild<QTimer *>(QStringLiteral("tmrCast"))->stop();
    titles->show();
    return titles;
}

QFrame *cast(frmTitles &t)
{
    return t.findChild<QFrame *>(QStringLiteral("fraCast"));
}

QLabel *label(frmTitles &t)
{
    return t.findChild<QLabel *>(QStringLiteral("lblCast"));
}

} // namespace

class TestTitles : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<zvtest::TempHome> m_home;
    std::unique_ptr<zvtest::ScriptedSeam> m_seam;
    QList<std::shared_ptr<Capture>> m_captures;
    std::unique_ptr<zvtest::OutputFactoryGuard> m_output;

private slots:
    void init()
    {
        m_home = std::make_unique<zvtest::TempHome>();
        m_seam = std::make_unique<zvtest::ScriptedSeam>();
        m_captures.clear();
        m_output = std::make_unique<zvtest::OutputFactoryGuard>(zvtest::capturingFactory(m_captures, kCaptureBytes));
    }

    void cleanup()
    {
        QVERIFY(m_seam->messages.isEmpty());
        m_output.reset();
        m_seam.reset();
        m_home.reset();
    }

    void fillsTheScreenBlackAboveOtherWindows()
    {
        auto titles = openTitles();
        const QRect screen = titles->screen()->geometry();
        QCOMPARE(titles->geometry(), screen);
        QVERIFY(titles->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(titles->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(titles->isModal());
        QCOMPARE(titles->windowTitle(), QStringLiteral("О программе"));
        QCOMPARE(titles->palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(label(*titles)->palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(cast(*titles)->palette().color(QPalette::Window), QColor(6, 0, 0));
        QVERIFY(!titles->findChild<QPlainTextEdit *>(QStringLiteral("Text1"))->isVisible());
        QCOMPARE(titles->screenWidth(), screen.width() * 15);
        QCOMPARE(titles->screenHeight(), screen.height() * 15);
    }

    void theBlockStartsJustBelowTheScreenWithTheTextAtItsTop()
    {
        auto titles = openTitles();
        QFrame *fraCast = cast(*titles);
        QLabel *lblCast = label(*titles);
        const int screenHeightPx = titles->screen()->geometry().height();

        QCOMPARE(lblCast->text(), titles->findChild<QPlainTextEdit *>(QStringLiteral("Text1"))->toPlainText());
        QVERIFY(lblCast->text().contains(QStringLiteral("Команда Zorvanell")));
        QCOMPARE(lblCast->pos(), QPoint(0, 0));
        QCOMPARE(fraCast->x(), 0);
        QCOMPARE(fraCast->width(), titles->screen()->geometry().width());
        QCOMPARE(lblCast->width(), fraCast->width());
        // As tall as the wrapped text, and the block exactly that tall.
        QCOMPARE(lblCast->height(), lblCast->heightForWidth(lblCast->width()));
        QVERIFY(lblCast->height() > 10 * lblCast->fontMetrics().height());
        QCOMPARE(fraCast->height(), lblCast->height());
        QCOMPARE(titles->castHeight(), lblCast->height() * 15);
        QCOMPARE(titles->castTop(), titles->screenHeight());
        QCOMPARE(fraCast->y(), screenHeightPx);

        // The first tick lifts it 7 twips, so its first pixel row comes into view.
        titles->tmrCast_Timer();
        QCOMPARE(titles->castTop(), titles->screenHeight() - 7);
        QCOMPARE(fraCast->y(), screenHeightPx - 1);
        titles->tmrCast_Timer();
        QCOMPARE(titles->castTop(), titles->screenHeight() - 14);
    }

    void theTextIsCourierBoldAndCentred()
    {
        auto titles = openTitles();
        QLabel *lblCast = label(*titles);
        QCOMPARE(lblCast->font().family(), QStringLiteral("Courier New"));
        QCOMPARE(lblCast->font().pointSize(), 18);
        QVERIFY(lblCast->font().bold());
        QVERIFY(lblCast->wordWrap());
        QCOMPARE(lblCast->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    }

    void aTallBlockPassesWhollyBeforeItWraps()
    {
        auto titles = openTitles();
        const int height = titles->castHeight();
        QVERIFY2(height > titles->screenHeight(), "the credits should be taller than the test screen");

        // The first tick whose bottom edge is more than 200 twips above the top.
        const int ticks = (titles->screenHeight() + height + 200) / 7 + 1;
        for (int i = 1; i < ticks; ++i) {
            titles->tmrCast_Timer();
            QCOMPARE(titles->castTop(), titles->screenHeight() - 7 * i);
        }
        QVERIFY(titles->castTop() + height >= -200);
        QVERIFY(cast(*titles)->geometry().bottom() < 0); // out of sight before the wrap
        titles->tmrCast_Timer();
        QCOMPARE(titles->castTop(), titles->screenHeight());
        QCOMPARE(cast(*titles)->y(), titles->screen()->geometry().height());
    }

    void wrapsOnlyBeyondTwoHundredTwips()
    {
        auto titles = openTitles();
        const int height = titles->castHeight();
        titles->moveCast(-200 - height + 7);
        titles->tmrCast_Timer(); // bottom exactly 200 above the top: not yet
        QCOMPARE(titles->castTop() + height, -200);
        titles->tmrCast_Timer(); // 207 above: back to the bottom
        QCOMPARE(titles->castTop(), titles->screenHeight());

        titles->moveCast(-200 - height + 8);
        titles->tmrCast_Timer(); // 199 above
        QCOMPARE(titles->castTop() + height, -199);
    }

    void theTimerScrollsOnItsOwn()
    {
        frmTitles titles;
        auto *timer = titles.findChild<QTimer *>(QStringLiteral("tmrCast"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 10);
        titles.show();
        QTRY_VERIFY(titles.castTop() < titles.screenHeight());
        QCOMPARE((titles.screenHeight() - titles.castTop()) % 7, 0);
    }

    void aClickCloses_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("background") << QString();
        QTest::newRow("lblCast") << QStringLiteral("lblCast");
    }

    void aClickCloses()
    {
        QFETCH(QString, target);
        auto titles = openTitles();
        QWidget *widget = titles.get();
        QPoint at(10, 10);
        if (!target.isEmpty()) {
            titles->moveCast(0); // bring the text into view
            widget = titles->findChild<QWidget *>(target);
            at = QPoint(widget->width() / 2, 5);
        }
        QTRY_VERIFY_WITH_TIMEOUT(m_captures[0]->size() > 0, 5000); // the tune is playing
        QTest::mouseClick(widget, Qt::LeftButton, {}, at);
        QVERIFY(!titles->isVisible());
        QCOMPARE(titles->result(), int(QDialog::Rejected));
        QVERIFY(m_captures[0]->destroyed); // music stopped with the window
    }

    void keysThatTypeClose_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("closes");
        QTest::newRow("letter") << int(Qt::Key_A) << QStringLiteral("a") << true;
        QTest::newRow("cyrillic") << int(Qt::Key_unknown) << QStringLiteral("ж") << true;
        QTest::newRow("space") << int(Qt::Key_Space) << QStringLiteral(" ") << true;
        QTest::newRow("escape") << int(Qt::Key_Escape) << QStringLiteral("\x1b") << true;
        QTest::newRow("enter") << int(Qt::Key_Return) << QStringLiteral("\r") << true;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << QStringLiteral("\b") << true;
        QTest::newRow("up") << int(Qt::Key_Up) << QString() << false;
        QTest::newRow("right") << int(Qt::Key_Right) << QString() << false;
        QTest::newRow("F1") << int(Qt::Key_F1) << QString() << false;
        QTest::newRow("F5") << int(Qt::Key_F5) << QString() << false;
        QTest::newRow("shift") << int(Qt::Key_Shift) << QString() << false;
        QTest::newRow("delete") << int(Qt::Key_Delete) << QStringLiteral("\x7f") << false;
    }

    void keysThatTypeClose()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(bool, closes);
        auto titles = openTitles();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(titles.get(), &press);
        QCOMPARE(titles->isVisible(), !closes);
        QCOMPARE(bool(m_captures[0]->destroyed), closes);
    }

    void reopeningStartsTheTuneAgain()
    {
        for (int i = 0; i < 2; ++i) {
            auto titles = openTitles();
            QTRY_COMPARE_WITH_TIMEOUT(m_captures[i]->size(), kCaptureBytes, 5000);
            QTest::keyClick(titles.get(), Qt::Key_Escape);
            QVERIFY(m_captures[i]->destroyed);
        }
        QCOMPARE(m_captures.size(), 2);
        QCOMPARE(m_captures[1]->data(), m_captures[0]->data());
    }

    void runsSilentlyWithoutASoundDevice()
    {
        m_output.reset(); // puts the previous factory back before the next one goes in
        m_output = std::make_unique<zvtest::OutputFactoryGuard>([] { return std::unique_ptr<zv::AudioOutput>(); });
        auto titles = openTitles();
        titles->tmrCast_Timer();
        QCOMPARE(titles->castTop(), titles->screenHeight() - 7);
        QTest::keyClick(titles.get(), Qt::Key_Q);
        QVERIFY(!titles->isVisible());
    }

    void destroyingTheOpenWindowStopsTheMusic()
    {
        auto titles = openTitles();
        QTRY_VERIFY_WITH_TIMEOUT(m_captures[0]->size() > 0, 5000);
        titles.reset();
        QVERIFY(m_captures[0]->destroyed);
    }
};

QTEST_MAIN(TestTitles)
#include "tst_frmtitles.moc"
