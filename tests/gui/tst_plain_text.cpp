// Names, server texts, counters and captions from Language.ini are data: whatever they hold,
// every message box, input box and label shows them character for character.
#include "catalogue/MainWindowFixture.h"
#include "core/INI.h"
#include "core/TextCodec.h"
#include "core/update/ProgramUpdate.h"
#include "gui/QtSeam.h"
#include "gui/catalogue/frmAddNewField.h"
#include "gui/catalogue/frmEditItem.h"
#include "gui/controls/VistaButton.h"
#include "gui/screenshots/frmSelectScreenShot.h"
#include "gui/update/frmUpdate.h"
#include "gui/windows/Form1.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmOptions.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

const QString kImg = QStringLiteral("<img src=/etc/passwd>");

// Runs `look` on the next modal dialog once it is up; `look` closes it.
void whenShown(const std::function<void(QWidget *)> &look)
{
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, look] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        look(dialog);
    });
    timer->start();
}

// Shown as typed: no markup read, and as wide as the characters themselves (an <img> or a
// heading would render narrower or not at all).
void checkLiteral(QLabel *label, const QString &text)
{
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    if (!label->wordWrap())
        QVERIFY(label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(text));
}

QLabel *buttonLabel(QWidget *window, const char *button)
{
    return window->findChild<VistaButton *>(QLatin1String(button))->findChild<QLabel *>(QStringLiteral("lbl"));
}

// Every label of `window` that shows text shows it as plain text.
void checkAllLabelsPlain(QWidget *window)
{
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    QVERIFY(!labels.isEmpty());
    for (QLabel *label : labels) {
        if (!label->pixmap().isNull())
            continue;
        QVERIFY2(label->textFormat() == Qt::PlainText,
                 qPrintable(window->objectName() + QLatin1Char('/') + label->parentWidget()->objectName() +
                            QLatin1Char('/') + label->objectName()));
    }
}

} // namespace

