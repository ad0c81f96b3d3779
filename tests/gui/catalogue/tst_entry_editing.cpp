#include "MainWindowFixture.h"
#include "core/INI.h"
#include "gui/catalogue/frmAddNewField.h"
#include "gui/catalogue/frmEditItem.h"
#include "gui/controls/VistaButton.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>

namespace {

QStringList namesIn(const zv::CatalogueConnection &db, const QString &table)
{
    return ListNames(db, table);
}

// Another program (the sqlite3 shell, a database browser) changes the catalogue through a
// connection of its own while the window is open.
void elsewhere(const zv::CatalogueConnection &other, const char *sql)
{
    QCOMPARE(sqlite3_exec(other->handle(), sql, nullptr, nullptr, nullptr), SQLITE_OK);
}

QString goneText(const QString &name)
{
    return QStringLiteral("Записи «") + name +
           QStringLiteral("» больше нет в каталоге: её удалили или переименовали в другой программе. "
                          "Список раздела загружен заново.");
}

} // namespace

class TestEntryEditing : public QObject
{
    Q_OBJECT

private slots:
    void addRefusesEmptyFieldsAndDuplicatesInTheShownCategory()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Doom"), QStringLiteral("not a program, really"));
        auto w = f.openMain();
        frmAddNewField editor(w.get(), w->session());
        QCOMPARE(editor.windowTitle(), QStringLiteral("Добавление новой записи"));

