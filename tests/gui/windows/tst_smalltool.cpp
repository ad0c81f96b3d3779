#include "FakeProc.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "gui/windows/Form1.h"
#include "gui/windows/xyu.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <memory>

using Started = zvtest::ScriptedSeam::Started;

namespace {

template <typename T> T *child(QWidget &w, const char *name)
{
    T *found = w.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
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

QStringList words(std::initializer_list<const char *> list)
{
    QStringList result;
    for (const char *word : list)
        result << QString::fromUtf8(word);
    return result;
}

QString startedText(const QList<Started> &started)
{
    QStringList lines;
    for (const Started &s : started)
        lines << (QStringList{s.program} + s.arguments).join(QStringLiteral(" | "));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestSmallTool : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<zvtest::TempHome> m_home;
    std::unique_ptr<zvtest::ScriptedSeam> m_seam;
    std::unique_ptr<zvtest::FakeProc> m_proc;
    QByteArray m_path;

    std::unique_ptr<Form1> open()
    {
        auto tool = std::make_unique<Form1>();
        tool->setAttribute(Qt::WA_DeleteOnClose, false);
        tool->setProcessFolder(m_proc->root());
        tool->show();
        return tool;
    }

    void type(Form1 &w, const QString &text) { child<QLineEdit>(w, "Text1")->setText(text); }

private slots:
    void init()
    {
        m_home = std::make_unique<zvtest::TempHome>();
        m_seam = std::make_unique<zvtest::ScriptedSeam>();
        m_proc = std::make_unique<zvtest::FakeProc>();
        // Nothing of the user's own PATH may be found.
        m_path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_home->file(QStringLiteral("bin"))));
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        qputenv("PATH", m_path);
        m_proc.reset();
        m_seam.reset();
        m_home.reset();
    }

    void controlsAsDesigned()
    {
        auto w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Small tool"));
        QCOMPARE(w->size(), QSize(329, 64));
        QCOMPARE(child<QLineEdit>(*w, "Text1")->text(), QStringLiteral("explorer.exe"));
        QCOMPARE(child<QLabel>(*w, "Label1")->text(), QStringLiteral("Введите название"));
        QCOMPARE(child<QPushButton>(*w, "Command1")->text(), QStringLiteral("Закрыть"));
        QCOMPARE(child<QPushButton>(*w, "Command3")->text(), QStringLiteral("Открыть"));
        QCOMPARE(child<QPushButton>(*w, "Command2")->text(), QStringLiteral("Выход"));
        QCOMPARE(child<QPushButton>(*w, "Command4")->text(), QStringLiteral("Очистить лишние процессы"));
        QCOMPARE(child<QPushButton>(*w, "Command4")->geometry(), QRect(248, 8, 73, 49));
        child<QPushButton>(*w, "Command2")->click();
        QVERIFY(!w->isVisible());
        QVERIFY(m_seam->started.isEmpty());
    }

