#include "TempHome.h"
#include "core/INI.h"
#include "core/TextCodec.h"

#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void defaultsWithoutFile()
    {
        zvtest::TempHome home;
        QCOMPARE(ReadOption(QStringLiteral("RunCount"), QStringLiteral("1")), QStringLiteral("1"));
        QVERIFY(!QFile::exists(home.file(QStringLiteral("Options.ini"))));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
