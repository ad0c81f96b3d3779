#include "TempHome.h"
#include "core/interchange/Exporter.h"
#include "core/screenshots/ScreenshotStore.h"
#include "core/store/CatalogueStore.h"

#include <QProcess>
#include <QTest>
#include <QUrl>

using namespace zv::interchange;

// The exported web pages as a real browser takes them: its DOM of each page.
class TestWebExport : public QObject
{
    Q_OBJECT

    zvtest::TempHome m_home;
    QString m_out = m_home.file(QStringLiteral("Каталог & <страницы>"));

    QString dom(const QString &page)
    {
        QProcess browser;
        // Root in a container has no sandbox to give; the pages are the test's own.
        browser.start(QStringLiteral(ZV_HEADLESS_BROWSER),
                      {QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"), QStringLiteral("--dump-dom"),
                       QUrl::fromLocalFile(m_out + QLatin1Char('/') + page).toString(QUrl::FullyEncoded)});
        if (!browser.waitForFinished(60000))
            browser.kill();
        return QString::fromUtf8(browser.readAllStandardOutput());
    }

private slots:
    void initTestCase()
    {
        const QString catalogue = m_home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(catalogue);
        AddEntry(OpenCatalogue(catalogue), QStringLiteral("Games"), QStringLiteral("Doom <b>"),
                 QStringLiteral("<script>document.title='hacked'</script> & \"iddqd\""));
        AddEntry(OpenCatalogue(catalogue), QStringLiteral("Movie"), QStringLiteral("Матрица"), QStringLiteral("m"));
        ExportRequest request;
        request.cataloguePath = catalogue;
        request.pictureFolder = zv::screenshots::folder();
        request.format = Format::WebPages;
        request.target = m_out;
        QCOMPARE(runExport(request, {}, nullptr).outcome, ExportOutcome::Written);
    }

    void indexLinksEveryCategory()
    {
        const QString index = dom(QStringLiteral("index.html"));
        QVERIFY2(index.contains(QStringLiteral("<a href=\"Games.html\">Игры</a> (1)")), qPrintable(index));
        QVERIFY(index.contains(QStringLiteral("<a href=\"Movie.html\">Фильмы</a> (1)")));
        QVERIFY(!index.contains(QLatin1String("Programs.html")));
    }

    // The text is shown as text; the script it holds is no element of the page and never ran.
    void entryTextIsNeverMarkup()
    {
        const QString category = dom(QStringLiteral("Games.html"));
        QVERIFY2(category.contains(QLatin1String("<a href=\"entry-1.html\">Doom &lt;b&gt;</a>")), qPrintable(category));
        const QString entry = dom(QStringLiteral("entry-1.html"));
        QVERIFY2(entry.contains(QLatin1String("&lt;script&gt;document.title='hacked'&lt;/script&gt; &amp; \"iddqd\"")),
                 qPrintable(entry));
        QVERIFY(!entry.contains(QLatin1String("<script")));
        QVERIFY(!entry.contains(QLatin1String("<b>")));
        QVERIFY(entry.contains(QLatin1String("<title>Doom &lt;b&gt;</title>")));
    }
};

QTEST_GUILESS_MAIN(TestWebExport)
#include "tst_web_export.moc"
