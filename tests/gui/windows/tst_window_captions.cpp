#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/INI.h"
#include "core/SharedState.h"
#include "gui/controls/VistaButton.h"
#include "gui/windows/Form1.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmOptions.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <memory>

namespace {

// The text a control shows, whatever its kind; the window's own title for "".
QString shownText(QWidget &window, const QString &control)
{
    if (control.isEmpty())
        return window.windowTitle();
    QWidget *w = window.findChild<QWidget *>(control);
    if (auto *button = qobject_cast<VistaButton *>(w))
        return button->Caption();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *frame = qobject_cast<QGroupBox *>(w))
        return frame->title();
    qFatal("no control %s", qPrintable(control));
}

std::unique_ptr<QWidget> openWindow(const QString &name)
{
    if (name == QLatin1String("Form1"))
        return std::make_unique<Form1>();
    if (name == QLatin1String("frmAbout"))
        return std::make_unique<frmAbout>();
    return std::make_unique<frmOptions>(nullptr);
}

} // namespace

class TestWindowCaptions : public QObject
{
    Q_OBJECT

private slots:
    void shippedAlternativeSetReachesEveryCaption_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("builtIn");
        const QList<std::array<const char *, 4>> table = {
            {"Form1", "", "Caption_f1", "Small tool"},
            {"Form1", "Command1", "Exit_f1", "Закрыть"},
            {"Form1", "Command3", "Open_f1", "Открыть"},
            {"Form1", "Command2", "Close_f1", "Выход"},
            {"Form1", "Command4", "Clear_f1", "Очистить лишние процессы"},
            {"Form1", "Label1", "Label_f1", "Введите название"},
            // The version lines are checked against the version in tst_frmabout.
            {"frmAbout", "", "Caption_About", nullptr},
            {"frmAbout", "Label1", "Program_version_About", nullptr},
            {"frmAbout", "Label2", "Author_About", nullptr},
            {"frmAbout", "Label3", "Programmers_About", nullptr},
            {"frmAbout", "Label6", "Reklama_About", nullptr},
            {"frmAbout", "Label8", "Add_egg_About", "Прислать пасхалку"},
            {"frmAbout", "bd", "Compile_About", "Сборка от 14 сентября 2009"},
            {"frmAbout", "VistaButton1", "Team_About", "Команда Zorvanell"},
            {"frmAbout", "Frame1", "Frame1_About", "Реклама:"},
            {"frmOptions", "", "Caption_frmOptions", "Настройка программы"},
            {"frmOptions", "Label1", "frmOptions_Transparent", "Уровень прозрачности (125-255):"},
            {"frmOptions", "Label2", "frmOptions_Language", "Язык"},
            {"frmOptions", "chkRunsCount", "frmOptions_Count_Show", "Показывать счётчик запусков"},
            {"frmOptions", "chkSplash", "frmOptions_Splash", "Показывать заставку"},
            {"frmOptions", "chkOnTop", "frmOptions_Ontop", "Поверх всех окон"},
            {"frmOptions", "Taskkill_c", "frmOptions_Taskkill", "Выход через taskkill (если вылетает ошибка)"},
        };
        for (const auto &[window, control, key, builtIn] : table)
            QTest::newRow(key) << QString::fromLatin1(window) << QString::fromLatin1(control)
                               << QString::fromLatin1(key) << (builtIn ? QString::fromUtf8(builtIn) : QString());
    }

    void shippedAlternativeSetReachesEveryCaption()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, key);
        QFETCH(QString, builtIn);
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        zv::initVersionValues();
        {
            auto shown = openWindow(window);
            if (!builtIn.isEmpty())
                QCOMPARE(shownText(*shown, control), builtIn);
        }
        QFile shipped(QStringLiteral(ZV_SOURCE_DIR "/data/Language.ini"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        home.write(QStringLiteral("Language.ini"), shipped.readAll());
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        auto shown = openWindow(window);
        const QString alternative = ReadLangString(key, QString());
        QVERIFY(!alternative.isEmpty());
        QVERIFY(alternative != builtIn);
        QCOMPARE(shownText(*shown, control), alternative);
        QVERIFY(seam.messages.isEmpty());
    }
};

QTEST_MAIN(TestWindowCaptions)
#include "tst_window_captions.moc"
