#include "CaptureOutput.h"
#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/Addresses.h"
#include "core/SharedState.h"
#include "core/Version.h"
#include "gui/WindowGeometry.h"
#include "gui/controls/EventLabel.h"
#include "gui/controls/VistaButton.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmTitles.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

QWidget *control(QWidget &w, const QString &name)
{
    QWidget *found = name == w.objectName() ? &w : w.findChild<QWidget *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

void mouse(QWidget *target, QEvent::Type type, Qt::MouseButton button = Qt::LeftButton, QPoint at = {5, 5})
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease || type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void hover(QWidget *target)
{
    mouse(target, QEvent::MouseMove);
}

void click(QWidget *target)
{
    mouse(target, QEvent::MouseButtonPress);
    mouse(target, QEvent::MouseButtonRelease);
}

// Which picture a control shows: the name of its file under resources/pictures, or "?".
QString shownPicture(QWidget &w, const char *name)
{
    const QImage shown = static_cast<QLabel *>(control(w, QString::fromLatin1(name)))->pixmap().toImage();
    for (const char *file :
         {"about-logo", "about-logo-hover", "about-web", "about-web-hover", "about-mail", "about-mail-hover",
          "about-contacts", "about-contacts-hover", "about-forum", "about-forum-hover"}) {
        if (shown == QImage(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(file))))
            return QString::fromLatin1(file).mid(6);
    }
    return QStringLiteral("?");
}

QString colour(QWidget &w, const char *name)
{
    const QColor c = control(w, QString::fromLatin1(name))->palette().color(QPalette::WindowText);
    static const QList<std::pair<QColor, QString>> names = {
        {Qt::white, QStringLiteral("white")},         {Qt::black, QStringLiteral("black")},
        {QColor(64, 64, 64), QStringLiteral("grey")}, {QColor(255, 0, 0), QStringLiteral("red")},
        {QColor(0, 255, 0), QStringLiteral("green")}, {QColor(0, 0, 128), QStringLiteral("navy")}};
    for (const auto &[known, text] : names) {
        if (c == known)
            return text;
    }
    return c.name();
}

