#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/INI.h"
#include "core/session/CatalogueSession.h"
#include "gui/APIandFunc.h"
#include "gui/catalogue/frmMain.h"
#include "gui/controls/VistaButton.h"
#include "gui/windows/frmOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {

// The main window the options window is opened from; its run counter label is what the
// options window shows or hides.
struct MainWindow
{
    zv::CatalogueSession session;
    frmMain window;
    QLabel *counter;

    explicit MainWindow(const QString &catalogue)
        : session(catalogue)
        , window(session)
        , counter(window.findChild<QLabel *>(QStringLiteral("Label1")))
    {
        window.setAttribute(Qt::WA_DeleteOnClose, false);
    }
};

template <typename T> T *child(QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

QString option(const char *key)
{
    return ReadOption(QString::fromLatin1(key), QStringLiteral("<absent>"));
}

QByteArray languageFile(const QByteArray &body)
{
    return QByteArray("[\xcf\xe0\xe4\xee\xed\xe0\xea]\r\n") + body; // [Падонак]
}

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<zvtest::TempHome> m_home;
    std::unique_ptr<zvtest::ScriptedSeam> m_seam;
    std::unique_ptr<MainWindow> m_main;

    std::unique_ptr<frmOptions> open()
    {
        auto options = std::make_unique<frmOptions>(&m_main->window);
        options->show();
        return options;
    }

private slots:
    void init()
    {
        m_home = std::make_unique<zvtest::TempHome>();
        m_seam = std::make_unique<zvtest::ScriptedSeam>();
        CreateCatalogue(m_home->file(QStringLiteral("Zorvanell.dat")));
        m_main = std::make_unique<MainWindow>(m_home->file(QStringLiteral("Zorvanell.dat")));
        m_main->window.show();
    }

    void cleanup()
    {
        zv::assumeTranslucency(std::nullopt);
        m_main.reset();
        m_seam.reset();
        m_home.reset();
    }

    void firstOpeningWithoutSettings()
    {
        auto w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Настройка программы"));
        QCOMPARE(w->size(), QSize(354, 155));
        QCOMPARE(w->parentWidget(), &m_main->window);
        QVERIFY(child<QCheckBox>(*w, "chkRunsCount")->isChecked());
        QVERIFY(child<QCheckBox>(*w, "chkSplash")->isChecked());
        QVERIFY(!child<QCheckBox>(*w, "chkOnTop")->isChecked());
        QCOMPARE(child<QScrollBar>(*w, "HScroll1")->value(), 255);
        QCOMPARE(child<QLineEdit>(*w, "Text1")->text(), QStringLiteral("255"));
        QCOMPARE(child<QScrollBar>(*w, "HScroll1")->geometry(), QRect(8, 32, 289, 17));
        // What loading writes back, and nothing more.
        QCOMPARE(option("ShowRun"), QStringLiteral("1"));
        QCOMPARE(option("SplashScreen"), QStringLiteral("1"));
        QCOMPARE(option("TraspLevel"), QStringLiteral("255"));
        QCOMPARE(option("Lang"), QStringLiteral("Русский"));
        QCOMPARE(option("OnTop"), QStringLiteral("<absent>"));
        QCOMPARE(option("adds"), QStringLiteral("<absent>"));
        QCOMPARE(option("taskkill"), QStringLiteral("<absent>"));
        // The language box waits for the alternative set; the two extra boxes are never shown.
        QVERIFY(!child<QComboBox>(*w, "Combo1")->isVisible());
        QVERIFY(!child<QLabel>(*w, "Label2")->isVisible());
        QVERIFY(!child<QCheckBox>(*w, "Check1")->isVisible());
        QVERIFY(!child<QCheckBox>(*w, "Taskkill_c")->isVisible());
        QVERIFY(m_seam->messages.isEmpty());

        emit child<VistaButton>(*w, "VistaButton3")->Click();
        QVERIFY(!w->isVisible());
    }

    void typingMovesTheBarOnlyWithinItsRange()
    {
        auto w = open();
        auto *bar = child<QScrollBar>(*w, "HScroll1");
        auto *text = child<QLineEdit>(*w, "Text1");
        text->clear();
        QTest::keyClick(text, Qt::Key_1);
        QTest::keyClick(text, Qt::Key_3);
        QCOMPARE(bar->value(), 255);
        QCOMPARE(text->text(), QStringLiteral("13"));
        QTest::keyClick(text, Qt::Key_0);
        QCOMPARE(bar->value(), 130);
        QCOMPARE(option("TraspLevel"), QStringLiteral("130"));

        // Out of range, negative or no number at all: the bar stays, the text stays as typed.
        for (const QString &typed : {QStringLiteral("256"), QStringLiteral("124"), QStringLiteral("-200"),
                                     QStringLiteral("abc"), QStringLiteral("99999999999")}) {
            text->setText(typed);
            QCOMPARE(bar->value(), 130);
            QCOMPARE(text->text(), typed);
        }
        QCOMPARE(option("TraspLevel"), QStringLiteral("130"));
        // A number followed by letters moves the bar, which puts the plain number back.
        text->setText(QStringLiteral("200 px"));
        QCOMPARE(bar->value(), 200);
        QCOMPARE(text->text(), QStringLiteral("200"));
        QCOMPARE(option("TraspLevel"), QStringLiteral("200"));
    }

    void barChangesBothWindowsAtOnceWhereTranslucencyShows()
    {
        zv::assumeTranslucency(true);
        auto w = open();
        auto *bar = child<QScrollBar>(*w, "HScroll1");
        bar->setValue(130);
        QCOMPARE(child<QLineEdit>(*w, "Text1")->text(), QStringLiteral("130"));
        QCOMPARE(option("TraspLevel"), QStringLiteral("130"));
        QCOMPARE(w->windowOpacity(), 130 / 255.0);
        QCOMPARE(m_main->window.windowOpacity(), 130 / 255.0);
        QVERIFY(bar->toolTip().isEmpty());
        QTest::keyClick(bar, Qt::Key_Left);
        QCOMPARE(bar->value(), 129);
        QCOMPARE(option("TraspLevel"), QStringLiteral("129"));
    }

    void withoutTranslucencyTheLevelIsStillKeptAndNothingPretends()
    {
        zv::assumeTranslucency(false);
        auto w = open();
        auto *bar = child<QScrollBar>(*w, "HScroll1");
        bar->setValue(140);
        QVERIFY(bar->isEnabled());
        QVERIFY(child<QLineEdit>(*w, "Text1")->isEnabled());
        QCOMPARE(option("TraspLevel"), QStringLiteral("140"));
        QCOMPARE(w->windowOpacity(), 1.0);
        QCOMPARE(m_main->window.windowOpacity(), 1.0);
        QVERIFY(bar->toolTip().contains(QStringLiteral("не умеет делать окна прозрачными")));
    }

    void storedLevelsAreShownSoundly_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("storedAfter");
        QTest::newRow("letters") << QByteArray("abc") << 125 << QStringLiteral("abc");
        QTest::newRow("above 16 bits") << QByteArray("99999") << 255 << QStringLiteral("255");
        QTest::newRow("negative") << QByteArray("-40") << 125 << QStringLiteral("-40");
        QTest::newRow("too high") << QByteArray("300") << 255 << QStringLiteral("255");
        QTest::newRow("number and letters") << QByteArray("  200abc") << 200 << QStringLiteral("200");
        QTest::newRow("1 MB line") << QByteArray(1 << 20, '7') << 255 << QStringLiteral("255");
    }

    void storedLevelsAreShownSoundly()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, shown);
        QFETCH(QString, storedAfter);
        const QByteArray bigUntouched(1 << 20, 'x');
        m_home->write(QStringLiteral("Options.ini"), "[Main]\r\nTraspLevel=" + stored + "\r\nShowRun=yes\r\nOnTop=" +
                                                         "2\r\nSex=" + bigUntouched + "\r\n");
        auto w = open();
        QCOMPARE(child<QScrollBar>(*w, "HScroll1")->value(), shown);
        QCOMPARE(child<QLineEdit>(*w, "Text1")->text(), QString::number(shown));
        QCOMPARE(option("TraspLevel"), storedAfter.left(zv::kOptionValueLimit));
        // Values the boxes cannot show leave them unchecked and are left as they are.
        QVERIFY(!child<QCheckBox>(*w, "chkRunsCount")->isChecked());
        QVERIFY(!child<QCheckBox>(*w, "chkOnTop")->isChecked());
        QCOMPARE(option("ShowRun"), QStringLiteral("yes"));
        QCOMPARE(option("OnTop"), QStringLiteral("2"));
        QVERIFY(m_home->read(QStringLiteral("Options.ini")).contains(QByteArray("Sex=" + bigUntouched + "\r\n")));
        QVERIFY(m_seam->messages.isEmpty());
    }

    void checkBoxesWriteAndActOnTheMainWindow()
    {
        auto w = open();
        auto *onTop = child<QCheckBox>(*w, "chkOnTop");
        onTop->click();
        QCOMPARE(option("OnTop"), QStringLiteral("1"));
        QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(m_main->window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        onTop->click();
        QCOMPARE(option("OnTop"), QStringLiteral("0"));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!m_main->window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(w->isVisible());

        child<QCheckBox>(*w, "chkRunsCount")->click();
        QCOMPARE(option("ShowRun"), QStringLiteral("0"));
        QVERIFY(!m_main->counter->isVisible());
        child<QCheckBox>(*w, "chkRunsCount")->click();
        QVERIFY(m_main->counter->isVisible());
        child<QCheckBox>(*w, "chkSplash")->click();
        QCOMPARE(option("SplashScreen"), QStringLiteral("0"));
    }

    void savedOnTopMakesBothWindowsTopmostAgain()
    {
        WriteOption(QStringLiteral("OnTop"), QStringLiteral("1"));
        auto w = open();
        QVERIFY(child<QCheckBox>(*w, "chkOnTop")->isChecked());
        QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(m_main->window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void hiddenBoxesFollowTheirKeys()
    {
        WriteOption(QStringLiteral("adds"), QStringLiteral("1"));
        WriteOption(QStringLiteral("taskkill"), QStringLiteral("1"));
        auto w = open();
        QVERIFY(child<QCheckBox>(*w, "Check1")->isChecked());
        QVERIFY(child<QCheckBox>(*w, "Taskkill_c")->isChecked());
        QVERIFY(!child<QCheckBox>(*w, "Taskkill_c")->isVisible());
        child<QCheckBox>(*w, "Check1")->setChecked(false);
        QCOMPARE(option("adds"), QStringLiteral("0"));
    }

    void languageBoxAppearsWithTheAlternativeSet()
    {
        m_home->write(QStringLiteral("Language.ini"),
                      languageFile("Caption=Z\r\nCaption_frmOptions=\xcd\xe0\xf1\xf2\xf0\xee\xe9\xea\xe8\r\n"
                                   "frmOptions_Splash=\xc7\xe0\xf1\xf2\xe0\xe2\xea\xe0\r\n"));
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        auto w = open();
        auto *combo = child<QComboBox>(*w, "Combo1");
        QVERIFY(combo->isVisible());
        QVERIFY(child<QLabel>(*w, "Label2")->isVisible());
        QCOMPARE(combo->currentText(), QStringLiteral("Русский_падонак"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Настройки"));
        QCOMPARE(child<QCheckBox>(*w, "chkSplash")->text(), QStringLiteral("Заставка"));
        // A key the file lacks empties its caption.
        QCOMPARE(child<QCheckBox>(*w, "chkOnTop")->text(), QString());

        // Back to the built-in set: written at once, the captions shown stay until the window is made anew.
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(option("Lang"), QStringLiteral("Русский"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Настройки"));
        w.reset();
        w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Настройка программы"));
        QVERIFY(!child<QComboBox>(*w, "Combo1")->isVisible());
        QVERIFY(m_seam->messages.isEmpty());
    }

    void missingLanguageFileIsRepairedOnceAndTheWindowOpens_data()
    {
        QTest::addColumn<bool>("unreadable");
        QTest::newRow("missing") << false;
        QTest::newRow("a folder, not a file") << true;
    }

    void missingLanguageFileIsRepairedOnceAndTheWindowOpens()
    {
        QFETCH(bool, unreadable);
        if (unreadable)
            QDir(m_home->path()).mkpath(QStringLiteral("Language.ini"));
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        auto w = open();
        QCOMPARE(m_seam->messageTexts(), QStringList{QStringLiteral("Language not found. Trying to correct error.")});
        QCOMPARE(option("Lang"), QStringLiteral("Русский"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Настройка программы"));
        QCOMPARE(child<QScrollBar>(*w, "HScroll1")->value(), 255);
    }

    void invalidLanguageIsRepairedOnce()
    {
        WriteOption(QStringLiteral("Lang"), QStringLiteral("Klingon"));
        auto w = open();
        QCOMPARE(m_seam->messageTexts(), QStringList{QStringLiteral("Invalid language. Trying to correct error.")});
        QCOMPARE(option("Lang"), QStringLiteral("Русский"));
        QCOMPARE(child<QComboBox>(*w, "Combo1")->currentIndex(), -1);
    }
};

QTEST_MAIN(TestOptions)
#include "tst_frmoptions.moc"
