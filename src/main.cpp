#include "core/GlobalMain.h"
#include "core/QtSeam.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvanell"));
    // The windows are laid out for a small 8-point sans serif.
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 8));

    // Standard buttons and dialogs in Russian ("Да", "Нет", "Отмена").
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    zv::QtSeam seam;
    zv::setSeam(&seam);

    if (!Main())
        return 1;
    return app.exec();
}
