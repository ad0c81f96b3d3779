#include "app/GlobalMain.h"

#include "app/FolderOwner.h"
#include "core/INI.h"
#include "core/MemoryUse.h"
#include "core/ProgramFolder.h"
#include "core/Seam.h"
#include "core/Settings.h"
#include "core/SharedState.h"
#include "core/Version.h"
#include "core/backup/BackupScheduler.h"
#include "core/backup/Backups.h"
#include "core/search/SessionIndex.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "core/update/ProgramUpdate.h"
#include "gui/Language.h"
#include "gui/QtSeam.h"
#include "gui/WindowGeometry.h"
#include "gui/catalogue/frmMain.h"
#include "gui/screenshots/PictureReader.h"
#include "gui/windows/frmLogo.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

namespace {

const QString kMissingCatalogueMessage = QStringLiteral("Главний файл программы не найден!") + QLatin1Char('\r') +
                                         QStringLiteral("       Создан новый, Вы можете загрузить базу с сервера "
                                                        "обновлений!");

void refuse(const QString &reason)
{
    zv::showMessage(nullptr, reason + QStringLiteral("\nПрограмма будет закрыта."), zv::MessageForm::OkExclamation);
}

// Offers the newest good backup in place of a catalogue that is missing (`damage` empty) or
// damaged; true when it was restored. Declining leaves everything as it was.
bool offerRestore(const QString &path, const QString &damage)
{
    const std::optional<zv::backup::Backup> backup = zv::backup::newestGoodBackup(zv::backup::backupsFolder(path));
    if (!backup)
        return false;
    const QString offer = QStringLiteral("Восстановить каталог из резервной копии от %1 (записей: %2)?")
                              .arg(QLocale(QLocale::Russian).toString(backup->at, QStringLiteral("d MMMM yyyy, HH:mm")))
                              .arg(backup->entries());
    const QString text = damage.isEmpty() ? offer
                                          : QStringLiteral("Каталог ") + QDir::toNativeSeparators(path) +
                                                QStringLiteral(" повреждён: ") + damage + QStringLiteral(".\n") + offer;
    if (zv::showMessage(nullptr, text, zv::MessageForm::YesNoQuestion) != zv::MessageAnswer::Yes)
        return false;
    QString keptAs;
    const QString failure = zv::backup::restoreBackup(*backup, path, damage.isEmpty() ? nullptr : &keptAs);
    if (!failure.isEmpty()) {
        zv::showMessage(nullptr, QStringLiteral("Каталог не восстановлен: ") + failure + QLatin1Char('.'),
                        zv::MessageForm::OkExclamation);
        return false;
    }
    if (!keptAs.isEmpty())
        zv::showMessage(nullptr,
                        QStringLiteral("Каталог восстановлен. Повреждённый файл сохранён как ") +
                            QDir::toNativeSeparators(keptAs) + QLatin1Char('.'),
                        zv::MessageForm::OkInformation);
    return true;
}

// Makes sure the catalogue exists and can be opened; false (after telling the user) when not.
bool ensureCatalogue()
{
    const QString path = zv::cataloguePath();
    const QFileInfo info(path);
    try {
        if (!info.exists() && !info.isSymLink()) {
            zv::showMessage(nullptr, kMissingCatalogueMessage, zv::MessageForm::OkExclamation);
            if (!offerRestore(path, QString()))
                CreateCatalogue(path);
        } else if (!zv::backup::listBackups(zv::backup::backupsFolder(path)).empty()) {
            // Read through only when there is a backup to offer instead: a big catalogue takes a while.
            if (const QString damage = zv::backup::catalogueDamage(path); !damage.isEmpty())
                offerRestore(path, damage);
        }
        // Opened once here so that a file that is not a catalogue stops the program before any window.
        OpenCatalogue(path);
    } catch (const zv::CatalogueError &e) {
        refuse(e.message());
        return false;
    }
    return true;
}

// A pipe or a folder in place of a settings file is read as no file at all; the user hears why.
void tellIrregularSettings()
{
    QStringList paths{zv::optionsPath()};
    if (zv::readOption(zv::Option::Lang) == zv::kLangAlternative)
        paths << zv::languagePath();
    for (const QString &path : std::as_const(paths)) {
        const QString message = zv::irregularSettingsMessage(path);
        if (!message.isEmpty())
            zv::showMessage(nullptr, message, zv::MessageForm::OkExclamation);
    }
}

QPointer<QWidget> mainWindow;

void showMainWindow()
{
    // The session lives as long as the program; the windows meet through it.
    auto *session = new zv::CatalogueSession(zv::cataloguePath(), qApp);
    // The full-text index is checked, and built the first time, while the user works.
    zv::search::attachSearchIndex(*session, zv::cataloguePath());
    // A catalogue that changed is backed up once a day, now or later while the program runs.
    (new zv::backup::BackupScheduler(zv::cataloguePath(), session))->start();
    mainWindow = new frmMain(*session);
    mainWindow->show();
    // Typing starts in the main window even where the desktop gives new windows no focus.
    mainWindow->activateWindow();
}

// A second start on this folder asked for us: the question on screen, else the main window,
// else whatever is shown while it comes (the splash screen).
void bringToFront()
{
    QWidget *window = QApplication::activeModalWidget();
    if (!window)
        window = mainWindow;
    if (!window) {
        for (QWidget *shown : QApplication::topLevelWidgets()) {
            if (shown->isVisible()) {
                window = shown;
                break;
            }
        }
    }
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace

bool Main()
{
    zv::initVersionValues();
    // An installed program's first start copies the starter catalogue into the user's data folder,
    // so the missing-catalogue warning is left for a portable folder without one.
    zv::seedProgramFolder();
    tellIrregularSettings();
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
    // Wayland compositors and software centres find the program's icon and name by this id.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.zorvanell"));
    QApplication::setFont(designFont());
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

    std::unique_ptr<FolderOwner> owner;
    if (const std::optional<int> code = startUp(owner))
        return *code;
    return app.exec();
}

std::optional<int> startUp(std::unique_ptr<FolderOwner> &owner)
{
    // An install stopped half-way is finished first: the script does it and starts the program again.
    // This start must not hold the folder meanwhile, or the program the script starts finds it owned.
    if (update::finishInterruptedInstall())
        return 0;
    // The folder is made first so that even the first start of an installed program holds it.
    const ProgramFolderChoice folder = programFolderChoice();
    if (folder.userDataFolder)
        QDir().mkpath(folder.path);
    owner = std::make_unique<FolderOwner>(folder.path, bringToFront);
    switch (owner->claim()) {
    case FolderOwner::Claim::OwnerAnswered:
        return 0;
    case FolderOwner::Claim::Refused:
        return 1;
    case FolderOwner::Claim::Owner:
    case FolderOwner::Claim::Unowned:
        break;
    }
    if (!Main())
        return 1;
    return std::nullopt;
}

} // namespace zv
