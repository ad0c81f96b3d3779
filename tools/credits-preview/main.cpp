// Shows the credits window on its own, as the about window would open it.
// zorvanell-credits-preview [--close-after MS] [--linger MS]
//   --close-after  closes the window by itself after MS milliseconds
//   --linger       keeps the process alive MS milliseconds after the window closed
#include "gui/QtSeam.h"
#include "gui/windows/frmTitles.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QThread>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvanell"));

    QCommandLineParser parser;
    const QCommandLineOption closeAfter(QStringLiteral("close-after"), QStringLiteral("Close after MS."),
                                        QStringLiteral("ms"));
    const QCommandLineOption linger(QStringLiteral("linger"), QStringLiteral("Stay MS after closing."),
                                    QStringLiteral("ms"));
    parser.addOptions({closeAfter, linger});
    parser.addHelpOption();
    parser.process(app);

    zv::QtSeam seam;
    zv::setSeam(&seam);

    frmTitles titles;
    if (parser.isSet(closeAfter))
        QTimer::singleShot(parser.value(closeAfter).toInt(), &titles, &QDialog::reject);
    titles.exec();
    std::puts("closed");
    std::fflush(stdout);
    if (parser.isSet(linger))
        QThread::msleep(parser.value(linger).toULong());
    return 0;
}
