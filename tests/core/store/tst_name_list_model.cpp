#include "core/store/NameListModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

namespace {

zv::NameRows rowsOf(const QStringList &names, qint64 firstId)
{
    zv::NameRows rows;
    for (const QString &name : names)
        rows.append(name, firstId++);
    return rows;
}

QString shownBy(const QAbstractItemModel &model)
{
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.index(row, 0).data().toString();
    return shown.join(QLatin1Char(','));
}

} // namespace

class TestNameListModel : public QObject
{
    Q_OBJECT

private slots:
    void batchIsAnnouncedBlockByBlock()
    {
        NameListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.assign(rowsOf({QStringLiteral("h"), QStringLiteral("b"), QStringLiteral("f"), QStringLiteral("d")}, 1));
        QCOMPARE(shownBy(model), QStringLiteral("b,d,f,h"));
        const QPersistentModelIndex selected = model.index(2, 0);

        // At every step a view reads a sorted list: the old rows and the blocks shown so far.
        QStringList steps;
        connect(&model, &QAbstractItemModel::rowsInserted, this, [&](const QModelIndex &, int first, int last) {
            steps << QStringLiteral("%1-%2:").arg(first).arg(last) + shownBy(model);
        });
        model.insert(model.names().prepareInsert(rowsOf({QStringLiteral("i"), QStringLiteral("c"), QStringLiteral("a"),
                                                         QStringLiteral("e"), QStringLiteral("g"), QStringLiteral("C")},
                                                        10)));
        QCOMPARE(steps, (QStringList{QStringLiteral("0-0:a,b,d,f,h"), QStringLiteral("2-3:a,b,c,C,d,f,h"),
                                     QStringLiteral("5-5:a,b,c,C,d,e,f,h"), QStringLiteral("7-7:a,b,c,C,d,e,f,g,h"),
                                     QStringLiteral("9-9:a,b,c,C,d,e,f,g,h,i")}));
        // A selection or any other kept index stays with its name.
        QCOMPARE(selected.data().toString(), QStringLiteral("f"));
        QCOMPARE(selected.row(), 6);
        QCOMPARE(model.names().rowIdAt(selected.row()), 3);
        QCOMPARE(model.names().rowIdsOf(QStringLiteral("c")), (std::vector<qint64>{11, 15}));
    }

    void singleAddAndRemove()
    {
        NameListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.assign(rowsOf({QStringLiteral("Яблоко"), QStringLiteral("Doom")}, 1));
        QCOMPARE(model.insert(QStringLiteral("Ёлка"), 7), 1);
        QCOMPARE(shownBy(model), QStringLiteral("Doom,Ёлка,Яблоко"));
        model.removeAt(0);
        model.removeAt(5); // no such row: nothing happens
        QCOMPARE(shownBy(model), QStringLiteral("Ёлка,Яблоко"));
        QCOMPARE(model.names().rowIdsOf(QStringLiteral("ЁЛКА")), std::vector<qint64>{7});
    }
};

QTEST_MAIN(TestNameListModel)
#include "tst_name_list_model.moc"
