// Shows one secondary window on its own, as the program would open it, for screenshots.
// zorvanell-window-preview WINDOW [--tick N] [--hover CONTROL]
//   WINDOW   options, about, splash, logo2, logo3, small-tool, xyu or journal
//   --tick   splash only: holds the growing splash after N steps (0 to 25) instead of animating it
//   --hover  about only: shows the window as with the pointer over CONTROL (cmdWeb, Image2, ...)
//   --sample journal only: a program folder without a catalogue first gets one with a few changes
// Settings and captions come from the program folder (ZORVANELL_HOME), as in the program.
#include "app/GlobalMain.h"
#include "core/SharedState.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/QtSeam.h"
#include "gui/history/frmHistory.h"
#include "gui/windows/Form1.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmLogo.h"
#include "gui/windows/frmLogo2.h"
#include "gui/windows/frmOptions.h"
#include "gui/windows/xyu.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QMouseEvent>

#include <cstdio>

namespace {

// The pointer moving over a control, as the window system would report it.
void hover(QWidget *control)
{
    const QPointF centre = QRectF(control->rect()).center();
    QMouseEvent move(QEvent::MouseMove, centre, control->mapToGlobal(centre), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(control, &move);
}

// A few changes of each kind for the journal to show, the edit last so that it is selected.
void makeSampleChanges(zv::CatalogueSession &session)
{
    auto select = [&session](const QString &name) {
        session.selectRow(int(session.names().names().indexOf(name)));
        session.findCurrentRecord();
    };
    session.showCategory(QStringLiteral("Programs"));
    session.addEntry(QStringLiteral("Калькулятор"), QStringLiteral("Наберите 1111111111 и нажмите x²."));
    session.undo();
    session.addEntry(QStringLiteral("Paint"), QStringLiteral("Нарисуйте квадрат и удерживайте Shift."));
    select(QStringLiteral("Paint"));
    session.deleteCurrent();
    session.addEntry(QStringLiteral("Сапёр"), QStringLiteral("Наберите xyzzy, затем Shift+Enter."));
    select(QStringLiteral("Сапёр"));
    session.moveCurrent(QStringLiteral("Games"), QStringLiteral("Сапёр"),
                        QStringLiteral("Наберите xyzzy, затем Shift+Enter."));
    session.showCategory(QStringLiteral("Programs"));
    const QString before = QStringLiteral("Откройте справку и нажмите F5: в текст вставится время.\n"
                                          "Работает во всех версиях.");
    const qint64 notepad = session.addEntry(QStringLiteral("Блокнот"), before);
    session.editEntry(notepad, QStringLiteral("Блокнот"), before, QStringLiteral("Блокнот"),
                      QStringLiteral("Откройте меню «Правка» и нажмите F5: в текст вставятся дата и время.\n"
                                     "Работает во всех версиях, кроме самой первой."));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    zv::setUpApplication(app);

    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("window"),
                                 QStringLiteral("options, about, splash, logo2, logo3, small-tool, xyu or journal"));
    const QCommandLineOption tick(QStringLiteral("tick"), QStringLiteral("Hold the splash after N steps."),
                                  QStringLiteral("n"));
    const QCommandLineOption hoverOver(QStringLiteral("hover"), QStringLiteral("Point at an about window control."),
                                       QStringLiteral("control"));
    const QCommandLineOption sample(QStringLiteral("sample"),
                                    QStringLiteral("Journal: make a catalogue with changes."));
    parser.addOptions({tick, hoverOver, sample});
    parser.addHelpOption();
    parser.process(app);
    const QString window = parser.positionalArguments().value(0);

    zv::QtSeam seam;
    zv::setSeam(&seam);
    zv::initVersionValues();

    if (window == QLatin1String("options")) {
        frmOptions options({});
        options.exec();
        return 0;
    }
    if (window == QLatin1String("about")) {
        frmAbout about;
        about.show();
        if (parser.isSet(hoverOver)) {
            if (auto *control = about.findChild<QWidget *>(parser.value(hoverOver)))
                hover(control);
        }
        about.exec();
        return 0;
    }
    if (window == QLatin1String("splash")) {
        auto *splash = new frmLogo([] { QApplication::quit(); });
        if (parser.isSet(tick)) {
            splash->setManualTime(true);
            for (int i = 0, n = parser.value(tick).toInt(); i < n; ++i)
                splash->Timer1_Timer();
        }
        splash->show();
        return app.exec();
    }
    if (window == QLatin1String("logo2") || window == QLatin1String("logo3")) {
        auto *logo = new frmLogo2;
        logo->show();
        if (window == QLatin1String("logo3"))
            logo->Form_Click();
        return app.exec();
    }
    if (window == QLatin1String("small-tool")) {
        (new Form1)->show();
        return app.exec();
    }
    if (window == QLatin1String("xyu")) {
        (new xyu)->show();
        return app.exec();
    }
    if (window == QLatin1String("journal")) {
        const QString path = zv::cataloguePath();
        if (parser.isSet(sample) && !QFileInfo::exists(path)) {
            CreateCatalogue(path);
            zv::CatalogueSession changes(path);
            makeSampleChanges(changes);
        }
        zv::CatalogueSession session(path);
        QWidget owner;
        openJournalWindow(&owner, session);
        return app.exec();
    }
    std::fputs("zorvanell-window-preview: name a window (see --help)\n", stderr);
    return 2;
}
