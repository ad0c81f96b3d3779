#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/INI.h"
#include "gui/Language.h"

#include <QTest>

namespace {

// A window with two captions, standing in for any window that joins the caption set.
class FakeWindow : public LanguageAware
{
public:
    explicit FakeWindow(Window which)
        : LanguageAware(which)
    {
    }
    QList<Caption> languageCaptions() override
    {
        return {{QStringLiteral("AddItem"), [this](const QString &t) { addItem = t; }},
                {QStringLiteral("Config"), [this](const QString &t) { config = t; }}};
    }
    QString addItem = QStringLiteral("Добавить запись");
    QString config = QStringLiteral("Конфигурация");
};

QByteArray languageFile(const QByteArray &body)
{
    return QByteArray("[\xcf\xe0\xe4\xee\xed\xe0\xea]\r\n") + body; // [Падонак]
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void builtInSetChangesNothing()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        FakeWindow window(LanguageAware::Window::Main);
        ApplyLanguage();
        WriteOption(QStringLiteral("Lang"), QStringLiteral("Русский"));
        ApplyLanguage();
        QVERIFY(seam.messages.isEmpty());
        QCOMPARE(window.addItem, QStringLiteral("Добавить запись"));
    }

    void invalidValueIsRepairedOnce()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        WriteOption(QStringLiteral("Lang"), QStringLiteral("ПАДОНАК"));
        ApplyLanguage();
        QCOMPARE(seam.messageTexts(), QStringList{QStringLiteral("Invalid language. Trying to correct error.")});
        QCOMPARE(seam.messages[0].form, zv::MessageForm::Ok);
        QCOMPARE(ReadOption(QStringLiteral("Lang"), QString()), QStringLiteral("Русский"));
        ApplyLanguage();
        QCOMPARE(seam.messages.size(), 1);
    }

    void missingLanguageFileIsRepaired()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        FakeWindow window(LanguageAware::Window::Main);
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        home.write(QStringLiteral("Language.ini"), languageFile("AddItem=\xc4\xee\xe1\xe0\xe2\xfc\r\n"));
        ApplyLanguage();
        QCOMPARE(seam.messageTexts(), QStringList{QStringLiteral("Language not found. Trying to correct error.")});
        QCOMPARE(ReadOption(QStringLiteral("Lang"), QString()), QStringLiteral("Русский"));
        QCOMPARE(window.addItem, QStringLiteral("Добавить запись"));
    }

    void alternativeSetReachesEveryLiveWindowAndEmptiesMissingKeys()
    {
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        // Caption and Config are there, AddItem is not.
        home.write(
            QStringLiteral("Language.ini"),
            languageFile(
                "Caption=\xc7\xee\xf0\xe2\xe0\xed\xe5\xeb\xeb\r\nConfig=\xcd\xe0\xf1\xf2\xf0\xee\xe9\xea\xe8\r\n"));
        FakeWindow first(LanguageAware::Window::Main);
        FakeWindow second(LanguageAware::Window::Update);
        ApplyLanguage();
        QVERIFY(seam.messages.isEmpty());
        QCOMPARE(first.config, QStringLiteral("Настройки"));
        QCOMPARE(second.config, QStringLiteral("Настройки"));
        QCOMPARE(first.addItem, QString());
        {
            // A window gone before the next call is not reached.
            FakeWindow gone(LanguageAware::Window::About);
        }
        ApplyLanguage();
        QCOMPARE(first.config, QStringLiteral("Настройки"));
    }

    void shippedCaptionSetHasEveryKey()
    {
        const QString path = QStringLiteral(ZV_SOURCE_DIR "/data/Language.ini");
        const QStringList keys = {QStringLiteral("Welcome"),
                                  QStringLiteral("Caption"),
                                  QStringLiteral("AddItem"),
                                  QStringLiteral("ViewScreen"),
                                  QStringLiteral("Config"),
                                  QStringLiteral("Update"),
                                  QStringLiteral("About"),
                                  QStringLiteral("Caption_f1"),
                                  QStringLiteral("Exit_f1"),
                                  QStringLiteral("Open_f1"),
                                  QStringLiteral("Close_f1"),
                                  QStringLiteral("Clear_f1"),
                                  QStringLiteral("Label_f1"),
                                  QStringLiteral("Caption_About"),
                                  QStringLiteral("Program_version_About"),
                                  QStringLiteral("Author_About"),
                                  QStringLiteral("Programmers_About"),
                                  QStringLiteral("Reklama_About"),
                                  QStringLiteral("Add_egg_About"),
                                  QStringLiteral("Compile_About"),
                                  QStringLiteral("Team_About"),
                                  QStringLiteral("Frame1_About"),
                                  QStringLiteral("Caption_AddNewField"),
                                  QStringLiteral("AddNewField_Name"),
                                  QStringLiteral("AddNewField_Data"),
                                  QStringLiteral("AddNewField_Add"),
                                  QStringLiteral("AddNewField_Cancel"),
                                  QStringLiteral("Caption_EditItem"),
                                  QStringLiteral("EditItem_Name"),
                                  QStringLiteral("EditItem_Save"),
                                  QStringLiteral("EditItem_Cancel"),
                                  QStringLiteral("Caption_frmOptions"),
                                  QStringLiteral("frmOptions_Transparent"),
                                  QStringLiteral("frmOptions_Language"),
                                  QStringLiteral("frmOptions_Count_Show"),
                                  QStringLiteral("frmOptions_Splash"),
                                  QStringLiteral("frmOptions_Ontop"),
                                  QStringLiteral("frmOptions_Taskkill"),
                                  QStringLiteral("Caption_frmSelectScreenShot"),
                                  QStringLiteral("frmSelectScreenShot_ChooseSCR"),
                                  QStringLiteral("frmSelectScreenShot_Show"),
                                  QStringLiteral("frmSelectScreenShot_Delete"),
                                  QStringLiteral("Caption_frmUpdate"),
                                  QStringLiteral("frmUpdate_Greet"),
                                  QStringLiteral("frmUpdate_Download")};
        for (const QString &key : keys)
            QVERIFY2(!ReadIniValue(path, QStringLiteral("Падонак"), key, QString()).isEmpty(), qPrintable(key));
        // Windows-1251 on disk: the Cyrillic comes back as written.
        QCOMPARE(ReadIniValue(path, QStringLiteral("Падонак"), QStringLiteral("AddNewField_Cancel"), QString()),
                 QStringLiteral("Отбой"));
    }
};

QTEST_GUILESS_MAIN(TestLanguage)
#include "tst_language.moc"
