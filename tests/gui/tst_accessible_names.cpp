#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/SharedState.h"
#include "core/favourites/Favourites.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/backup/frmBackups.h"
#include "gui/catalogue/frmAddNewField.h"
#include "gui/catalogue/frmEditItem.h"
#include "gui/catalogue/frmMain.h"
#include "gui/favourites/frmFavourites.h"
#include "gui/history/frmHistory.h"
#include "gui/interchange/frmExport.h"
#include "gui/interchange/frmImport.h"
#include "gui/screenshots/frmSelectScreenShot.h"
#include "gui/update/frmUpdate.h"
#include "gui/windows/Form1.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmLogo.h"
#include "gui/windows/frmLogo2.h"
#include "gui/windows/frmOptions.h"
#include "gui/windows/frmTitles.h"
#include "gui/windows/xyu.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// What a screen reader would stumble over in a window: a control the keyboard reaches that has
// no role or no name, and a picture without words that it would read out as an empty image.
QStringList unnamedControls(QWidget &window)
{
    QStringList faults;
    QList<QWidget *> widgets = window.findChildren<QWidget *>();
    widgets.prepend(&window);
    for (QWidget *w : widgets) {
        if (!w->isVisibleTo(&window) && w != &window)
            continue;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        if (!a)
            continue;
        const QString what =
            QStringLiteral("%1 (%2)").arg(w->objectName(), QLatin1String(w->metaObject()->className()));
        const bool focusable = w->focusPolicy() & Qt::TabFocus;
        if (focusable && (a->role() == QAccessible::NoRole || a->role() == QAccessible::Client))
            faults << what + QStringLiteral(": no role");
        if (focusable && a->text(QAccessible::Name).trimmed().isEmpty())
            faults << what + QStringLiteral(": no name");
        auto *label = qobject_cast<QLabel *>(w);
        if (label && !label->pixmap().isNull() && a->text(QAccessible::Name).trimmed().isEmpty() &&
            !a->state().invisible)
            faults << what + QStringLiteral(": an unnamed picture in the tree");
    }
    return faults;
}

} // namespace

class TestAccessibleNames : public QObject
{
    Q_OBJECT

private slots:
    void everyControlTheKeyboardReachesIsNamed_data()
    {
        using Open = std::function<QWidget *(zv::CatalogueSession &)>;
        QTest::addColumn<Open>("open");
        QTest::newRow("main") << Open([](zv::CatalogueSession &s) { return new frmMain(s); });
        QTest::newRow("add entry") << Open([](zv::CatalogueSession &s) { return new frmAddNewField(nullptr, s); });
        QTest::newRow("edit entry") << Open([](zv::CatalogueSession &s) { return new frmEditItem(nullptr, s); });
        QTest::newRow("picker") << Open([](zv::CatalogueSession &s) { return new frmSelectScreenShot(nullptr, s); });
        QTest::newRow("update") << Open([](zv::CatalogueSession &s) { return new frmUpdate(s); });
        QTest::newRow("journal") << Open([](zv::CatalogueSession &s) { return new frmHistory(s, nullptr); });
        QTest::newRow("backups") << Open([](zv::CatalogueSession &s) { return new frmBackups(s); });
        QTest::newRow("favourites") << Open([](zv::CatalogueSession &s) {
            auto *favourites = new zv::Favourites(s, zv::cataloguePath());
            auto *window = new frmFavourites(s, *favourites);
            favourites->setParent(window);
            return window;
        });
        QTest::newRow("export") << Open([](zv::CatalogueSession &s) { return new frmExport(s); });
        QTest::newRow("import") << Open([](zv::CatalogueSession &s) { return new frmImport(s); });
        QTest::newRow("options") << Open([](zv::CatalogueSession &) { return new frmOptions(nullptr); });
        QTest::newRow("small tool") << Open([](zv::CatalogueSession &) { return new Form1; });
        QTest::newRow("about") << Open([](zv::CatalogueSession &) { return new frmAbout; });
        QTest::newRow("splash") << Open([](zv::CatalogueSession &) { return new frmLogo([] {}); });
        QTest::newRow("logo") << Open([](zv::CatalogueSession &) { return new frmLogo2; });
        QTest::newRow("hidden picture") << Open([](zv::CatalogueSession &) { return new xyu; });
        QTest::newRow("credits") << Open([](zv::CatalogueSession &) { return new frmTitles; });
    }

    void everyControlTheKeyboardReachesIsNamed()
    {
        QFETCH(std::function<QWidget *(zv::CatalogueSession &)>, open);
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        zv::initVersionValues();
        const QString catalogue = home.file(QStringLiteral("Zorvanell.dat"));
        CreateCatalogue(catalogue);
        AddEntry(OpenCatalogue(catalogue), QStringLiteral("Programs"), QStringLiteral("Vim"),
                 QStringLiteral(":help 42"));
        zv::CatalogueSession session(catalogue);
        std::unique_ptr<QWidget> window(open(session));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        const QStringList faults = unnamedControls(*window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessible_names.moc"
