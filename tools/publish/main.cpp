#include "core/entryfile/EntryFileAdd.h"
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
                       "and, when asked, ProgVer.ini, update.rar with its signature update.rar.minisig,\n"
                       "and whatsnew.txt.\n"
                       "Serve OUTDIR with any static web server and type its address (with a trailing slash)\n"
                       "into the update manager's server box. Names that cannot be file names, and names\n"
                       "web servers read as their own settings (.ht*, web.config, .user.ini), are skipped\n"
                       "with a warning.\n\n"
                       "The program installs only archives signed by a key it trusts: make a key pair once\n"
                       "with --new-key NAME, build the program with NAME.pub (cmake -DZV_UPDATE_KEYS=...),\n"
                       "and publish archives with --sign-key NAME.key. Keep NAME.key out of OUTDIR.\n\n"
                       "Entries users send (\"Предложить запись\" makes a NAME.zvegg file) are added to the\n"
                       "catalogue with --add FILE... CATALOGUE, their pictures into CATALOGUE's ScreenShots\n"
                       "folder, all in one transaction; publish afterwards to serve them."));
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
    const QCommandLineOption signKey(QStringLiteral("sign-key"),
                                     QStringLiteral("Secret key that signs the archive (zv_upd/update.rar.minisig)."),
                                     QStringLiteral("KEY"));
    const QCommandLineOption newKey(QStringLiteral("new-key"),
                                    QStringLiteral("Only make a new key pair, NAME.pub and NAME.key (secret, not "
                                                   "encrypted, readable by you only), and publish nothing."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption whatsNew(QStringLiteral("whatsnew"),
                                      QStringLiteral("What's-new text, published as zv_upd/whatsnew.txt."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption add(QStringLiteral("add"),
                                 QStringLiteral("Only add the entries of the entry files given (FILE... CATALOGUE) to "
                                                "the catalogue, and publish nothing."));
    parser.addOptions({intVersion, textVersion, archive, signKey, whatsNew, newKey, add});
    parser.process(app);

    if (parser.isSet(add)) {
        QStringList files = parser.positionalArguments();
        if (files.size() < 2) {
            printLine(stderr, QStringLiteral("zorvanell-publish: --add expects FILE... CATALOGUE"));
            return 2;
        }
        const QString catalogue = files.takeLast();
        const zv::entryfile::AddResult result = zv::entryfile::addEntryFiles(catalogue, files);
        for (const QString &report : result.reports)
            printLine(stderr, QStringLiteral("warning: ") + report);
        if (!result.ok) {
            printLine(stderr, QStringLiteral("zorvanell-publish: ") + result.error);
            return 1;
        }
        printLine(stdout, QString::number(result.added) + QStringLiteral(" entries added to ") + catalogue);
        return 0;
    }

    if (parser.isSet(newKey)) {
        if (!parser.positionalArguments().isEmpty()) {
            printLine(stderr, QStringLiteral("zorvanell-publish: --new-key makes a key pair and publishes nothing"));
            return 2;
        }
        QString error;
        const auto keyId = zv::update::writeNewKeyPair(parser.value(newKey), &error);
        if (!keyId) {
            printLine(stderr, QStringLiteral("zorvanell-publish: ") + error);
            return 1;
        }
        const QString name = parser.value(newKey);
        printLine(stdout, QStringLiteral("Key ") + *keyId + QStringLiteral(": public key ") + name +
                              QStringLiteral(".pub, secret key ") + name +
                              QStringLiteral(".key (keep it secret, and out of the published folder)"));
        return 0;
    }

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
    options.signKey = parser.value(signKey);
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