// Everything the hovers change, in one line: the five pictures, then Label5, 9, 10, 11, 8 and 4.
QString look(QWidget &w)
{
    return QStringList{shownPicture(w, "Image1"), shownPicture(w, "cmdWeb"), shownPicture(w, "Image2"),
                       shownPicture(w, "Image3"), shownPicture(w, "Image4")}
               .join(QLatin1Char(' ')) +
           QStringLiteral(" | ") +
           QStringList{colour(w, "Label5"),  colour(w, "Label9"), colour(w, "Label10"),
                       colour(w, "Label11"), colour(w, "Label8"), colour(w, "Label4")}
               .join(QLatin1Char(' '));
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<zvtest::TempHome> m_home;
    std::unique_ptr<zvtest::ScriptedSeam> m_seam;

    std::unique_ptr<frmAbout> open()
    {
        auto about = std::make_unique<frmAbout>();
        about->show();
        return about;
    }

    // Two changes that nothing but a reset puts back: the logo hovered, the link pressed green.
    void stir(frmAbout &w)
    {
        hover(control(w, QStringLiteral("Image1")));
        mouse(control(w, QStringLiteral("Label8")), QEvent::MouseButtonPress);
    }

private slots:
    void init()
    {
        m_home = std::make_unique<zvtest::TempHome>();
        m_seam = std::make_unique<zvtest::ScriptedSeam>();
        zv::initVersionValues();
    }

    void cleanup()
    {
        m_seam.reset();
        m_home.reset();
    }

    void loadsWithVersionsAndTheAdvertisementOutOfView()
    {
        auto w = open();
        QCOMPARE(w->windowTitle(), QStringLiteral("Zorvanell ") + QLatin1String(zv::version::kShort));
        QCOMPARE(static_cast<QLabel *>(control(*w, QStringLiteral("Label1")))->text(),
                 QStringLiteral("Zorvanell ") + QLatin1String(zv::version::kFull));
        QCOMPARE(static_cast<QLabel *>(control(*w, QStringLiteral("bd")))->text(),
                 QStringLiteral("Сборка от 14 сентября 2009"));
        QCOMPARE(static_cast<QLabel *>(control(*w, QStringLiteral("Label8")))->text(),
                 QStringLiteral("Прислать пасхалку"));
        QCOMPARE(static_cast<VistaButton *>(control(*w, QStringLiteral("VistaButton1")))->Caption(),
                 QStringLiteral("Команда Zorvanell"));
        QCOMPARE(control(*w, QStringLiteral("Image3"))->toolTip(),
                 QStringLiteral("Скопировать номера ICQ в буфер обмена"));
        QCOMPARE(w->size(), QSize(448, 160));
        QCOMPARE(w->palette().color(QPalette::Window), QColor(Qt::black));
        QVERIFY(control(*w, QStringLiteral("Frame1"))->y() >= w->height());
        QCOMPARE(control(*w, QStringLiteral("Image1"))->geometry(), QRect(0, 8, 116, 116));
        for (int spare = 5; spare <= 14; ++spare)
            QVERIFY(!control(*w, QStringLiteral("Image%1").arg(spare))->isVisible());
        QCOMPARE(look(*w), QStringLiteral("logo web mail contacts forum | grey grey grey grey red navy"));
    }

    void iconCaptionsShowTheirWordOnTheSecondLine()
    {
        auto w = open();
        for (const char *name : {"Label5", "Label9", "Label10", "Label11"}) {
            QWidget *caption = control(*w, QString::fromLatin1(name));
            const QImage shot = caption->grab().toImage();
            const int line = caption->fontMetrics().height();
            auto inkIn = [&](int top, int bottom) {
                for (int y = top; y < std::min(bottom, shot.height()); ++y)
                    for (int x = 0; x < shot.width(); ++x)
                        if (qGray(shot.pixel(x, y)) > 30)
                            return true;
                return false;
            };
            QVERIFY2(!inkIn(0, line), name);
            QVERIFY2(inkIn(line, 2 * line), name);
            // Label5 holds two more words; they lie below what it shows.
            QVERIFY2(!inkIn(2 * line, shot.height()), name);
        }
    }

    void hoverTable_data()
    {
        QTest::addColumn<QString>("pointer");
        QTest::addColumn<QString>("expected");
        // Before each row: the logo hovered and the link pressed green.
        const QString stirred = QStringLiteral("logo-hover web mail contacts forum | grey grey grey grey green navy");
        const QString reset = QStringLiteral("logo web mail contacts forum | black black black black red navy");
        QTest::newRow("nothing") << QString() << stirred;
        QTest::newRow("window") << QStringLiteral("frmAbout") << reset;
        QTest::newRow("Label2") << QStringLiteral("Label2") << reset;
        QTest::newRow("Label3") << QStringLiteral("Label3") << reset;
        QTest::newRow("VistaButton1") << QStringLiteral("VistaButton1") << reset;
        QTest::newRow("press on Label1") << QStringLiteral("press Label1") << reset;
        QTest::newRow("move on Label1") << QStringLiteral("Label1") << stirred;
        QTest::newRow("move on bd") << QStringLiteral("bd") << stirred;
        QTest::newRow("Image1") << QStringLiteral("Image1") << stirred;
        const QString web = QStringLiteral("logo web-hover mail contacts forum | white black black black red navy");
        QTest::newRow("cmdWeb") << QStringLiteral("cmdWeb") << web;
        QTest::newRow("Label5") << QStringLiteral("Label5") << web;
        // Mail and contacts put nothing back.
        const QString mail =
            QStringLiteral("logo-hover web mail-hover contacts forum | grey white grey grey green navy");
        QTest::newRow("Image2") << QStringLiteral("Image2") << mail;
        QTest::newRow("Label9") << QStringLiteral("Label9") << mail;
        const QString contacts =
            QStringLiteral("logo-hover web mail contacts-hover forum | grey grey white grey green navy");
        QTest::newRow("Image3") << QStringLiteral("Image3") << contacts;
        QTest::newRow("Label10") << QStringLiteral("Label10") << contacts;
        const QString forum = QStringLiteral("logo web mail contacts forum-hover | black black black white red navy");
        QTest::newRow("Image4") << QStringLiteral("Image4") << forum;
        QTest::newRow("Label11") << QStringLiteral("Label11") << forum;
        QTest::newRow("Label4") << QStringLiteral("Label4")
                                << QStringLiteral("logo web mail contacts forum | black black black black red white");
        QTest::newRow("Label8") << QStringLiteral("Label8")
                                << QStringLiteral("logo web mail contacts forum | black black black black green navy");
    }

    void hoverTable()
    {
        QFETCH(QString, pointer);
        QFETCH(QString, expected);
        auto w = open();
        stir(*w);
        if (pointer.startsWith(QLatin1String("press ")))
            mouse(control(*w, pointer.mid(6)), QEvent::MouseButtonPress);
        else if (!pointer.isEmpty())
            hover(control(*w, pointer));
        QCOMPARE(look(*w), expected);
    }

    void mailStraightToContactsLeavesBothHovered()
    {
        auto w = open();
        hover(control(*w, QStringLiteral("Image2")));
        hover(control(*w, QStringLiteral("Image3")));
        QCOMPARE(look(*w), QStringLiteral("logo web mail-hover contacts-hover forum | grey white white grey red navy"));
        hover(control(*w, QStringLiteral("Image4")));
        QCOMPARE(look(*w), QStringLiteral("logo web mail contacts forum-hover | black black black white red navy"));
    }

    void linkStaysGreenUntilAnotherReset()
    {
        auto w = open();
        QWidget *link = control(*w, QStringLiteral("Label8"));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        mouse(link, QEvent::MouseButtonPress);
        mouse(link, QEvent::MouseButtonRelease);
        hover(control(*w, QStringLiteral("Image2")));
        QCOMPARE(colour(*w, "Label8"), QStringLiteral("green"));
        hover(w.get());
        QCOMPARE(colour(*w, "Label8"), QStringLiteral("red"));
    }

    void logoGame()
    {
        auto w = open();
        QWidget *logo = control(*w, QStringLiteral("Image1"));
        auto clicks = [&](int n) {
            for (int i = 0; i < n; ++i)
                click(logo);
        };
        clicks(1);
        QCOMPARE(w->logoTop(), 120 - 250);
        QCOMPARE(logo->y(), zv::twipsFloor(120 - 250));
        clicks(4);
        QCOMPARE(w->logoTop(), 120 - 1250);
        QCOMPARE(logo->y(), -76);
        clicks(5);
        QCOMPARE(w->logoTop(), 120);
        QCOMPARE(logo->y(), 8);
        clicks(1);
        QCOMPARE(logo->y(), 8);
        clicks(20);
        QCOMPARE(logo->y(), 8);
        QVERIFY(m_seam->messages.isEmpty());
    }

    void doubleClickCountsOnceThenTellsTheJokeAndCloses()
    {
        auto w = open();
        QWidget *logo = control(*w, QStringLiteral("Image1"));
        mouse(logo, QEvent::MouseButtonPress);
        mouse(logo, QEvent::MouseButtonRelease);
        mouse(logo, QEvent::MouseButtonDblClick);
        mouse(logo, QEvent::MouseButtonRelease);
        QCOMPARE(w->logoTop(), 120 - 250);
        QCOMPARE(m_seam->messages.size(), 6);
        for (int i = 0; i < 2; ++i) {
            const QStringList lines = m_seam->messages[i].text.split(QLatin1Char('\r'));
            QCOMPARE(lines.size(), 4);
            QVERIFY(lines[0].contains(QStringLiteral("писал эту программу под музыку")));
            QCOMPARE(m_seam->messages[i].form, zv::MessageForm::Ok);
            QCOMPARE(m_seam->messages[i].caption, QStringLiteral("Zorvanell"));
        }
        QCOMPARE(m_seam->messageTexts().mid(2),
                 (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("0")}));
        QVERIFY(!w->isVisible());
    }

    void contactListsReplaceTheClipboard()
    {
        auto w = open();
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("something else"));
        click(control(*w, QStringLiteral("Image3")));
        const QString a = clipboard->text();
        QCOMPARE(a, frmAbout::contactListA());
        click(control(*w, QStringLiteral("Label10")));
        const QString b = clipboard->text();
        QCOMPARE(b, frmAbout::contactListB());
        for (const QString &list : {a, b}) {
            const QStringList lines = list.split(QStringLiteral("\r\n"));
            QCOMPARE(lines.size(), 4);
            QCOMPARE(lines[0], QStringLiteral("ICQ"));
            for (const QString &line : lines.mid(1))
                QVERIFY2(QRegularExpression(QStringLiteral("^\\S+: 000-000-\\d{3}$")).match(line).hasMatch(),
                         qPrintable(line));
        }
        QVERIFY(a != b);
        QVERIFY(m_seam->opened.isEmpty());
    }

    void linksGoThroughTheSeam()
    {
        auto w = open();
        for (const char *name :
             {"cmdWeb", "Label5", "Image2", "Label9", "Image4", "Label11", "Label4", "Label8", "Label6"})
            click(control(*w, QString::fromLatin1(name)));
        const QString site = zv::addresses::kProjectSite;
        const QString mail = QStringLiteral("mailto:authors@zorvanell.example.org");
        QCOMPARE(m_seam->opened,
                 (QStringList{site, site, mail, mail, site + QStringLiteral("forum/"), site + QStringLiteral("forum/"),
                              site, site + QStringLiteral("forum/post.php?action=reply&forum=17&topic=13"),
                              zv::addresses::kPartnerPortal}));
        QVERIFY(m_seam->started.isEmpty());
    }

    void keyboardAndScreenReadersReachEveryLink()
    {
        auto w = open();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        // Tab visits what reacts to a click, row by row, and nothing that only shows text.
        QStringList visited;
        for (int i = 0; i < 12; ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited,
                 (QStringList{QStringLiteral("Image1"), QStringLiteral("VistaButton1"), QStringLiteral("cmdWeb"),
                              QStringLiteral("Image2"), QStringLiteral("Image3"), QStringLiteral("Image4"),
                              QStringLiteral("Label5"), QStringLiteral("Label9"), QStringLiteral("Label10"),
                              QStringLiteral("Label11"), QStringLiteral("Label8"), QStringLiteral("Label4")}));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Image1"));

        const QList<std::pair<const char *, QString>> named = {
            {"Image1", QStringLiteral("Логотип Zorvanell")},
            {"cmdWeb", QStringLiteral("Сайт программы в интернете")},
            {"Image2", QStringLiteral("Написать письмо автору")},
            {"Image3", QStringLiteral("Скопировать номера ICQ в буфер обмена")},
            {"Image4", QStringLiteral("Форум программы")},
            {"Label5", QStringLiteral("Сайт")},
            {"Label9", QStringLiteral("Почта")},
            {"Label11", QStringLiteral("Форум")},
            {"Label8", QStringLiteral("Прислать пасхалку")}};
        for (const auto &[name, expected] : named) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(control(*w, QString::fromLatin1(name)));
            QCOMPARE(a->role(), QAccessible::Button);
            QCOMPARE(a->text(QAccessible::Name), expected);
        }
        QCOMPARE(QAccessible::queryAccessibleInterface(control(*w, QStringLiteral("Label2")))->role(),
                 QAccessible::StaticText);

        // The press action and Space do what a click does.
        QAccessible::queryAccessibleInterface(control(*w, QStringLiteral("Image4")))
            ->actionInterface()
            ->doAction(QAccessibleActionInterface::pressAction());
        QTRY_COMPARE(m_seam->opened, QStringList{zv::addresses::kForum});
        QTest::keyClick(control(*w, QStringLiteral("cmdWeb")), Qt::Key_Space);
        QCOMPARE(m_seam->opened.last(), zv::addresses::kProjectSite);
        // A label that only shows text takes no key.
        QTest::keyClick(control(*w, QStringLiteral("Label6")), Qt::Key_Return);
        QCOMPARE(m_seam->opened.size(), 2);
    }

    void teamButtonOpensTheCreditsOverTheAboutWindow()
    {
        QList<std::shared_ptr<zvtest::Capture>> captures;
        zvtest::OutputFactoryGuard output(zvtest::capturingFactory(captures, 4096));
        auto w = open();
        bool credits = false;
        bool modalOverAbout = false;
        QTimer::singleShot(0, w.get(), [&] {
            auto *titles = qobject_cast<frmTitles *>(QApplication::activeModalWidget());
            credits = titles;
            if (!titles)
                return;
            modalOverAbout = titles->isModal() && titles->parentWidget() == w.get();
            titles->reject();
        });
        emit static_cast<VistaButton *>(control(*w, QStringLiteral("VistaButton1")))->Click();
        QVERIFY(credits);
        QVERIFY(modalOverAbout);
        QVERIFY(w->isVisible());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_frmabout.moc"
