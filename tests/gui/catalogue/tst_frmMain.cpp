#include "MainWindowFixture.h"
#include "core/INI.h"
#include "core/SharedState.h"
#include "gui/WindowGeometry.h"
#include "gui/catalogue/frmAddNewField.h"
#include "gui/controls/VistaButton.h"
#include "gui/update/frmUpdate.h"
#include "gui/windows/Form1.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmLogo.h"
#include "gui/windows/frmLogo2.h"
#include "gui/windows/frmOptions.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFont>
#include <QMenu>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>

namespace {

template <typename Window> int openWindows()
{
    int count = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        count += qobject_cast<Window *>(w) && w->isVisible();
    return count;
}

template <typename Window> void clickFirstShown()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Window *>(w) && w->isVisible()) {
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(10, 10));
            return;
        }
    }
}

void closeTopLevels()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!qobject_cast<frmMain *>(w))
            w->close();
    }
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { closeTopLevels(); }

    void startUpState()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("winamp"), QStringLiteral("It really whips"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Ёмкость"), QStringLiteral("ё"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel 97"), QStringLiteral("flight"));
        f.add(QStringLiteral("Programs"), QStringLiteral("арфа"), QStringLiteral("а"));
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        auto w = f.openMain();
        QCOMPARE(w->windowTitle(), QStringLiteral("Zorvanell 5.1"));
        QCOMPARE(w->findChild<QComboBox *>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Программы"));
        QCOMPARE(w->session().CurrentTable(), QStringLiteral("Programs"));
        // Alphabetical ignoring case, Latin before Cyrillic, ё beside е.
        QCOMPARE(w->listNames(), (QStringList{QStringLiteral("Excel 97"), QStringLiteral("winamp"),
                                              QStringLiteral("арфа"), QStringLiteral("Ёмкость")}));
        QVERIFY(!w->moveAction(QStringLiteral("Programs"))->isVisible());
        QVERIFY(w->moveAction(QStringLiteral("Games"))->isVisible());
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("Приветствуем в программе Zorvanell"));
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Записей: 4"));
        QVERIFY(!f.control(*w, "EditButton")->isEnabled());
        QVERIFY(!f.control(*w, "cmdViewScreen")->isEnabled());
        QVERIFY(!f.control(*w, "Print_cmd")->isEnabled());
        QCOMPARE(w->selectedRow(), -1);
        QCOMPARE(w->size(), QSize(825, 527));
        QCOMPARE(f.control(*w, "List1")->geometry(), QRect(112, 32, 257, 485));
    }

    void runCounterOnFirstAndSeventhStart()
    {
        MainWindowFixture f;
        {
            auto w = f.openMain();
            QCOMPARE(f.label(*w, "Label1")->text(), QStringLiteral("Программа запущена 1й раз"));
            QVERIFY(f.label(*w, "Label1")->isVisible());
        }
        QCOMPARE(ReadOption(QStringLiteral("RunCount"), QString()), QStringLiteral("2"));
        WriteOption(QStringLiteral("RunCount"), QStringLiteral("7"));
        WriteOption(QStringLiteral("ShowRun"), QStringLiteral("0"));
        auto w = f.openMain();
        QCOMPARE(f.label(*w, "Label1")->text(), QStringLiteral("Программа запущена 7й раз"));
        QVERIFY(!f.label(*w, "Label1")->isVisible());
        QCOMPARE(ReadOption(QStringLiteral("RunCount"), QString()), QStringLiteral("8"));
    }

    void runCounterAtTheLargestCountAndGarbage()
    {
        MainWindowFixture f;
        WriteOption(QStringLiteral("RunCount"), QStringLiteral("2147483647"));
        {
            auto w = f.openMain();
            QCOMPARE(f.label(*w, "Label1")->text(), QStringLiteral("Программа запущена 2147483647й раз"));
        }
        QCOMPARE(ReadOption(QStringLiteral("RunCount"), QString()), QStringLiteral("2147483647"));
        // Hand-edited text is shown as it stands and the count starts again.
        WriteOption(QStringLiteral("RunCount"), QStringLiteral("<b>много</b>"));
        auto w = f.openMain();
        QCOMPARE(f.label(*w, "Label1")->text(), QStringLiteral("Программа запущена <b>много</b>й раз"));
        QCOMPARE(f.label(*w, "Label1")->textFormat(), Qt::PlainText);
        QCOMPARE(ReadOption(QStringLiteral("RunCount"), QString()), QStringLiteral("2"));
    }

    void yeahBabyOnlyForTheExactWords()
    {
        MainWindowFixture f;
        WriteOption(QStringLiteral("Sex"), QStringLiteral("Yeah baby"));
        f.openMain();
        QVERIFY(f.seam.messages.isEmpty());
        WriteOption(QStringLiteral("Sex"), QStringLiteral("yeah baby"));
        f.openMain();
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("yeah baby!")});
    }

    void emptyCategoryAndCategorySwitch()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("pinball"));
        f.add(QStringLiteral("Games"), QStringLiteral("Quake"), QStringLiteral("q"));
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        auto w = f.openMain();
        auto *combo = w->findChild<QComboBox *>(QStringLiteral("Combo1"));
        combo->setCurrentText(QStringLiteral("Фильмы"));
        QCOMPARE(w->listCount(), 0);
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Записей: 0"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("Приветствуем в программе Zorvanell"));
        QVERIFY(!w->moveAction(QStringLiteral("Movie"))->isVisible());
        QVERIFY(w->moveAction(QStringLiteral("Programs"))->isVisible());

        // With text in the search box, a switch empties it and selects the first entry.
        combo->setCurrentText(QStringLiteral("Программы"));
        f.search(*w)->setText(QStringLiteral("wo"));
        QCOMPARE(w->selectedName(), QStringLiteral("Word"));
        combo->setCurrentText(QStringLiteral("Игры"));
        QCOMPARE(f.search(*w)->text(), QString());
        QCOMPARE(w->selectedName(), QStringLiteral("Doom"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("IDDQD"));
        // "Печать" follows the selection: a switch that selects nothing leaves nothing to print.
        QVERIFY(f.control(*w, "Print_cmd")->isEnabled());
        combo->setCurrentText(QStringLiteral("Фильмы"));
        QVERIFY(!f.control(*w, "Print_cmd")->isEnabled());
    }

    void searchSelectsTheFirstMatch()
    {
        MainWindowFixture f;
        for (const char *name : {"Paint", "Photoshop", "paint shop", "Проводник", "пасьянс", "Пасьянс Паук"})
            f.add(QStringLiteral("Programs"), QString::fromUtf8(name),
                  QStringLiteral("text of ") + QString::fromUtf8(name));
        auto w = f.openMain();
        QLineEdit *search = f.search(*w);
        search->setText(QStringLiteral("P"));
        QCOMPARE(w->selectedName(), QStringLiteral("Paint"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("text of Paint"));
        QVERIFY(f.control(*w, "EditButton")->isEnabled());
        QVERIFY(f.control(*w, "Print_cmd")->isEnabled());
        QCOMPARE(w->session().CurrentEntry(), QStringLiteral("Paint"));
        search->setText(QStringLiteral("PAINT S"));
        QCOMPARE(w->selectedName(), QStringLiteral("paint shop"));
        search->setText(QStringLiteral("ПАСЬ"));
        QCOMPARE(w->selectedName(), QStringLiteral("пасьянс"));
        // Longer than any matching name: the selection stays.
        search->setText(QStringLiteral("пасьянс паук и ещё"));
        QCOMPARE(w->selectedName(), QStringLiteral("пасьянс"));
        // Clearing the box selects the first entry of the list.
        search->clear();
        QCOMPARE(w->selectedName(), QStringLiteral("Paint"));
    }

    void doubleClickSearchesNameAndBlank()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Word 97"), QStringLiteral("w97"));
        f.add(QStringLiteral("Programs"), QStringLiteral("WordPad"), QStringLiteral("wp"));
        auto w = f.openMain();
        QListView *list = f.list(*w);
        const QRect second = list->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(w->selectedName(), QStringLiteral("Word 97"));
        // "Word 97 " matches nothing: the selection stays.
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(f.search(*w)->text(), QStringLiteral("Word 97 "));
        QCOMPARE(w->selectedName(), QStringLiteral("Word 97"));
        // "Word " finds "Word 97", the first name beginning with it.
        const QRect first = list->visualRect(list->model()->index(0, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(w->selectedName(), QStringLiteral("Word 97"));
    }

    void commandWordsInExactCaseOnly()
    {
        MainWindowFixture f;
        auto w = f.openMain();
        QLineEdit *search = f.search(*w);
        search->setText(QStringLiteral("Small_tool"));
        QCOMPARE(openWindows<Form1>(), 0);
        for (const QString &word :
             {QStringLiteral("small_tool"), QStringLiteral("іьфдд_ещщд"), QStringLiteral("ыьфдд_ещщд")}) {
            search->setText(word);
            search->clear();
        }
        // Typed again, a word shows the same window again rather than another one.
        QCOMPARE(openWindows<Form1>(), 1);
        search->setText(QStringLiteral("Падонак"));
        QCOMPARE(ReadOption(QStringLiteral("Lang"), QString()), QString());
        search->setText(QStringLiteral("падонак"));
        QCOMPARE(ReadOption(QStringLiteral("Lang"), QString()), QStringLiteral("падонак"));
        // The captions stay until a window loads anew.
        QCOMPARE(static_cast<VistaButton *>(f.control(*w, "cmdAddItem"))->Caption(), QStringLiteral("Добавить запись"));
        QVERIFY(f.seam.opened.isEmpty());
    }

    // The splash's hot spot and the word "logo" show one pair of logo windows between them.
    void oneLogoPairWhoeverOpensIt()
    {
        MainWindowFixture f;
        auto w = f.openMain();
        auto *splash = new frmLogo([] {});
        splash->setManualTime(true);
        splash->show();
        QTest::mouseClick(splash->findChild<QWidget *>(QStringLiteral("Label1")), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(openWindows<frmLogo2>(), 1);
        f.search(*w)->setText(QStringLiteral("logo"));
        QCOMPARE(openWindows<frmLogo2>(), 1);
        splash->handOver();
        // Clicked through as the user sees them, the pair closes and none is left behind.
        clickFirstShown<frmLogo2>();
        QCOMPARE(openWindows<frmLogo3>(), 1);
        clickFirstShown<frmLogo3>();
        QCOMPARE(openWindows<frmLogo2>() + openWindows<frmLogo3>(), 0);
    }

    void moveMenuAndRightClick()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Zip"), QStringLiteral("z"));
        auto w = f.openMain();
        QListView *list = f.list(*w);
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        QCOMPARE(w->selectedRow(), -1);
        // No selection: no menu.
        emit list->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(!w->listMenu()->isVisible());
        f.search(*w)->setText(QStringLiteral("w"));
        emit list->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(w->listMenu()->isVisible());
        w->listMenu()->close();
        // A right press does not select what is under the pointer.
        const QRect other = list->visualRect(list->model()->index(1, 0));
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, other.center());
        QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, other.center());
        QCOMPARE(w->selectedName(), QStringLiteral("Word"));
        QStringList items;
        for (QAction *a : w->listMenu()->actions())
            items << a->objectName();
        // The menu's own items come first, in their order; additions follow them.
        QCOMPARE(items.mid(0, 10), (QStringList{QStringLiteral("mnuScrShot"), QStringLiteral("mnuEditItem"),
                                                QStringLiteral("mnuDeleteItem"), QString(), QStringLiteral("mnuPrint"),
                                                QStringLiteral("mnuSaveItem"), QStringLiteral("mnuSaveList"), QString(),
                                                QStringLiteral("mnuAddScreenShot"), QStringLiteral("mnu_move")}));
    }

    void choosingACategoryLoadsItOnce_data()
    {
        QTest::addColumn<bool>("mouse"); // or the keys, in the selector's open list
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("typed"); // in the search box before the choice
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("messages");
        const QString welcome = QStringLiteral("Приветствуем в программе Zorvanell");
        for (const bool mouse : {true, false}) {
            const char *how = mouse ? "mouse" : "keys";
            QTest::addRow("%s: another category, text in the search box", how)
                << mouse << QStringLiteral("Игры") << QStringLiteral("wo") << QStringLiteral("Doom")
                << QStringLiteral("IDDQD") << 0;
            QTest::addRow("%s: another category", how)
                << mouse << QStringLiteral("Игры") << QString() << QString() << welcome << 0;
            QTest::addRow("%s: the category shown, text in the search box", how)
                << mouse << QStringLiteral("Программы") << QStringLiteral("wo") << QStringLiteral("Excel")
                << QStringLiteral("flight") << 0;
            QTest::addRow("%s: the category shown", how)
                << mouse << QStringLiteral("Программы") << QString() << QString() << welcome << 0;
            QTest::addRow("%s: a category without its table", how)
                << mouse << QStringLiteral("Бытовая техника") << QStringLiteral("wo") << QString() << welcome << 1;
        }
    }

    void choosingACategoryLoadsItOnce()
    {
        QFETCH(bool, mouse);
        QFETCH(QString, category);
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        QFETCH(QString, shown);
        QFETCH(int, messages);
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("pinball"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        f.add(QStringLiteral("Games"), QStringLiteral("Quake"), QStringLiteral("q"));
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        sqlite3_exec(f.db->handle(), "DROP TABLE Tech", nullptr, nullptr, nullptr);
        auto w = f.openMain();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        f.search(*w)->setText(typed);
        QSignalSpy loads(f.session.get(), &zv::CatalogueSession::categoryLoaded);

        auto *combo = w->findChild<QComboBox *>(QStringLiteral("Combo1"));
        QAbstractItemView *view = combo->view();
        const QModelIndex item = combo->model()->index(combo->findText(category), 0);
        if (mouse) {
            QTest::mouseClick(combo, Qt::LeftButton);
            QTRY_VERIFY(view->isVisible());
            // The list takes a click this soon after the one that opened it for part of that click;
            // a user's next click comes later.
            QTest::qWait(2 * QApplication::doubleClickInterval());
            const QPoint at = view->visualRect(item).center();
            QTest::mouseMove(view->viewport(), at);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        } else {
            combo->setFocus();
            QTest::keyClick(combo, Qt::Key_F4);
            QTRY_VERIFY(view->isVisible());
            QTest::keyClick(view, Qt::Key_Home);
            for (int row = 0; row < item.row(); ++row)
                QTest::keyClick(view, Qt::Key_Down);
            QTest::keyClick(view, Qt::Key_Return);
        }
        QTRY_VERIFY(!view->isVisible());

        QCOMPARE(combo->currentText(), category);
        QCOMPARE(loads.size(), 1);
        QCOMPARE(f.seam.messages.size(), messages);
        QCOMPARE(f.search(*w)->text(), QString());
        QCOMPARE(w->selectedName(), selected);
        QCOMPARE(f.text(*w)->toPlainText(), shown);
        QCOMPARE(f.control(*w, "EditButton")->isEnabled(), !selected.isEmpty());
    }

    void googleEarthTitleAndLink()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Google Earth"), QStringLiteral("flight simulator"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Windows 7"), QStringLiteral("seven"));
        auto w = f.openMain();
        QLabel *count = f.label(*w, "lblCount");
        f.search(*w)->setText(QStringLiteral("google"));
        QCOMPARE(count->text(), QStringLiteral("Секреты Google Earth"));
        QTest::mouseClick(count, Qt::LeftButton);
        QCOMPARE(f.seam.opened.size(), 1);
        QVERIFY(f.seam.opened[0].endsWith(QLatin1String("/redir/google_earth.php")));
        f.search(*w)->setText(QStringLiteral("windows"));
        QCOMPARE(count->text(), QStringLiteral("Windows 7"));
        QTest::mouseClick(count, Qt::LeftButton);
        QCOMPARE(f.seam.opened.size(), 1);
    }

    void screenshotButtonFollowsTheFiles()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("e"));
        f.home.write(QStringLiteral("ScreenShots/word2.jpg"), "jpg");
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        QVERIFY(f.control(*w, "cmdViewScreen")->isEnabled());
        QVERIFY(w->listMenu()->actions().at(0)->isEnabled());
        f.search(*w)->setText(QStringLiteral("Excel"));
        QVERIFY(!f.control(*w, "cmdViewScreen")->isEnabled());
        QVERIFY(!w->listMenu()->actions().at(0)->isEnabled());
    }

    void compactLayoutSurvivesARestart()
    {
        MainWindowFixture f;
        {
            auto w = f.openMain();
            QVERIFY(!f.control(*w, "FullButton")->isVisible());
            emit static_cast<VistaButton *>(f.control(*w, "VistaButton3"))->Click();
            QVERIFY(w->isCompactLayout());
            QCOMPARE(ReadOption(QStringLiteral("Compact"), QString()), QStringLiteral("1"));
        }
        auto w = f.openMain();
        QVERIFY(w->isCompactLayout());
        QVERIFY(!f.control(*w, "Frame2")->isVisible());
        QVERIFY(f.control(*w, "FullButton")->isVisible());
        QCOMPARE(f.control(*w, "List1")->x(), 8);
        QCOMPARE(f.control(*w, "txtText")->x(), 272);
        QCOMPARE(f.control(*w, "Label1")->x(), 552);
        QCOMPARE(f.control(*w, "FullButton")->x(), 456);
        QCOMPARE(w->width(), 722);
        emit static_cast<VistaButton *>(f.control(*w, "FullButton"))->Click();
        QCOMPARE(ReadOption(QStringLiteral("Compact"), QString()), QStringLiteral("0"));
        QCOMPARE(w->width(), 825);
        QCOMPARE(f.control(*w, "List1")->x(), 112);
        QVERIFY(!f.control(*w, "FullButton")->isVisible());

        // Only the exact text "1" selects the compact layout.
        WriteOption(QStringLiteral("Compact"), QStringLiteral(" 1"));
        QVERIFY(!f.openMain()->isCompactLayout());
        WriteOption(QStringLiteral("Compact"), QStringLiteral("True"));
        QVERIFY(!f.openMain()->isCompactLayout());
    }

    void windowKeys()
    {
        MainWindowFixture f;
        auto w = f.openMain();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(f.search(*w), Qt::Key_A, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Это не пасхальное яйцо!!")});
        QCOMPARE(f.seam.messages[0].form, zv::MessageForm::OkInformation);
        QCOMPARE(f.seam.opened, QStringList{f.home.path()});
        QCOMPARE(f.search(*w)->text(), QString());
        QVERIFY(f.seam.exits.isEmpty());
        QTest::keyClick(f.list(*w), Qt::Key_Escape);
        QCOMPARE(f.seam.exits, QList<int>{0});
    }

    void closingEndsTheProgram()
    {
        MainWindowFixture f;
        auto w = f.openMain();
        w->close();
        QCOMPARE(f.seam.exits, QList<int>{0});
    }

    void onTopSwitch()
    {
        MainWindowFixture f;
        auto w = f.openMain();
        auto *box = w->findChild<QCheckBox *>(QStringLiteral("chkOnTop"));
        QVERIFY(!box->isChecked());
        box->click();
        QCOMPARE(ReadOption(QStringLiteral("OnTop"), QString()), QStringLiteral("1"));
        QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        auto again = f.openMain();
        QVERIFY(again->findChild<QCheckBox *>(QStringLiteral("chkOnTop"))->isChecked());
        QVERIFY(again->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        box->click();
        QCOMPARE(ReadOption(QStringLiteral("OnTop"), QString()), QStringLiteral("0"));
        QVERIFY(!w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void configAndAboutOpenTheirWindowsOverTheMainWindow()
    {
        MainWindowFixture f;
        auto w = f.openMain();
        QLabel *counter = f.label(*w, "Label1");
        QVERIFY(counter->isVisible());
        QString opened;
        // The options window hides the main window's run counter while it is open.
        QTimer::singleShot(0, w.get(), [&] {
            auto *options = qobject_cast<frmOptions *>(QApplication::activeModalWidget());
            if (!options || options->parentWidget() != w.get())
                return;
            opened = options->objectName();
            options->findChild<QCheckBox *>(QStringLiteral("chkRunsCount"))->click();
            emit options->findChild<VistaButton *>(QStringLiteral("VistaButton3"))->Click();
        });
        emit static_cast<VistaButton *>(f.control(*w, "cmdConfig"))->Click();
        QCOMPARE(opened, QStringLiteral("frmOptions"));
        QVERIFY(!counter->isVisible());
        QCOMPARE(ReadOption(QStringLiteral("ShowRun"), QString()), QStringLiteral("0"));

        QTimer::singleShot(0, w.get(), [&] {
            auto *about = qobject_cast<frmAbout *>(QApplication::activeModalWidget());
            if (!about || about->parentWidget() != w.get())
                return;
            opened = about->objectName();
            about->close();
        });
        emit static_cast<VistaButton *>(f.control(*w, "cmdAbout"))->Click();
        QCOMPARE(opened, QStringLiteral("frmAbout"));
        QVERIFY(f.seam.messages.isEmpty());
    }

    void alternativeCaptions()
    {
        MainWindowFixture f;
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        // AddItem is missing from this file: its caption is emptied.
        f.home.write(QStringLiteral("Language.ini"),
                     QByteArray("[\xcf\xe0\xe4\xee\xed\xe0\xea]\r\nCaption=X\r\nConfig=\xd4\xf1\xb8\r\n"));
        auto w = f.openMain();
        QCOMPARE(static_cast<VistaButton *>(f.control(*w, "cmdConfig"))->Caption(), QStringLiteral("Фсё"));
        QCOMPARE(static_cast<VistaButton *>(f.control(*w, "cmdAddItem"))->Caption(), QString());
        // The load sets its own title after the captions.
        QCOMPARE(w->windowTitle(), QStringLiteral("Zorvanell 5.1"));
        QVERIFY(f.seam.messages.isEmpty());
    }

    // The shipped alternative captions stay whole in their controls, in the font the windows are laid out for.
    void shippedAlternativeCaptionsFit_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        for (const char *control : {"cmdAddItem", "cmdViewScreen", "cmdConfig", "cmdUpdate", "cmdAbout"})
            QTest::newRow(control) << QStringLiteral("frmMain") << QString::fromLatin1(control)
                                   << QString::fromLatin1(control + 3);
        const QString add = QStringLiteral("frmAddNewField");
        QTest::newRow("add: Label1") << add << QStringLiteral("Label1") << QStringLiteral("AddNewField_Name");
        QTest::newRow("add: Label2") << add << QStringLiteral("Label2") << QStringLiteral("AddNewField_Data");
        QTest::newRow("add: cmdAdd") << add << QStringLiteral("cmdAdd") << QStringLiteral("AddNewField_Add");
        QTest::newRow("add: cmdCancel") << add << QStringLiteral("cmdCancel") << QStringLiteral("AddNewField_Cancel");
        // The update window's button shares its text with the main window's.
        QTest::newRow("update: Command1")
            << QStringLiteral("frmUpdate") << QStringLiteral("Command1") << QStringLiteral("frmUpdate_Download");
    }

    void shippedAlternativeCaptionsFit()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, key);
        MainWindowFixture f;
        QVERIFY(QFile::copy(QStringLiteral(ZV_SOURCE_DIR "/data/Language.ini"),
                            f.home.file(QStringLiteral("Language.ini"))));
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        const QFont font = QApplication::font();
        QApplication::setFont(zv::designFont());
        const auto restore = qScopeGuard([&] { QApplication::setFont(font); });
        auto w = f.openMain();
        frmAddNewField add(w.get(), w->session());
        frmUpdate update(w->session(), w.get());
        QWidget *shown = nullptr;
        for (QWidget *candidate :
             {static_cast<QWidget *>(w.get()), static_cast<QWidget *>(&add), static_cast<QWidget *>(&update)}) {
            if (candidate->objectName() == window)
                shown = candidate->findChild<QWidget *>(control);
        }
        QVERIFY(shown);
        const QString expected = ReadLangString(key, QString());
        QVERIFY(!expected.isEmpty());
        int room = shown->width();
        QLabel *label = qobject_cast<QLabel *>(shown);
        if (auto *button = qobject_cast<VistaButton *>(shown)) {
            QCOMPARE(button->Caption(), expected);
            // A caption touching the button's rounded frame looks cut off.
            room -= 8;
            label = button->findChild<QLabel *>(QStringLiteral("lbl"));
        }
        // Nor may it run into the next control on its line (a label's box reaches under its neighbours).
        const QRect own = shown->geometry();
        for (QWidget *next : shown->parentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QRect at = next->geometry();
            if (next != shown && !next->isHidden() && at.left() > own.left() && at.top() <= own.bottom() &&
                at.bottom() >= own.top())
                room = std::min(room, at.left() - own.left() - 4);
        }
        QCOMPARE(label->text(), expected);
        QVERIFY2(label->fontMetrics().horizontalAdvance(expected) <= room,
                 qPrintable(QStringLiteral("%1: %2 px in %3")
                                .arg(expected)
                                .arg(label->fontMetrics().horizontalAdvance(expected))
                                .arg(room)));
    }

    void missingTableSaysSo()
    {
        MainWindowFixture f;
        sqlite3_exec(f.db->handle(), "DROP TABLE Tech", nullptr, nullptr, nullptr);
        f.db.reset();
        auto w = f.openMain();
        QVERIFY(f.seam.messages.isEmpty());
        w->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("Бытовая техника"));
        QCOMPARE(f.seam.messages.size(), 1);
        QVERIFY(f.seam.messages[0].text.contains(QStringLiteral("Бытовая техника")));
        QCOMPARE(w->listCount(), 0);
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Записей: 0"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_frmMain.moc"