        editor.Text1->setText(QStringLiteral("Quake"));
        emit editor.cmdAdd->Click();
        QCOMPARE(f.seam.messages.size(), 1);
        QCOMPARE(f.seam.messages[0].text, QStringLiteral("Поля не могут оставатся пустыми!"));
        QCOMPARE(f.seam.messages[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(f.seam.messages[0].form, zv::MessageForm::OkExclamation);

        editor.Text1->setText(QStringLiteral("doom"));
        editor.txtText->setPlainText(QStringLiteral("IDKFA"));
        emit editor.cmdAdd->Click();
        QCOMPARE(f.seam.messages.size(), 2);
        QCOMPARE(f.seam.messages[1].text, QStringLiteral("Такая запись уже существует!"));
        QCOMPARE(f.seam.messages[1].caption, QStringLiteral("Zorvanell"));
        QCOMPARE(editor.Text1->text(), QStringLiteral("doom"));
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")).size(), 1);

        // The same name is fine in another category.
        w->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("Игры"));
        emit editor.cmdAdd->Click();
        QCOMPARE(f.seam.messages.size(), 2);
        QCOMPARE(namesIn(f.db, QStringLiteral("Games")), QStringList{QStringLiteral("doom")});
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("doom")});
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Количество: 1"));
        QCOMPARE(editor.Text1->text(), QString());
        QCOMPARE(editor.txtText->toPlainText(), QString());
    }

    void addRefusesANameTheLookupWouldTakeForAnother()
    {
        // The list's duplicate test and the catalogue's lookup decide letter case the same way:
        // a name accepted here is one that the lookup then finds as itself, never as another.
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("ΛΟΓΟΣ"), QStringLiteral("sigma"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Straße"), QStringLiteral("sharp s"));
        f.add(QStringLiteral("Programs"), QStringLiteral("ſed"), QStringLiteral("long s"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Pop"), QStringLiteral("latin"));
        auto w = f.openMain();
        frmAddNewField editor(w.get(), w->session());
        for (const QString &name : {QStringLiteral("λογος"), QStringLiteral("STRASSE"), QStringLiteral("SED")}) {
            editor.Text1->setText(name);
            editor.txtText->setPlainText(QStringLiteral("new"));
            emit editor.cmdAdd->Click();
            QCOMPARE(f.seam.messageTexts().constLast(), QStringLiteral("Такая запись уже существует!"));
        }
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")).size(), 4);
        // A Cyrillic look-alike is another name.
        editor.Text1->setText(QStringLiteral("Рор"));
        editor.txtText->setPlainText(QStringLiteral("cyrillic"));
        emit editor.cmdAdd->Click();
        QCOMPARE(f.seam.messages.size(), 3);
        f.search(*w)->setText(QStringLiteral("р"));
        QCOMPARE(w->selectedName(), QStringLiteral("Рор"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("cyrillic"));
        f.search(*w)->setText(QStringLiteral("STRASS"));
        QCOMPARE(w->selectedName(), QStringLiteral("Straße"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("sharp s"));
    }

    void addAcceptsBlanksAndOpensTheForumEveryTime()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        auto w = f.openMain();
        frmAddNewField editor(w.get(), w->session());
        editor.Check1->setChecked(true);
        editor.Text1->setText(QStringLiteral("   "));
        editor.txtText->setPlainText(QStringLiteral(" "));
        emit editor.cmdAdd->Click();
        editor.Text1->setText(QStringLiteral("Access"));
        editor.txtText->setPlainText(QStringLiteral("Line one\nLine two"));
        emit editor.cmdAdd->Click();
        QVERIFY(f.seam.messages.isEmpty());
        QCOMPARE(w->listNames(),
                 (QStringList{QStringLiteral("   "), QStringLiteral("Access"), QStringLiteral("Word")}));
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Количество: 3"));
        QCOMPARE(f.seam.opened.size(), 2);
        QVERIFY(f.seam.opened[1].endsWith(QLatin1String("/forum/post.php?action=reply&forum=17&topic=13")));
        QCOMPARE(FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("access")).ref,
                 QStringLiteral("Line one\nLine two"));
        QVERIFY(editor.Check1->isChecked());
    }

    void editRefusesANameAnotherEntryHas()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Games"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        f.add(QStringLiteral("Games"), QStringLiteral("Quake"), QStringLiteral("god"));
        auto w = f.openMain();
        w->findChild<QComboBox *>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("Игры"));
        f.search(*w)->setText(QStringLiteral("qu"));
        frmEditItem editor(w.get(), w->session());
        editor.txtName->setText(QStringLiteral("doom"));
        editor.txtText->setPlainText(QStringLiteral("changed"));
        emit editor.VistaButton1->Click();
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Такая запись уже существует!")});
        QCOMPARE(editor.result(), int(QDialog::Rejected));
        QCOMPARE(FindEntry(f.db, QStringLiteral("Games"), QStringLiteral("Quake")).ref, QStringLiteral("god"));
        // Its own name in other letters is no other entry's.
        editor.txtName->setText(QStringLiteral("QUAKE"));
        editor.Check1->setChecked(true);
        emit editor.VistaButton1->Click();
        QCOMPARE(f.seam.messages.size(), 1);
        QCOMPARE(namesIn(f.db, QStringLiteral("Games")),
                 (QStringList{QStringLiteral("Doom"), QStringLiteral("QUAKE")}));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("Запись QUAKE обновлена успешно."));
        QVERIFY(f.seam.opened.value(0).endsWith(QLatin1String("topic=15")));
        QCOMPARE(editor.result(), int(QDialog::Accepted));
    }

    // A catalogue from an update or another tool may hold two records of one name: each is
    // shown, edited, deleted and moved as itself.
    void theSelectedOfTwoRecordsOfOneNameIsTheOneChanged_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("programsAfter");
        QTest::newRow("edit") << "edit" << QStringList{QStringLiteral("Twin"), QStringLiteral("twin")};
        QTest::newRow("delete") << "delete" << QStringList{QStringLiteral("Twin")};
        QTest::newRow("move") << "move" << QStringList{QStringLiteral("Twin")};
    }
    void theSelectedOfTwoRecordsOfOneNameIsTheOneChanged()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, programsAfter);
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Twin"), QStringLiteral("first"));
        f.add(QStringLiteral("Programs"), QStringLiteral("twin"), QStringLiteral("second"));
        auto w = f.openMain();
        QListView *list = f.list(*w);
        const int second = w->listNames().indexOf(QStringLiteral("twin"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(second, 0)).center());
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("second"));
        if (action == QLatin1String("edit")) {
            frmEditItem editor(w.get(), w->session());
            editor.txtName->setText(QStringLiteral("twin"));
            editor.txtText->setPlainText(QStringLiteral("second, edited"));
            emit editor.VistaButton1->Click();
        } else if (action == QLatin1String("delete")) {
            f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
            w->DeleteSelected();
        } else {
            w->moveAction(QStringLiteral("Other"))->trigger();
            QCOMPARE(FindEntry(f.db, QStringLiteral("Other"), QStringLiteral("twin")).ref, QStringLiteral("second"));
        }
        // Only the delete's own question was asked.
        QCOMPARE(f.seam.messages.size(), action == QLatin1String("delete") ? 1 : 0);
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")), programsAfter);
        QCOMPARE(FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Twin")).ref, QStringLiteral("first"));
        if (action == QLatin1String("edit"))
            QCOMPARE(FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("twin")).matches, 2);
    }

    void editOfATextChangedElsewhereAsksWhichStays_data()
    {
        QTest::addColumn<bool>("keepMine");
        QTest::addColumn<QString>("stored");
        QTest::newRow("mine") << true << QStringLiteral("mine");
        QTest::newRow("theirs") << false << QStringLiteral("theirs");
    }

    void editOfATextChangedElsewhereAsksWhichStays()
    {
        QFETCH(bool, keepMine);
        QFETCH(QString, stored);
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("pinball"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        frmEditItem editor(w.get(), w->session());
        editor.txtName->setText(QStringLiteral("Word"));
        editor.txtText->setPlainText(QStringLiteral("mine"));
        elsewhere(f.db, "UPDATE Programs SET Ref = 'theirs'");
        f.seam.messageAnswers << (keepMine ? zv::MessageAnswer::Yes : zv::MessageAnswer::No);
        emit editor.VistaButton1->Click();
        QCOMPARE(f.seam.messages.size(), 1);
        QCOMPARE(f.seam.messages[0].form, zv::MessageForm::YesNoQuestion);
        QCOMPARE(FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Word")).ref, stored);
        QVERIFY(!editor.isVisible());
    }

    void editRefusesEmptyAndReportsAGoneRecord()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("pinball"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Access"), QStringLiteral("a"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("Word"));
        frmEditItem editor(w.get(), w->session());
        editor.txtName->setText(QStringLiteral("Word"));
        emit editor.VistaButton1->Click();
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Поля не могут оставатся пустыми!")});
        // Another program deletes the entry while the editor is open.
        elsewhere(f.db, "DELETE FROM Programs WHERE Name = 'Word'");
        editor.txtText->setPlainText(QStringLiteral("typed meanwhile"));
        emit editor.VistaButton1->Click();
        QCOMPARE(f.seam.messageTexts().value(1), goneText(QStringLiteral("Word")));
        QCOMPARE(f.seam.messages[1].form, zv::MessageForm::OkExclamation);
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Access")});
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")), QStringList{QStringLiteral("Access")});
        // The editor keeps what was typed; saving again neither writes anything nor falls on
        // the entry the reload selected.
        QCOMPARE(editor.txtText->toPlainText(), QStringLiteral("typed meanwhile"));
        QCOMPARE(w->selectedName(), QStringLiteral("Access"));
        emit editor.VistaButton1->Click();
        QCOMPARE(f.seam.messageTexts().value(2), goneText(QStringLiteral("Word")));
        QCOMPARE(FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Access")).ref, QStringLiteral("a"));
        QVERIFY(!FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Word")).found());
    }

    void deleteOfAnEntryRemovedElsewhere()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("do"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("IDDQD"));
        elsewhere(f.db, "DELETE FROM Programs WHERE Name = 'Doom'");
        f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
        QTest::keyClick(f.list(*w), Qt::Key_Delete);
        QCOMPARE(f.seam.messageTexts().value(1), goneText(QStringLiteral("Doom")));
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Excel")});
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Записей: 1"));
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")), QStringList{QStringLiteral("Excel")});
    }

    void deleteNeverFallsOnARowThatTookTheGoneOnesPlace()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Access"), QStringLiteral("a"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("do"));
        // The other program deletes Doom, the last row, and adds Quake, which gets Doom's row number.
        elsewhere(f.db, "DELETE FROM Programs WHERE Name = 'Doom'; INSERT INTO Programs (Name, Ref) VALUES "
                        "('Quake', 'q')");
        f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
        w->DeleteSelected();
        QCOMPARE(f.seam.messageTexts().value(1), goneText(QStringLiteral("Doom")));
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")),
                 (QStringList{QStringLiteral("Access"), QStringLiteral("Quake")}));
        QCOMPARE(w->listNames(), (QStringList{QStringLiteral("Access"), QStringLiteral("Quake")}));
    }

    void moveOfAnEntryRemovedElsewhere_data()
    {
        QTest::addColumn<bool>("beforeTheSelection");
        QTest::newRow("removed after it was selected") << false;
        QTest::newRow("removed before it was selected") << true;
    }

    void moveOfAnEntryRemovedElsewhere()
    {
        QFETCH(bool, beforeTheSelection);
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Paint"), QStringLiteral("original"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        auto w = f.openMain();
        if (beforeTheSelection)
            elsewhere(f.db, "UPDATE Programs SET Name = 'Paint.NET' WHERE Name = 'Paint'");
        f.search(*w)->setText(QStringLiteral("pa"));
        QCOMPARE(w->selectedName(), QStringLiteral("Paint"));
        if (!beforeTheSelection)
            elsewhere(f.db, "UPDATE Programs SET Name = 'Paint.NET' WHERE Name = 'Paint'");
        w->moveAction(QStringLiteral("Games"))->trigger();
        QCOMPARE(f.seam.messageTexts(), QStringList{goneText(QStringLiteral("Paint"))});
        QVERIFY(namesIn(f.db, QStringLiteral("Games")).isEmpty());
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")),
                 (QStringList{QStringLiteral("Paint.NET"), QStringLiteral("Word")}));
        QCOMPARE(w->listNames(), (QStringList{QStringLiteral("Paint.NET"), QStringLiteral("Word")}));
    }

    void deleteAsksAndNoChangesNothing()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Doom"), QStringLiteral("IDDQD"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("do"));
        f.seam.messageAnswers.enqueue(zv::MessageAnswer::No);
        QTest::keyClick(f.list(*w), Qt::Key_Delete);
        QCOMPARE(f.seam.messageTexts(), QStringList{QStringLiteral("Вы действительно хотите удалить запись Doom ?")});
        QCOMPARE(f.seam.messages[0].form, zv::MessageForm::YesNoQuestion);
        QCOMPARE(w->listCount(), 2);
        QCOMPARE(f.search(*w)->text(), QStringLiteral("do"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("IDDQD"));
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Записей: 2"));
    }

    void deleteWithYes()
    {
        MainWindowFixture f;
        for (const char *name : {"Access", "Doom", "Excel"})
            f.add(QStringLiteral("Programs"), QString::fromLatin1(name), QStringLiteral("t"));
        auto w = f.openMain();
        // Picked with the mouse, the search box empty: afterwards nothing is selected.
        QListView *list = f.list(*w);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(w->selectedName(), QStringLiteral("Doom"));
        f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
        emit static_cast<VistaButton *>(f.control(*w, "DeleteButton"))->Click();
        QCOMPARE(w->listNames(), (QStringList{QStringLiteral("Access"), QStringLiteral("Excel")}));
        QCOMPARE(w->selectedRow(), -1);
        QVERIFY(!f.control(*w, "Print_cmd")->isEnabled());
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Записей: 2"));
        QCOMPARE(f.text(*w)->toPlainText(), QString());
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")),
                 (QStringList{QStringLiteral("Access"), QStringLiteral("Excel")}));
        // With nothing selected a second delete neither asks nor touches anything.
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(f.seam.messages.size(), 1);
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")).size(), 2);

        // With text in the search box, the first entry is selected afterwards and the text box stays empty.
        f.search(*w)->setText(QStringLiteral("ex"));
        f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
        w->findChild<QAction *>(QStringLiteral("mnuDeleteItem"))->trigger();
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Access")});
        QCOMPARE(w->selectedName(), QStringLiteral("Access"));
        QVERIFY(f.control(*w, "Print_cmd")->isEnabled());
        QCOMPARE(f.search(*w)->text(), QString());
        QCOMPARE(f.text(*w)->toPlainText(), QString());
        QCOMPARE(w->CurrentRecord().name, QStringLiteral("Access"));
    }

    void moveStoresTheEditedText()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Paint"), QStringLiteral("original"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("w"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("pa"));
        f.text(*w)->selectAll();
        QTest::keyClicks(f.text(*w), QStringLiteral("edited before the move"));
        w->moveAction(QStringLiteral("Other"))->trigger();
        QVERIFY(f.seam.messages.isEmpty());
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Word")});
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Записей: 1"));
        QCOMPARE(FindEntry(f.db, QStringLiteral("Other"), QStringLiteral("Paint")).ref,
                 QStringLiteral("edited before the move"));
        QVERIFY(!FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Paint")).found());
        // The search box held text, so the first entry is selected now; a move acts on it, not on Paint.
        QCOMPARE(w->selectedName(), QStringLiteral("Word"));
    }

    void failedMoveKeepsTheEntry()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Paint"), QStringLiteral("original"));
        sqlite3_exec(f.db->handle(), "DROP TABLE Movie", nullptr, nullptr, nullptr);
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("pa"));
        w->MoveItem(QStringLiteral("text"), QStringLiteral("Paint"), QStringLiteral("Movie"));
        QCOMPARE(f.seam.messages.size(), 1);
        QVERIFY(f.seam.messages[0].text.contains(QStringLiteral("Запись осталась на месте")));
        QCOMPARE(FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Paint")).ref, QStringLiteral("original"));
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Paint")});
        // The record is still the current one: a later delete still works.
        f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
        w->DeleteSelected();
        QVERIFY(namesIn(f.db, QStringLiteral("Programs")).isEmpty());
    }

    void lockedCatalogueIsReportedAndNothingIsLost()
    {
        MainWindowFixture f;
        zv::setCatalogueBusyTimeout(50);
        f.add(QStringLiteral("Programs"), QStringLiteral("Paint"), QStringLiteral("original"));
        auto w = f.openMain();
        frmAddNewField editor(w.get(), w->session());
        editor.Text1->setText(QStringLiteral("Word"));
        editor.txtText->setPlainText(QStringLiteral("pinball"));
        f.search(*w)->setText(QStringLiteral("pa"));
        // Another program holds the catalogue locked.
        QCOMPARE(sqlite3_exec(f.db->handle(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        emit editor.cmdAdd->Click();
        QCOMPARE(f.seam.messages.size(), 1);
        QVERIFY(f.seam.messages[0].text.contains(QStringLiteral("занят другой программой")));
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Paint")});
        QCOMPARE(editor.Text1->text(), QStringLiteral("Word")); // the typed entry is still there to retry
        w->moveAction(QStringLiteral("Games"))->trigger();
        QCOMPARE(f.seam.messages.size(), 2);
        QVERIFY(f.seam.messages[1].text.contains(QStringLiteral("Запись осталась на месте")));
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Paint")});
        sqlite3_exec(f.db->handle(), "COMMIT", nullptr, nullptr, nullptr);
        emit editor.cmdAdd->Click();
        QCOMPARE(f.seam.messages.size(), 2);
        QCOMPARE(namesIn(f.db, QStringLiteral("Programs")),
                 (QStringList{QStringLiteral("Paint"), QStringLiteral("Word")}));
        zv::setCatalogueBusyTimeout(5000);
    }

    void everythingSurvivesARestart()
    {
        MainWindowFixture f;
        {
            auto w = f.openMain();
            frmAddNewField editor(w.get(), w->session());
            editor.Text1->setText(QStringLiteral("Калькулятор"));
            editor.txtText->setPlainText(QStringLiteral("1+1"));
            emit editor.cmdAdd->Click();
        }
        auto w = f.openMain();
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Калькулятор")});
        f.search(*w)->setText(QStringLiteral("к"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("1+1"));
    }
};

QTEST_MAIN(TestEntryEditing)
#include "tst_entry_editing.moc"