    void closeStopsOnlyTheUsersOwnProcessesOfExactlyThatName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("started");
        QTest::newRow("space") << QStringLiteral("my prog") << QStringLiteral("kill | -s | KILL | -- | 10 | 16");
        QTest::newRow("quote") << QStringLiteral("it's \"x\"") << QStringLiteral("kill | -s | KILL | -- | 11");
        QTest::newRow("semicolon") << QStringLiteral("a;rm -rf ~") << QStringLiteral("kill | -s | KILL | -- | 12");
        QTest::newRow("command substitution")
            << QStringLiteral("$(touch pwned)") << QStringLiteral("kill | -s | KILL | -- | 13");
        QTest::newRow("other case") << QStringLiteral("MY PROG") << QString();
        QTest::newRow("prefix") << QStringLiteral("my") << QString();
        QTest::newRow("empty") << QString() << QString();
    }

    void closeStopsOnlyTheUsersOwnProcessesOfExactlyThatName()
    {
        QFETCH(QString, name);
        QFETCH(QString, started);
        m_proc->addOwn(10, "my prog");
        m_proc->addOwn(11, "it's \"x\"");
        m_proc->addOwn(12, "a;rm -rf ~");
        m_proc->addOwn(13, "$(touch pwned)");
        m_proc->addOwn(14, "my program");
        m_proc->addOwn(16, "my prog");
        m_proc->addForeign(20, "my prog");
        m_proc->addForeign(21, "$(touch pwned)");
        auto w = open();
        type(*w, name);
        child<QPushButton>(*w, "Command1")->click();
        QCOMPARE(startedText(m_seam->started), started);
        QVERIFY(m_seam->messages.isEmpty());
        QVERIFY(m_seam->exits.isEmpty());
    }

    void openAndEnterStartTheSplitCommandLineWithoutAShell()
    {
        auto w = open();
        QLineEdit *text = child<QLineEdit>(*w, "Text1");
        // Quotes group words as in a shell; nothing is expanded or run.
        type(*w, QStringLiteral("\"/opt/my prog\" 'a b' c;d $(rm -rf ~) \"it's\" \"say \\\"hi\\\"\" back\\ slash"));
        child<QPushButton>(*w, "Command3")->click();
        QTest::keyClick(text, Qt::Key_Return);
        const QString expected =
            QStringLiteral("/opt/my prog | a b | c;d | $(rm | -rf | ~) | it's | say \"hi\" | back slash");
        QCOMPARE(startedText(m_seam->started), expected + QLatin1Char('\n') + expected);
        // The default text starts the file manager's name as typed; nothing is looked up.
        type(*w, QStringLiteral("explorer.exe"));
        child<QPushButton>(*w, "Command3")->click();
        QCOMPARE(m_seam->started.last().program, QStringLiteral("explorer.exe"));
        QVERIFY(m_seam->started.last().arguments.isEmpty());
        QVERIFY(m_seam->messages.isEmpty());
        QVERIFY(shown<xyu>().isEmpty());
    }

    void commandLinesSplitAsAShellSplitsQuotes_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("blanks") << QStringLiteral(" \ta  b\t ") << words({"a", "b"});
        QTest::newRow("empty quotes are a word") << QStringLiteral("a '' \"\"") << words({"a", "", ""});
        QTest::newRow("quotes join with letters") << QStringLiteral("x'a b'\"c d\"y") << words({"xa bc dy"});
        QTest::newRow("single quotes keep backslashes") << QStringLiteral("'a\\\"b'") << words({"a\\\"b"});
        QTest::newRow("double quotes escape only four")
            << QStringLiteral("\"\\$ \\` \\\\ \\n\"") << words({"$ ` \\ \\n"});
        QTest::newRow("backslash outside quotes") << QStringLiteral("a\\ b \\'c") << words({"a b", "'c"});
        QTest::newRow("a trailing backslash stays") << QStringLiteral("a\\") << words({"a\\"});
        QTest::newRow("an open quote runs to the end") << QStringLiteral("a 'b c") << words({"a", "b c"});
        QTest::newRow("nothing expanded")
            << QStringLiteral("$HOME ~ *.txt `id` a;b|c") << words({"$HOME", "~", "*.txt", "`id`", "a;b|c"});
        QTest::newRow("only blanks") << QStringLiteral("   ") << QStringList{};
    }

    void commandLinesSplitAsAShellSplitsQuotes()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, words);
        QCOMPARE(zv::splitCommandLine(line), words);
    }

    void aStartThatFailsIsPassedOverSilently()
    {
        auto w = open();
        // The default text names a program this system does not have.
        m_seam->startResults.enqueue(false);
        child<QPushButton>(*w, "Command3")->click();
        type(*w, QStringLiteral("no-such-program --flag"));
        m_seam->startResults.enqueue(false);
        QTest::keyClick(child<QLineEdit>(*w, "Text1"), Qt::Key_Return);
        QCOMPARE(m_seam->started.size(), 2);
        // Blanks only: nothing to start.
        type(*w, QStringLiteral("   "));
        child<QPushButton>(*w, "Command3")->click();
        QTest::keyClick(child<QLineEdit>(*w, "Text1"), Qt::Key_Enter);
        QCOMPARE(m_seam->started.size(), 2);
        QVERIFY(m_seam->messages.isEmpty());
    }

    void xyuShowsThePictureOnlyFromOpen()
    {
        auto w = open();
        type(*w, QStringLiteral("xyu"));
        m_seam->startResults.enqueue(false);
        QTest::keyClick(child<QLineEdit>(*w, "Text1"), Qt::Key_Return);
        QVERIFY(shown<xyu>().isEmpty());

        m_seam->startResults.enqueue(false);
        child<QPushButton>(*w, "Command3")->click();
        QCOMPARE(shown<xyu>().size(), 1);
        QCOMPARE(startedText(m_seam->started), QStringLiteral("xyu\nxyu"));
        QVERIFY(m_seam->messages.isEmpty());
        child<QPushButton>(*w, "Command3")->click();
        QCOMPARE(shown<xyu>().size(), 1);

        // "XYU" is only a program name.
        shown<xyu>().constFirst()->close();
        type(*w, QStringLiteral("XYU"));
        child<QPushButton>(*w, "Command3")->click();
        QVERIFY(shown<xyu>().isEmpty());
    }

    // A small tool closed and opened again shows the same picture, not a second one.
    void aSmallToolOpenedAgainShowsTheSamePicture()
    {
        for (int round = 0; round < 2; ++round) {
            auto w = open();
            type(*w, QStringLiteral("xyu"));
            child<QPushButton>(*w, "Command3")->click();
            QCOMPARE(shown<xyu>().size(), 1);
        }
    }

    void hiddenPictureClosesOnAnyClick()
    {
        for (const char *where : {"window", "label"}) {
            QPointer<xyu> picture = new xyu;
            picture->show();
            QCOMPARE(picture->size(), QSize(155, 412));
            QCOMPARE(picture->geometry().center(), picture->screen()->geometry().center());
            auto *label = child<QLabel>(*picture, "Label1");
            QVERIFY(label->text().startsWith(QStringLiteral("Согласно правилам лицензионного соглашения")));
            QVERIFY(label->geometry().top() >= picture->picture().height());
            QWidget *target = qstrcmp(where, "label") == 0 ? static_cast<QWidget *>(label) : picture.data();
            QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, 3));
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY2(picture.isNull(), where);
        }
    }

    void clearStopsTheListThenReportsTriesTheOldVersionAndEnds()
    {
        m_proc->addOwn(32, "dllhost.exe");
        m_proc->addOwn(30, "mdm.exe");
        m_proc->addOwn(31, "MDM.EXE");
        m_proc->addOwn(33, "UnlockerAssistant.exe", QStringLiteral("/opt/UnlockerAssistant.exe"));
        m_proc->addOwn(34, "UnlockerAssistantX");
        m_proc->addForeign(40, "jusched.exe");
        m_home->write(QStringLiteral("Zorvanell 3.9.exe"), "#!/bin/sh\n");
        QFile(m_home->file(QStringLiteral("Zorvanell 3.9.exe"))).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        auto w = open();
        int startedAtMessage = -1;
        m_seam->onMessage = [&](const zvtest::ScriptedSeam::Message &) { startedAtMessage = m_seam->started.size(); };
        child<QPushButton>(*w, "Command4")->click();
        QCOMPARE(startedText(m_seam->started), QStringLiteral("kill | -s | KILL | -- | 32 | 30 | 31 | 33\n") +
                                                   m_home->file(QStringLiteral("Zorvanell 3.9.exe")));
        QCOMPARE(startedAtMessage, 1);
        QCOMPARE(m_seam->messageTexts(), QStringList{QStringLiteral("Оперативная память компьютера очищена")});
        QCOMPARE(m_seam->messages[0].form, zv::MessageForm::Ok);
        QCOMPARE(m_seam->messages[0].caption, QStringLiteral("Zorvanell"));
        QCOMPARE(m_seam->exits, QList<int>{0});
    }

    void clearEndsEvenWithNothingToStopOrStart()
    {
        auto w = open();
        child<QPushButton>(*w, "Command4")->click();
        QVERIFY(m_seam->started.isEmpty());
        QCOMPARE(m_seam->messages.size(), 1);
        QCOMPARE(m_seam->exits, QList<int>{0});
        QCOMPARE(Form1::fixedProcessList().size(), 13);
    }
};

QTEST_MAIN(TestSmallTool)
#include "tst_smalltool.moc"
