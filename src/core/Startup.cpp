#include "GlobalMain.h"

#include "INI.h"
#include "ProgramFolder.h"
#include "Seam.h"
#include "catalogue/CatalogueStore.h"
#include "catalogue/frmMain.h"
#include "windows/frmLogo.h"

#include <QFileInfo>

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

} // namespace

bool Main()
{
    VersionNumber = zv::kVersionNumber;
    if (!ensureCatalogue())
        return false;
    zv::initVersionValues();
    if (zv::optionAsFlag(ReadOption(QStringLiteral("SplashScreen"), QStringLiteral("True")), true))
        (new frmLogo)->show();
    else
        (new frmMain)->show();
    return true;
}
