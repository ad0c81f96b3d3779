#include "app/GlobalMain.h"

#include "core/MemoryUse.h"
#include "core/ProgramFolder.h"
#include "core/Seam.h"
#include "core/Settings.h"
#include "core/SharedState.h"
#include "core/Version.h"
#include "core/search/SessionIndex.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/update/ProgramUpdate.h"
#include "gui/QtSeam.h"
#include "gui/catalogue/frmMain.h"
#include "gui/screenshots/PictureReader.h"
#include "gui/windows/frmLogo.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

const QString kMissingCatalogueMessage = QStringLiteral("Главний файл программы не найден!") + QLatin1Char('\r') +
                                         QStringLiteral("       Создан новый, Вы можете загрузить базу с сервера "
                                                        "обновлений!");

void refuse(const QString &reason)
{
    zv::showMessage(nullptr, reason + QStringLiteral("\nПрограмма будет закрыта."), zv::MessageForm::OkExclamation);
}

// Makes sure the catalogue exists and can be opened; false (after telling the user) when not.
bool ensureCatalogue()
{
    const QString path = zv::cataloguePath();
    const QFileInfo info(path);
    try {
        if (!info.exists() && !info.isSymLink()) {
            zv::showMessage(nullptr, kMissingCatalogueMessage, zv::MessageForm::OkExclamation);
            CreateCatalogue(path);
        }
        // Opened once here so that a file that is not a catalogue stops the program before any window.
        OpenCatalogue(path);
    } catch (const zv::CatalogueError &e) {
        refuse(e.message());
        return false;
    }
    return true;
}

void showMainWindow()
{
    // The session lives as long as the program; the windows meet through it.
    auto *session = new zv::CatalogueSession(zv::cataloguePath(), qApp);
    // The full-text index is checked, and built the first time, while the user works.
    zv::search::attachSearchIndex(*session, zv::cataloguePath());
    (new frmMain(*session))->show();
}

} // namespace

bool Main()
{
    zv::initVersionValues();
    // An installed program's first start copies the starter catalogue into the user's data folder,
    // so the missing-catalogue warning is left for a portable folder without one.
    zv::seedProgramFolder();
    if (!ensureCatalogue())
        return false;
    // A program update ended with this start: say how it went, once.
    zv::update::reportInstallStatus();
    if (zv::readOptionFlag(zv::Option::SplashScreen))
        (new frmLogo(showMainWindow))->show();
    else
        showMainWindow();
    return true;
}

namespace zv {

void setUpApplication(QApplication &app)
{
    returnLargeBlocksWhenFreed();
    QApplication::setApplicationName(QStringLiteral("Zorvanell"));
    // The windows are laid out for a small 8-point sans serif.
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    // A picture file whose header claims a huge size is refused instead of taking the memory.
    limitPictureMemory();

    // Standard buttons and dialogs in Russian ("Да", "Нет", "Отмена").
    auto *qtTranslator = new QTranslator(&app);
    if (qtTranslator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTranslator);
}

int runApplication(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);

    QtSeam seam;
    setSeam(&seam);

    if (!Main())
        return 1;
    return app.exec();
}

} // namespace zv
