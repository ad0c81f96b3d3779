#include "core/TextCodec.h"
#include "core/store/CatalogueStore.h"
#include "core/store/Category.h"
#include "core/update/UpdateLayout.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTest>
#include <QUrl>

// The starter catalogue the build made, checked against the entry files in data/catalogue.
class TestStarterCatalogue : public QObject
{
    Q_OBJECT

    const QString m_source = QStringLiteral(ZV_SOURCE_DIR "/data/catalogue");
    zv::CatalogueConnection m_catalogue;
    QMap<QString, QMap<QString, QString>> m_built; // table -> name -> text

private slots:
    void initTestCase()
    {
        m_catalogue = OpenCatalogue(QStringLiteral(ZV_STARTER_CATALOGUE));
        for (const QString &table : zv::tableCreationOrder())
            ListEntries(m_catalogue, table,
                        [&](const QString &name, const QString &text) { m_built[table][name] = text; });
    }

    void everyEntryFileIsInTheCatalogueWithItsText()
    {
        int files = 0;
        QDirIterator it(m_source, {QStringLiteral("*.txt")}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info = it.nextFileInfo();
            const QString table = info.dir().dirName();
            const QString name = QUrl::fromPercentEncoding(info.completeBaseName().toUtf8());
            QFile file(info.filePath());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QString text = QString::fromUtf8(file.readAll());
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            const auto found = m_built.value(table).constFind(name);
            QVERIFY2(found != m_built.value(table).cend(), qPrintable(info.filePath() + QStringLiteral(" is missing")));
            QCOMPARE(found->trimmed(), text.trimmed());
            QVERIFY2(!found->contains(QLatin1Char('\r')), qPrintable(name));
            ++files;
        }
        int built = 0;
        for (const auto &entries : std::as_const(m_built))
            built += entries.size();
        QCOMPARE(built, files);
    }

    void everyCategoryHasTenEntriesWithText()
    {
        for (const QString &table : zv::tableCreationOrder()) {
            const auto &entries = m_built.value(table);
            QVERIFY2(entries.size() >= 10, qPrintable(table + QStringLiteral(" has ") +
                                                      QString::number(entries.size()) + QStringLiteral(" entries")));
            for (auto e = entries.cbegin(); e != entries.cend(); ++e)
                QVERIFY2(!e.value().trimmed().isEmpty(), qPrintable(table + QLatin1Char('/') + e.key()));
        }
    }

    void demoUpdateFolderOffersTheSameEntries()
    {
        for (const QString &table : zv::tableCreationOrder()) {
            QFile list(QStringLiteral(ZV_DEMO_UPDATE "/") + zv::update::published::listFile(table));
            QVERIFY2(list.open(QIODevice::ReadOnly), qPrintable(list.fileName()));
            const QStringList listed = zv::update::parseList(zv::fromCp1251(list.readAll()));
            QStringList expected;
            for (const QString &name : m_built.value(table).keys()) {
                // The publisher leaves out, with a warning, names that cannot be file names or
                // cannot be written in Windows-1251, the update files' code page.
                if (zv::update::isPlainFileName(name) && zv::fromCp1251(zv::toCp1251(name)) == name)
                    expected << name;
            }
            QStringList got = listed;
            got.removeAll(QString());
            got.sort();
            expected.sort();
            QCOMPARE(got, expected);
        }
    }
};

QTEST_GUILESS_MAIN(TestStarterCatalogue)
#include "tst_starter_catalogue.moc"
