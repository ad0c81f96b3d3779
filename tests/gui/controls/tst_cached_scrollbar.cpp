#include "gui/controls/CachedScrollBar.h"

#include <QTest>

// A cached bar must look exactly like a plain one after every change, never like its last look.
class TestCachedScrollBar : public QObject
{
    Q_OBJECT

    static QImage look(QScrollBar &bar) { return bar.grab().toImage().convertToFormat(QImage::Format_ARGB32); }

private slots:
    void looksLikeAPlainBarAfterEachChange_data()
    {
        QTest::addColumn<int>("change");
        QTest::newRow("as made") << 0;
        QTest::newRow("moved") << 1;
        QTest::newRow("range shrunk") << 2;
        QTest::newRow("disabled") << 3;
        QTest::newRow("taller") << 4;
        QTest::newRow("nothing to scroll") << 5;
    }
    void looksLikeAPlainBarAfterEachChange()
    {
        QFETCH(int, change);
        CachedScrollBar cached(Qt::Vertical);
        QScrollBar plain(Qt::Vertical);
        for (QScrollBar *bar : {static_cast<QScrollBar *>(&cached), &plain}) {
            bar->resize(16, 300);
            bar->setRange(0, 100);
            bar->setPageStep(10);
        }
        look(cached); // the picture of the first look is made
        for (QScrollBar *bar : {static_cast<QScrollBar *>(&cached), &plain}) {
            switch (change) {
            case 1:
                bar->setValue(60);
                break;
            case 2:
                bar->setRange(0, 20);
                break;
            case 3:
                bar->setEnabled(false);
                break;
            case 4:
                bar->resize(16, 420);
                break;
            case 5:
                bar->setRange(0, 0);
                break;
            }
        }
        QCOMPARE(look(cached), look(plain));
    }
};

QTEST_MAIN(TestCachedScrollBar)
#include "tst_cached_scrollbar.moc"
