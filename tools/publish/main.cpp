#include "core/update/Publisher.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zorvanell-publish"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Turns a Zorvanell catalogue into the files an update server serves.\n\n"
                       "Writes under OUTDIR/zv_upd, for each category table T:\n"
                       "  T/spisok.txt    the entry names, Windows-1251, joined by CR LF\n"
                       "  T/base/<Name>   the text of each entry, Windows-1251\n"
                       "and, when asked, ProgVer.ini, update.rar and whatsnew.txt.\n"
                       "Serve OUTDIR with any static web server and type its address (with a trailing slash)\n"
                       "into the update manager's server box. Names that cannot be file names are skipped\n"
                       "with a warning."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("CATALOGUE"), QStringLiteral("The catalogue file (Zorvanell.dat)."));
    parser.addPositionalArgument(QStringLiteral("OUTDIR"), QStringLiteral("The folder the web server serves."));
    const QCommandLineOption intVersion(QStringLiteral("int-version"),
                                        QStringLiteral("Build number of the newest program (IntVer of ProgVer.ini)."),
                                        QStringLiteral("N"));
    const QCommandLineOption textVersion(QStringLiteral("text-version"),
                                         QStringLiteral("Version as shown to the user (TxtVer of ProgVer.ini)."),
                                         QStringLiteral("T"));
    const QCommandLineOption archive(QStringLiteral("archive"),
                                     QStringLiteral("Program update archive, published as zv_upd/update.rar."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption whatsNew(QStringLiteral("whatsnew"),
                                      QStringLiteral("What's-new text, published as zv_upd/whatsnew.txt."),
                                      QStringLiteral("FILE"));
    parser.addOptions({intVersion, textVersion, archive, whatsNew});
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2) {
        printLine(stderr, QStringLiteral("zorvanell-publish: expected CATALOGUE and OUTDIR (see --help)"));
        return 2;
    }
    zv::update::PublishOptions options;
    options.catalogue = arguments.at(0);
    options.outDir = arguments.at(1);
    if (parser.isSet(intVersion)) {
        bool ok = false;
        options.intVersion = parser.value(intVersion).toInt(&ok);
        if (!ok) {
            printLine(stderr, QStringLiteral("zorvanell-publish: --int-version needs a whole number"));
            return 2;
        }
    } else if (parser.isSet(textVersion)) {
        printLine(stderr, QStringLiteral("zorvanell-publish: --text-version needs --int-version too"));
        return 2;
    }
    options.textVersion = parser.value(textVersion);
    options.archive = parser.value(archive);
    options.whatsNew = parser.value(whatsNew);

    const zv::update::PublishResult result = zv::update::publish(options);
    for (const QString &warning : result.warnings)
        printLine(stderr, QStringLiteral("warning: ") + warning);
    if (!result.ok) {
        printLine(stderr, QStringLiteral("zorvanell-publish: ") + result.error);
        return 1;
    }
    printLine(stdout, QString::number(result.entries) + QStringLiteral(" entries published to ") + options.outDir);
    return 0;
}
