#include "MainWindowFixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

// Ctrl+Z and Ctrl+Y in the main window, as a user presses them.
class TestMainUndo : public QObject
{
    Q_OBJECT

    static void press(QWidget *where, Qt::KeyboardModifiers modifiers, Qt::Key key = Qt::Key_Z)
    {
        QTest::keyClick(where, key, modifiers);
    }

private slots:
    void undoAndRedoShowWhatChanged()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        f.add(QStringLiteral("Programs"), QStringLiteral("Word"), QStringLiteral("pinball"));
        auto w = f.openMain();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        f.search(*w)->setText(QStringLiteral("wo"));
        f.seam.messageAnswers.enqueue(zv::MessageAnswer::Yes);
        w->DeleteSelected();
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Excel")});

        f.list(*w)->setFocus();
        press(f.list(*w), Qt::ControlModifier);
        QCOMPARE(w->listNames(), (QStringList{QStringLiteral("Excel"), QStringLiteral("Word")}));
        QCOMPARE(w->selectedName(), QStringLiteral("Word"));
        QCOMPARE(f.text(*w)->toPlainText(), QStringLiteral("pinball"));
        QCOMPARE(f.label(*w, "lblCount")->text(), QStringLiteral("Записей: 2"));
        // Both keys for redo make the change again; neither takes it back.
        for (const Qt::KeyboardModifiers redo : {Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier),
                                                 Qt::KeyboardModifiers(Qt::ControlModifier)}) {
            press(f.list(*w), redo, redo & Qt::ShiftModifier ? Qt::Key_Z : Qt::Key_Y);
            QCOMPARE(w->listNames(), QStringList{QStringLiteral("Excel")});
            press(f.list(*w), Qt::ControlModifier);
            QCOMPARE(w->listNames(), (QStringList{QStringLiteral("Excel"), QStringLiteral("Word")}));
        }
        QCOMPARE(f.seam.messages.size(), 1); // the delete's question only
    }

    void typingInATextBoxIsTakenBackFirst()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        auto w = f.openMain();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->session().addEntry(QStringLiteral("Access"), QStringLiteral("a"));
        QLineEdit *box = f.search(*w);
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("ex"));
        press(box, Qt::ControlModifier);
        QCOMPARE(box->text(), QString());
        QCOMPARE(w->listCount(), 2);
        // Nothing typed is left to take back: the catalogue's last change goes.
        press(box, Qt::ControlModifier);
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Excel")});
    }

    // An update of many entries is taken back on a thread of its own; the window shows the result.
    void aBigUpdateIsTakenBackWhileTheWindowKeepsReacting()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        auto w = f.openMain();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        const QString folder = f.home.file(QStringLiteral("base"));
        QDir().mkpath(folder);
        QStringList files;
        for (int i = 0; i < zv::CatalogueSession::kBackgroundStepRecords; ++i) {
            files << QStringLiteral("Entry %1").arg(i);
            QFile file(folder + QLatin1Char('/') + files.constLast());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("text");
        }
        zv::UpdateBatch batch = w->session().beginUpdateBatch();
        QVERIFY(batch.run(folder, files, {}, nullptr));
        w->session().finishUpdateBatch(std::move(batch));
        QCOMPARE(w->listCount(), files.size() + 1);
        press(f.list(*w), Qt::ControlModifier);
        QVERIFY(w->session().historyStepRunning());
        // A second press meanwhile is not a second undo.
        press(f.list(*w), Qt::ControlModifier);
        QTRY_VERIFY(!w->session().historyStepRunning());
        QCOMPARE(w->listNames(), QStringList{QStringLiteral("Excel")});
        QCOMPARE(ListNames(f.db, QStringLiteral("Programs")), QStringList{QStringLiteral("Excel")});
        press(f.list(*w), Qt::ControlModifier, Qt::Key_Y);
        QTRY_COMPARE(w->listCount(), files.size() + 1);
        QVERIFY(f.seam.messages.isEmpty());
    }

    void aChangeMadeElsewhereIsNotUndone()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), QStringLiteral("Excel"), QStringLiteral("flight"));
        auto w = f.openMain();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->session().addEntry(QStringLiteral("Access"), QStringLiteral("a"));
        QCOMPARE(sqlite3_exec(f.db->handle(), "UPDATE Programs SET Ref = 'theirs' WHERE Name = 'Access'", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
        press(f.list(*w), Qt::ControlModifier);
        QCOMPARE(f.seam.messages.size(), 1);
        QVERIFY(f.seam.messages[0].text.startsWith(QStringLiteral("Отменить это изменение нельзя")));
        QCOMPARE(FindEntry(f.db, QStringLiteral("Programs"), QStringLiteral("Access")).ref, QStringLiteral("theirs"));
    }
};

QTEST_MAIN(TestMainUndo)
#include "tst_main_undo.moc"
