// Replays every file of a fuzz target's input folder (the seeds and every input that once
// broke it) through the target, as part of the normal test run.
#include "FuzzTarget.h"

#include <QDir>
#include <QFile>
#include <QTest>

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

class FuzzReplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (LLVMFuzzerInitialize) {
            int argc = 0;
            char **argv = nullptr;
            LLVMFuzzerInitialize(&argc, &argv);
        }
    }

    void inputFolderIsNotEmpty() { QVERIFY(!QDir(QStringLiteral(ZV_FUZZ_INPUTS)).isEmpty(QDir::Files)); }

    void replay_data()
    {
        QTest::addColumn<QString>("path");
        const QDir folder(QStringLiteral(ZV_FUZZ_INPUTS));
        for (const QString &name : folder.entryList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }

    void replay()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
    }
};

QTEST_GUILESS_MAIN(FuzzReplay)
#include "FuzzReplay.moc"
