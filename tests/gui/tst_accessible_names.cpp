#include "ScriptedSeam.h"
#include "TempHome.h"
#include "core/SharedState.h"
#include "gui/windows/Form1.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmLogo.h"
#include "gui/windows/frmLogo2.h"
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
        QTest::addColumn<std::function<QWidget *()>>("open");
        QTest::newRow("small tool") << std::function<QWidget *()>([] { return new Form1; });
        QTest::newRow("about") << std::function<QWidget *()>([] { return new frmAbout; });
        QTest::newRow("splash") << std::function<QWidget *()>([] { return new frmLogo([] {}); });
        QTest::newRow("logo") << std::function<QWidget *()>([] { return new frmLogo2; });
        QTest::newRow("hidden picture") << std::function<QWidget *()>([] { return new xyu; });
        QTest::newRow("credits") << std::function<QWidget *()>([] { return new frmTitles; });
    }

    void everyControlTheKeyboardReachesIsNamed()
    {
        QFETCH(std::function<QWidget *()>, open);
        zvtest::TempHome home;
        zvtest::ScriptedSeam seam;
        zv::initVersionValues();
        std::unique_ptr<QWidget> window(open());
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        const QStringList faults = unnamedControls(*window);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessible_names.moc"
