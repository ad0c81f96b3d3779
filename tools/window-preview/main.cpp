// Shows one secondary window on its own, as the program would open it, for screenshots.
// zorvanell-window-preview WINDOW [--tick N] [--hover CONTROL]
//   WINDOW   options, about, splash, logo2, logo3, small-tool or xyu
//   --tick   splash only: holds the growing splash after N steps (0 to 25) instead of animating it
//   --hover  about only: shows the window as with the pointer over CONTROL (cmdWeb, Image2, ...)
// Settings and captions come from the program folder (ZORVANELL_HOME), as in the program.
#include "app/GlobalMain.h"
#include "core/SharedState.h"
#include "gui/QtSeam.h"
#include "gui/windows/Form1.h"
#include "gui/windows/frmAbout.h"
#include "gui/windows/frmLogo.h"
#include "gui/windows/frmLogo2.h"
#include "gui/windows/frmOptions.h"
#include "gui/windows/xyu.h"

#include <QApplication>
#include <QCommandLineParser>
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    zv::setUpApplication(app);

    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("window"),
                                 QStringLiteral("options, about, splash, logo2, logo3, small-tool or xyu"));
    const QCommandLineOption tick(QStringLiteral("tick"), QStringLiteral("Hold the splash after N steps."),
                                  QStringLiteral("n"));
    const QCommandLineOption hoverOver(QStringLiteral("hover"), QStringLiteral("Point at an about window control."),
                                       QStringLiteral("control"));
    parser.addOptions({tick, hoverOver});
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
    std::fputs("zorvanell-window-preview: name a window (see --help)\n", stderr);
    return 2;
}