class TestPlainText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { zv::initVersionValues(); }

    void messageBoxesShowTextAsItIs_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<zv::MessageForm>("form");
        QTest::newRow("delete question") << QStringLiteral("Вы действительно хотите удалить запись ") + kImg +
                                                QStringLiteral(" ?")
                                         << zv::MessageForm::YesNoQuestion;
        QTest::newRow("update offer") << zv::update::offerText(QStringLiteral("<h1>big</h1>"))
                                      << zv::MessageForm::YesNoQuestion;
        QTest::newRow("store failure") << QStringLiteral("Не удалось удалить запись <b>x</b>.")
                                       << zv::MessageForm::OkExclamation;
        QTest::newRow("plain ok") << QStringLiteral("<a href=\"http://example.org\">link</a>") << zv::MessageForm::Ok;
    }

    void messageBoxesShowTextAsItIs()
    {
        QFETCH(QString, text);
        QFETCH(zv::MessageForm, form);
        zv::QtSeam real;
        zv::Seam *previous = zv::setSeam(&real);
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        whenShown([&](QWidget *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QLabel *label = box ? box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label")) : nullptr;
            if (label) {
                shown = label->text();
                format = label->textFormat();
            }
            dialog->close();
        });
        zv::showMessage(nullptr, text, form);
        zv::setSeam(previous);
        QCOMPARE(shown, text);
        QCOMPARE(format, Qt::PlainText);
    }

    void inputBoxShowsItsPromptAsItIs()
    {
        zv::QtSeam real;
        zv::Seam *previous = zv::setSeam(&real);
        QList<Qt::TextFormat> formats;
        QStringList prompts;
        whenShown([&](QWidget *dialog) {
            for (QLabel *label : dialog->findChildren<QLabel *>()) {
                formats << label->textFormat();
                prompts << label->text();
            }
            auto *input = qobject_cast<QInputDialog *>(dialog);
            input->setTextValue(QStringLiteral("<i>typed</i>"));
            input->accept();
        });
        const auto answer = real.inputBox(nullptr, QStringLiteral("Имя для ") + kImg, QStringLiteral("t"), QString());
        zv::setSeam(previous);
        QCOMPARE(prompts, QStringList{QStringLiteral("Имя для ") + kImg});
        QCOMPARE(formats, QList<Qt::TextFormat>{Qt::PlainText});
        QCOMPARE(answer, std::optional<QString>(QStringLiteral("<i>typed</i>")));
    }

    void deleteQuestionCarriesTheNameUnchanged()
    {
        MainWindowFixture f;
        f.add(QStringLiteral("Programs"), kImg, QStringLiteral("text"));
        auto w = f.openMain();
        f.search(*w)->setText(QStringLiteral("<"));
        QCOMPARE(w->selectedName(), kImg);
        // Through the scripted seam: the name reaches the box as it is, not escaped.
        w->DeleteSelected();
        QCOMPARE(f.seam.messageTexts(),
                 QStringList{QStringLiteral("Вы действительно хотите удалить запись ") + kImg + QStringLiteral(" ?")});
        // Through the real seam: the box shows it as typed.
        zv::QtSeam real;
        zv::Seam *previous = zv::setSeam(&real);
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        whenShown([&](QWidget *dialog) {
            auto *box = qobject_cast<QMessageBox *>(dialog);
            QLabel *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            shown = label->text();
            format = label->textFormat();
            box->button(QMessageBox::No)->click();
        });
        w->DeleteSelected();
        zv::setSeam(previous);
        QCOMPARE(shown, QStringLiteral("Вы действительно хотите удалить запись ") + kImg + QStringLiteral(" ?"));
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(w->listNames(), QStringList{kImg});
    }

    void updateStatusShowsServerNamesAsTheyAre()
    {
        MainWindowFixture f;
        // A published folder, reached by file://; the names come from the server's list.
        const QString hostile = QStringLiteral("<img src=x.png onerror=alert(1)>");
        const QString root = f.home.file(QStringLiteral("published"));
        QDir().mkpath(root + QStringLiteral("/zv_upd/Programs/base"));
        f.home.write(QStringLiteral("published/zv_upd/Programs/spisok.txt"), zv::toCp1251(hostile));
        f.home.write(QStringLiteral("published/zv_upd/Programs/base/") + hostile, "<h1>big</h1>");
        auto w = f.openMain();
        frmUpdate updater(w->session(), w.get());
        updater.findChild<QComboBox *>(QStringLiteral("cmbServer"))
            ->setCurrentText(QStringLiteral("file://") + root + QLatin1Char('/'));
        QLabel *stat = updater.findChild<QLabel *>(QStringLiteral("stat"));
        QString statAtTheEnd;
        f.seam.onMessage = [&](const zvtest::ScriptedSeam::Message &message) {
            if (message.text == QStringLiteral("База обновлена!")) {
                statAtTheEnd = stat->text();
                checkLiteral(stat, QStringLiteral("Добавляем ") + hostile);
            }
        };
        f.seam.messageAnswers << zv::MessageAnswer::Yes;
        emit updater.findChild<VistaButton *>(QStringLiteral("Command1"))->Click();
        QCOMPARE(f.seam.messageTexts().value(0), QStringLiteral("Новых записей 1, обновить?"));
        QCOMPARE(statAtTheEnd, QStringLiteral("Добавляем ") + hostile);
        QCOMPARE(w->listNames(), QStringList{hostile});
        QCOMPARE(FindEntry(f.db, QStringLiteral("Programs"), hostile).ref, QStringLiteral("<h1>big</h1>"));
    }

    void mainWindowLabelsShowDataAsItIs()
    {
        MainWindowFixture f;
        WriteOption(QStringLiteral("RunCount"), kImg);
        f.add(QStringLiteral("Programs"), QStringLiteral("Google Earth"), QStringLiteral("text"));
        auto w = f.openMain();
        checkLiteral(f.label(*w, "Label1"), QStringLiteral("Программа запущена ") + kImg + QStringLiteral("й раз"));
        checkLiteral(f.label(*w, "lblCount"), QStringLiteral("Записей: 1"));
    }

    void captionsFromTheLanguageFileShowAsTheyAre()
    {
        MainWindowFixture f;
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        f.home.write(QStringLiteral("Language.ini"),
                     zv::toCp1251(QStringLiteral("[Падонак]\r\nCaption=<b>Z</b>\r\nAddItem=<i>Накатать</i>\r\n"
                                                 "AddNewField_Name=") +
                                  kImg + QStringLiteral("\r\nfrmUpdate_Greet=<h1>Превед</h1>\r\n")));
        auto w = f.openMain();
        checkLiteral(buttonLabel(w.get(), "cmdAddItem"), QStringLiteral("<i>Накатать</i>"));
        frmAddNewField adder(w.get(), w->session());
        checkLiteral(adder.Label1, kImg);
        frmUpdate updater(w->session(), w.get());
        checkLiteral(updater.findChild<QLabel *>(QStringLiteral("stat")), QStringLiteral("<h1>Превед</h1>"));
    }

    void everyLabelOfTheWindowsIsPlain()
    {
        MainWindowFixture f;
        auto w = f.openMain();
        checkAllLabelsPlain(w.get());
        frmAddNewField adder(w.get(), w->session());
        checkAllLabelsPlain(&adder);
        frmEditItem editor(w.get(), w->session());
        checkAllLabelsPlain(&editor);
        frmUpdate updater(w->session(), w.get());
        checkAllLabelsPlain(&updater);
        frmOptions options(nullptr);
        checkAllLabelsPlain(&options);
        frmAbout about(w.get());
        checkAllLabelsPlain(&about);
        Form1 smallTool;
        checkAllLabelsPlain(&smallTool);
        frmSelectScreenShot picker(w.get(), w->session());
        checkAllLabelsPlain(&picker);
    }
};

QTEST_MAIN(TestPlainText)
#include "tst_plain_text.moc"
