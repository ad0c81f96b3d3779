// Favourites over the real main window: Ctrl+D and the list menu mark and unmark the selected
// entry, Ctrl+Shift+D opens the window, which lists every category's favourites and shows the
// one chosen in the main window.
#include "MainWindowFixture.h"
#include "gui/favourites/frmFavourites.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTreeWidget>

class TestFrmFavourites : public QObject
{
    Q_OBJECT

private slots:
    void markShowAndOpen()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        f.add(QStringLiteral("Other"), QStringLiteral("Код Konami"), QStringLiteral("Вверх, вверх, вниз"));
        const std::unique_ptr<frmMain> main = f.openMain();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        QMenu *menu = main->listMenu();
        auto *mark = main->findChild<QAction *>(QStringLiteral("mnuFavourite"));
        QVERIFY(mark);
        // The new items come after all the list menu had.
        QStringList items;
        for (const QAction *action : menu->actions())
            items << action->objectName();
        QCOMPARE(items.mid(items.indexOf(QStringLiteral("mnu_move"))),
                 QStringList({QStringLiteral("mnu_move"), QString(), QStringLiteral("mnuFavourite"),
                              QStringLiteral("mnuSuggest")}));

        // Ctrl+D on one entry, the menu item on another.
        QVERIFY(f.session->showEntry(QStringLiteral("Games"), 1));
        QCOMPARE(mark->text(), QStringLiteral("В избранное"));
        QTest::keyClick(MainWindowFixture::list(*main), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(mark->text(), QStringLiteral("Убрать из избранного"));
        QVERIFY(f.session->showEntry(QStringLiteral("Other"), 1));
        QCOMPARE(mark->text(), QStringLiteral("В избранное"));
        emit menu->aboutToShow();
        mark->trigger();

        QTest::keyClick(main.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        auto *window = main->findChild<frmFavourites *>();
        QVERIFY(window);
        auto *list = window->findChild<QTreeWidget *>(QStringLiteral("lstFavourites"));
        QCOMPARE(rows(list), QStringList({QStringLiteral("Игры: Doom"), QStringLiteral("Разное: Код Konami")}));

        // Enter shows the chosen entry in the main window, its category loaded.
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(f.session->CurrentTable(), QStringLiteral("Games"));
        QCOMPARE(f.session->selectedName(), QStringLiteral("Doom"));
        QCOMPARE(main->findChild<QComboBox *>(QStringLiteral("Combo1"))->currentText(), QStringLiteral("Игры"));
        QCOMPARE(MainWindowFixture::text(*main)->toPlainText(), QStringLiteral("IDDQD"));

        // A rename in the main window shows in the list; Delete there takes it out of the favourites.
        f.session->editEntry(1, QStringLiteral("Doom"), QStringLiteral("IDDQD"), QStringLiteral("Doom II"),
                             QStringLiteral("IDDQD"));
        QCOMPARE(rows(list), QStringList({QStringLiteral("Игры: Doom II"), QStringLiteral("Разное: Код Konami")}));
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(rows(list), QStringList{QStringLiteral("Разное: Код Konami")});
        QVERIFY(f.session->showEntry(QStringLiteral("Games"), 1));
        QCOMPARE(mark->text(), QStringLiteral("В избранное"));
    }

private:
    static QStringList rows(QTreeWidget *list)
    {
        QStringList shown;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            shown << list->topLevelItem(i)->text(0) + QStringLiteral(": ") + list->topLevelItem(i)->text(1);
        return shown;
    }
};

QTEST_MAIN(TestFrmFavourites)
#include "tst_frmfavourites.moc"
