#include "CatalogueSource.h"
#include "core/store/CatalogueStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}

// One path of a Makefile-style dependency list, escaped as Ninja reads it.
QByteArray depfilePath(const QString &path)
{
    QByteArray escaped;
    for (const char c : QFile::encodeName(QDir::cleanPath(QFileInfo(path).absoluteFilePath()))) {
        if (c == ' ' || c == '#' || c == '\\')
            escaped += '\\';
        else if (c == '$')
            escaped += '$';
        escaped += c;
    }
    return escaped;
}

// What the catalogue was made from. The folders are listed too: adding, removing or renaming an
// entry file changes a folder's time, so the build notices it; data/ notices the first entries.
bool writeDepfile(const QString &depfile, const QString &catalogue, const QString &folder,
                  const QList<zv::starter::SourceEntry> &entries)
{
    QStringList inputs{QFileInfo(folder).absolutePath()};
    if (QFileInfo(folder).isDir()) {
        inputs << folder;
        for (const QString &table : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            inputs << folder + QLatin1Char('/') + table;
    }
    for (const zv::starter::SourceEntry &entry : entries)
        inputs << entry.file;
    QSaveFile file(depfile);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(depfilePath(catalogue) + ':');
    for (const QString &input : std::as_const(inputs))
        file.write(" \\\n  " + depfilePath(input));
    file.write("\n");
    return file.commit();
}

} // namespace

// catalogue-build FOLDER CATALOGUE: the build runs it to make the shipped Zorvanell.dat from
// data/catalogue/<Table>/<Name>.txt. Any error leaves CATALOGUE as it was.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3 && arguments.size() != 4) {
        printLine(stderr, QStringLiteral("usage: catalogue-build FOLDER CATALOGUE [DEPFILE]\n"
                                         "Writes CATALOGUE from the entry files FOLDER/<Table>/<Name>.txt (UTF-8).\n"
                                         "In a file name, %XX stands for one byte of the name's UTF-8: "
                                         "\"/\" is written %2F and \"%\" itself %25.\n"
                                         "DEPFILE receives the files read, for the build."));
        return 2;
    }
    const zv::starter::SourceReading reading = zv::starter::readCatalogueSource(arguments.at(1));
    for (const QString &warning : reading.warnings)
        printLine(stderr, QStringLiteral("catalogue-build: warning: ") + warning);
    for (const QString &error : reading.errors)
        printLine(stderr, QStringLiteral("catalogue-build: error: ") + error);
    if (!reading.errors.isEmpty())
        return 1;
    try {
        zv::starter::writeCatalogue(reading.entries, arguments.at(2));
    } catch (const zv::CatalogueError &e) {
        printLine(stderr, QStringLiteral("catalogue-build: ") + e.message());
        return 1;
    }
    if (arguments.size() == 4 && !writeDepfile(arguments.at(3), arguments.at(2), arguments.at(1), reading.entries)) {
        printLine(stderr, QStringLiteral("catalogue-build: cannot write ") + arguments.at(3));
        return 1;
    }
    printLine(stdout,
              QString::number(reading.entries.size()) + QStringLiteral(" entries written to ") + arguments.at(2));
    return 0;
}
