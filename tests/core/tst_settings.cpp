#include "TempHome.h"
#include "core/INI.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    // Each key as the windows read it: with no file, then holding "True", then "1".
    void theTenKeys_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("absent"); // text | number | flag and check box
        QTest::addColumn<QString>("holdingTrue");
        QTest::addColumn<QString>("holdingOne");
        using O = zv::Option;
        const auto t = [](const char *text) { return QString::fromLatin1(text); };
        QTest::newRow("OnTop") << int(O::OnTop) << t("OnTop") << t("0|0|0 0") << t("True|0|1 0") << t("1|1|1 1");
        QTest::newRow("TraspLevel") << int(O::TraspLevel) << t("TraspLevel") << t("255|255|1 0") << t("True|0|1 0")
                                    << t("1|1|1 1");
        QTest::newRow("ShowRun") << int(O::ShowRun) << t("ShowRun") << t("1|1|1 1") << t("True|0|1 0") << t("1|1|1 1");
        QTest::newRow("RunCount") << int(O::RunCount) << t("RunCount") << t("1|1|1 1") << t("True|0|1 0")
                                  << t("1|1|1 1");
        QTest::newRow("SplashScreen") << int(O::SplashScreen) << t("SplashScreen") << t("1|1|1 1") << t("True|0|1 0")
                                      << t("1|1|1 1");
        const std::pair<O, const char *> texts[] = {
            {O::Lang, "Lang"}, {O::Compact, "Compact"}, {O::adds, "adds"}, {O::taskkill, "taskkill"}, {O::Sex, "Sex"}};
        for (const auto &[option, name] : texts)
            QTest::newRow(name) << int(option) << t(name) << t("|0|0 0") << t("True|0|1 0") << t("1|1|1 1");
    }

    void theTenKeys()
    {
        QFETCH(int, option);
        QFETCH(QString, name);
        QFETCH(QString, absent);
        QFETCH(QString, holdingTrue);
        QFETCH(QString, holdingOne);
        const auto key = zv::Option(option);
        zvtest::TempHome home;
        auto read = [key]() -> QString {
            return zv::readOption(key) + QLatin1Char('|') + QString::number(zv::readOptionNumber(key)) +
                   QLatin1Char('|') + QString::number(zv::readOptionFlag(key)) + QLatin1Char(' ') +
                   QString::number(zv::readOptionChecked(key));
        };
        QCOMPARE(zv::optionKey(key).name, name);
        QCOMPARE(read(), absent);
        QSignalSpy written(&zv::settingsEvents(), &zv::SettingsEvents::written);
        zv::writeOption(key, QStringLiteral("True"));
        QCOMPARE(read(), holdingTrue);
        zv::writeOptionFlag(key, true);
        QCOMPARE(read(), holdingOne);
        QCOMPARE(ReadOption(name, QString()), QStringLiteral("1"));
        QCOMPARE(written.size(), 2);
        QCOMPARE(written.at(1).at(1).toString(), QStringLiteral("1"));
    }

    void absentFileGivesDefaultsAndFirstWriteCreatesIt()
    {
        zvtest::TempHome home;
        QCOMPARE(ReadOption(QStringLiteral("RunCount"), QStringLiteral("1")), QStringLiteral("1"));
        QCOMPARE(ReadOption(QStringLiteral("Compact"), QString()), QString());
        QVERIFY(!QFile::exists(home.file(QStringLiteral("Options.ini"))));

        WriteOption(QStringLiteral("RunCount"), QStringLiteral("2"));
        QCOMPARE(home.read(QStringLiteral("Options.ini")), QByteArray("[Main]\r\nRunCount=2\r\n"));
    }

    void keysIgnoreLetterCaseValuesKeepIt()
    {
        zvtest::TempHome home;
        home.write(QStringLiteral("Options.ini"), "[main]\r\nONTOP=1\r\nLang=MiXeD\r\n");
        QCOMPARE(ReadOption(QStringLiteral("OnTop"), QStringLiteral("0")), QStringLiteral("1"));
        QCOMPARE(ReadOption(QStringLiteral("lang"), QString()), QStringLiteral("MiXeD"));
        WriteOption(QStringLiteral("ontop"), QStringLiteral("0"));
        // The existing line is replaced, not a second one added.
        QCOMPARE(home.read(QStringLiteral("Options.ini")), QByteArray("[main]\r\nontop=0\r\nLang=MiXeD\r\n"));
    }

    void flagAndNumberConversions()
    {
        QCOMPARE(zv::optionAsFlag(QStringLiteral("1"), false), true);
        QCOMPARE(zv::optionAsFlag(QStringLiteral("0"), true), false);
        QCOMPARE(zv::optionAsFlag(QStringLiteral("tRUE"), false), true);
        QCOMPARE(zv::optionAsFlag(QStringLiteral("FALSE"), true), false);
        QCOMPARE(zv::optionAsFlag(QStringLiteral("-3"), false), true);
        // Text the flag reading cannot take falls back to the caller's default.
        QCOMPARE(zv::optionAsFlag(QString(), true), true);
        QCOMPARE(zv::optionAsFlag(QStringLiteral("yes"), false), false);

        QCOMPARE(zv::optionAsNumber(QStringLiteral("True"), 7), 0); // "True" is unchecked as a number
        QCOMPARE(zv::optionAsNumber(QStringLiteral("1"), 7), 1);
        QCOMPARE(zv::optionAsNumber(QStringLiteral("  200abc"), 7), 200);
        QCOMPARE(zv::optionAsNumber(QStringLiteral("word"), 7), 0);
        QCOMPARE(zv::optionAsNumber(QStringLiteral("2.5"), 7), 2);
        QCOMPARE(zv::optionAsNumber(QStringLiteral("3.5"), 7), 4);
        QCOMPARE(zv::optionAsNumber(QStringLiteral("-32768"), 7), -32768);
        QCOMPARE(zv::optionAsNumber(QStringLiteral("40000"), 7), 7);
    }

    void runCounterStopsAtTheLargestCount_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("next");
        QTest::newRow("first start") << QStringLiteral("1") << QStringLiteral("2");
        QTest::newRow("blanks and plus") << QStringLiteral(" +41 ") << QStringLiteral("42");
        QTest::newRow("leading zeros") << QStringLiteral("007") << QStringLiteral("8");
        QTest::newRow("one below the largest") << QStringLiteral("2147483646") << QStringLiteral("2147483647");
        QTest::newRow("the largest") << QStringLiteral("2147483647") << QStringLiteral("2147483647");
        QTest::newRow("one beyond") << QStringLiteral("2147483648") << QStringLiteral("2147483647");
        QTest::newRow("beyond 64 bits") << QStringLiteral("99999999999999999999999") << QStringLiteral("2147483647");
        QTest::newRow("empty") << QString() << QStringLiteral("2");
        QTest::newRow("word") << QStringLiteral("много") << QStringLiteral("2");
        QTest::newRow("negative") << QStringLiteral("-5") << QStringLiteral("2");
        QTest::newRow("fraction") << QStringLiteral("3.5") << QStringLiteral("2");
        QTest::newRow("number then text") << QStringLiteral("6x") << QStringLiteral("2");
        QTest::newRow("markup") << QStringLiteral("<img src=/etc/passwd>") << QStringLiteral("2");
    }

    void runCounterStopsAtTheLargestCount()
    {
        QFETCH(QString, stored);
        QFETCH(QString, next);
        QCOMPARE(zv::nextRunCount(stored), next);
    }

    void longValuesAreCut()
    {
        zvtest::TempHome home;
        const QByteArray longValue(300, 'x');
        home.write(QStringLiteral("Options.ini"), "[Main]\r\nKey=" + longValue + "\r\n");
        QCOMPARE(ReadOption(QStringLiteral("Key"), QString()).size(), 254);
        QCOMPARE(ReadIniValue(home.file(QStringLiteral("Options.ini")), QStringLiteral("Main"), QStringLiteral("Key"),
                              QString())
                     .size(),
                 254);
        const QByteArray langValue(1200, 'y');
        home.write(QStringLiteral("Language.ini"),
                   QByteArray("[\xcf\xe0\xe4\xee\xed\xe0\xea]\r\nWelcome=") + langValue + "\r\n");
        QCOMPARE(ReadLangString(QStringLiteral("Welcome"), QString()).size(), 998);
    }

    void cyrillicLangRoundTripsInWindows1251()
    {
        zvtest::TempHome home;
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        const QByteArray bytes = home.read(QStringLiteral("Options.ini"));
        QVERIFY(bytes.contains("Lang=\xef\xe0\xe4\xee\xed\xe0\xea\r\n"));
        QCOMPARE(ReadOption(QStringLiteral("Lang"), QString()), QStringLiteral("падонак"));
    }

    void unrelatedLinesSurviveARewrite()
    {
        zvtest::TempHome home;
        const QByteArray before = "; settings written by hand\r\n"
                                  "[Other]\r\nRunCount=99\r\n\r\n"
                                  "[Main]\r\nOnTop=1\r\n  odd line without equals\r\n\r\n"
                                  "[Tail]\r\nx=\xff\x98\x01\r\n";
        home.write(QStringLiteral("Options.ini"), before);
        WriteOption(QStringLiteral("RunCount"), QStringLiteral("5"));
        const QByteArray after = home.read(QStringLiteral("Options.ini"));
        QCOMPARE(after, QByteArray("; settings written by hand\r\n"
                                   "[Other]\r\nRunCount=99\r\n\r\n"
                                   "[Main]\r\nOnTop=1\r\n  odd line without equals\r\nRunCount=5\r\n\r\n"
                                   "[Tail]\r\nx=\xff\x98\x01\r\n"));
        // The key of another section is not the one of Main.
        QCOMPARE(ReadOption(QStringLiteral("RunCount"), QStringLiteral("1")), QStringLiteral("5"));
    }

    void lfOnlyAndUtf8Files()
    {
        zvtest::TempHome home;
        home.write(QStringLiteral("Options.ini"), "[Main]\nLang=Русский\nOnTop=1");
        // Without a byte-order mark the bytes are Windows-1251, whatever they were meant as.
        QCOMPARE(ReadOption(QStringLiteral("OnTop"), QString()), QStringLiteral("1"));

        home.write(QStringLiteral("Options.ini"), "\xEF\xBB\xBF[Main]\nLang=Русский\n");
        QCOMPARE(ReadOption(QStringLiteral("Lang"), QString()), QStringLiteral("Русский"));
        WriteOption(QStringLiteral("Lang"), QStringLiteral("падонак"));
        QCOMPARE(home.read(QStringLiteral("Options.ini")),
                 QByteArray("\xEF\xBB\xBF[Main]\r\nLang=") + QStringLiteral("падонак").toUtf8() + "\r\n");
    }

    void badFilesReadWithoutCrash()
    {
        zvtest::TempHome home;
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i)
            garbage.append(char((i * 131 + 7) % 256));
        home.write(QStringLiteral("Options.ini"), garbage);
        QCOMPARE(ReadOption(QStringLiteral("TraspLevel"), QStringLiteral("255")), QStringLiteral("255"));
        WriteOption(QStringLiteral("OnTop"), QStringLiteral("1"));
        const QByteArray after = home.read(QStringLiteral("Options.ini"));
        QCOMPARE(ReadOption(QStringLiteral("OnTop"), QString()), QStringLiteral("1"));
        // Every line of the garbage is still there.
        for (const QByteArray &line : garbage.split('\n')) {
            QByteArray bare = line;
            if (bare.endsWith('\r'))
                bare.chop(1);
            QVERIFY(after.contains(bare));
        }

        // A 1 MB line and a file without section header.
        const QByteArray huge(1 << 20, 'a');
        home.write(QStringLiteral("Options.ini"), "OnTop=1\r\n" + huge + "\r\n");
        QCOMPARE(ReadOption(QStringLiteral("OnTop"), QStringLiteral("0")), QStringLiteral("0"));
        WriteOption(QStringLiteral("Compact"), QStringLiteral("1"));
        const QByteArray rewritten = home.read(QStringLiteral("Options.ini"));
        QVERIFY(rewritten.startsWith(QByteArray("OnTop=1\r\n" + huge + "\r\n")));
        QCOMPARE(ReadOption(QStringLiteral("Compact"), QString()), QStringLiteral("1"));
    }

    void writeIsAtomicAndSilentWhenFolderIsReadOnly()
    {
        zvtest::TempHome home;
        WriteOption(QStringLiteral("OnTop"), QStringLiteral("1"));
        // No temporary file is left beside it.
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Options.ini")});
        // A program folder that cannot hold files (its path runs through a plain file, which
        // stops root as well): the write is silent and the old value stays.
        home.write(QStringLiteral("plain"), "x");
        qputenv("ZORVANELL_HOME", QFile::encodeName(home.file(QStringLiteral("plain/sub"))));
        WriteOption(QStringLiteral("OnTop"), QStringLiteral("0"));
        QCOMPARE(ReadOption(QStringLiteral("OnTop"), QStringLiteral("default")), QStringLiteral("default"));
        qputenv("ZORVANELL_HOME", QFile::encodeName(home.path()));
        QCOMPARE(ReadOption(QStringLiteral("OnTop"), QString()), QStringLiteral("1"));
    }

    void iniValueOfAnyFileAndSection()
    {
        zvtest::TempHome home;
        home.write(QStringLiteral("ProgVer.ini"), "[Update]\r\nIntVer=500502\r\nTxtVer=5.1.502\r\n");
        const QString path = home.file(QStringLiteral("ProgVer.ini"));
        QCOMPARE(ReadIniValue(path, QStringLiteral("update"), QStringLiteral("intver"), QString()),
                 QStringLiteral("500502"));
        QCOMPARE(ReadIniValue(path, QStringLiteral("Update"), QStringLiteral("Missing"), QStringLiteral("d")),
                 QStringLiteral("d"));
        QCOMPARE(ReadIniValue(home.file(QStringLiteral("none.ini")), QStringLiteral("Update"), QStringLiteral("IntVer"),
                              QString()),
                 QString());
    }

    void codecRoundTrip()
    {
        const QString text = QStringLiteral("Ёлка ёж №5 «цитата» — €");
        QCOMPARE(zv::fromCp1251(zv::toCp1251(text)), text);
        QCOMPARE(zv::toCp1251(QStringLiteral("日本")), QByteArray("??"));
        QCOMPARE(zv::toCp1251(QStringLiteral("Аа")), QByteArray("\xc0\xe0"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
