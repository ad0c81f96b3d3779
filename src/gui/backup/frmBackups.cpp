#include "gui/backup/frmBackups.h"

#include "core/INI.h"
#include "core/Seam.h"
#include "core/backup/BackupScheduler.h"
#include "core/session/CatalogueSession.h"
#include "core/store/CatalogueStore.h"
#include "gui/IconMdl.h"
#include "gui/OwnedWindow.h"

#include <QAction>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kFolderRole = Qt::UserRole;

QString dateText(const QDateTime &at)
{
    return QLocale(QLocale::Russian).toString(at, QStringLiteral("dd.MM.yyyy HH:mm"));
}

QString sizeText(qint64 bytes)
{
    return QLocale(QLocale::Russian).formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

frmBackups::frmBackups(zv::CatalogueSession &session, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_session(session)
    , m_folder(zv::backup::backupsFolder(zv::cataloguePath()))
{
    zv::dressOwnedWindow(this, QStringLiteral("frmBackups"), QStringLiteral("Резервные копии"));
    SetWindowIcon(this);
    resize(640, 380);

    lstBackups = new QTreeWidget(this);
    lstBackups->setObjectName(QStringLiteral("lstBackups"));
    lstBackups->setHeaderLabels(
        {QStringLiteral("Дата"), QStringLiteral("Причина"), QStringLiteral("Записей"), QStringLiteral("Размер")});
    lstBackups->setRootIsDecorated(false);
    lstBackups->setUniformRowHeights(true);
    lstBackups->setAllColumnsShowFocus(true);
    lstBackups->header()->resizeSection(0, 130);
    lstBackups->header()->resizeSection(1, 210);
    lstBackups->setAccessibleName(QStringLiteral("Резервные копии каталога"));

    cmdBackupNow = new QPushButton(QStringLiteral("Сделать копию сейчас"), this);
    cmdBackupNow->setObjectName(QStringLiteral("cmdBackupNow"));
    cmdRestore = new QPushButton(QStringLiteral("Восстановить"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdOpenFolder = new QPushButton(QStringLiteral("Открыть папку"), this);
    cmdOpenFolder->setObjectName(QStringLiteral("cmdOpenFolder"));
    cmdClose = new QPushButton(QStringLiteral("Закрыть"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    prgBackup = new QProgressBar(this);
    prgBackup->setObjectName(QStringLiteral("prgBackup"));
    prgBackup->setRange(0, 100);
    prgBackup->setAccessibleName(QStringLiteral("Ход резервного копирования"));
    prgBackup->hide();
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setWordWrap(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdBackupNow);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdOpenFolder);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lstBackups, 1);
    layout->addWidget(prgBackup);
    layout->addWidget(lblStatus);
    layout->addLayout(buttons);
    setTabOrder(lstBackups, cmdBackupNow);
    setTabOrder(cmdBackupNow, cmdRestore);
    setTabOrder(cmdRestore, cmdOpenFolder);
    setTabOrder(cmdOpenFolder, cmdClose);

    connect(cmdBackupNow, &QPushButton::clicked, this, &frmBackups::cmdBackupNow_Click);
    connect(cmdRestore, &QPushButton::clicked, this, &frmBackups::cmdRestore_Click);
    connect(cmdOpenFolder, &QPushButton::clicked, this, &frmBackups::cmdOpenFolder_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lstBackups, &QTreeWidget::currentItemChanged, this,
            [this] { cmdRestore->setEnabled(!running() && lstBackups->currentItem()); });
    // A window of its own, closed from the keyboard as a dialog is.
    auto *closeWindow = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeWindow, &QShortcut::activated, this, &QWidget::close);

    if (zv::backup::BackupScheduler *scheduler = zv::backup::BackupScheduler::instance()) {
        connect(scheduler, &zv::backup::BackupScheduler::backupFinished, this, [this, scheduler] {
            refresh();
            if (!scheduler->note().isEmpty())
                lblStatus->setText(scheduler->note());
        });
        lblStatus->setText(scheduler->note());
    }
    refresh();
    lstBackups->setFocus();
}

frmBackups::~frmBackups() = default;

void frmBackups::refresh(const QString &select)
{
    m_backups = zv::backup::listBackups(m_folder);
    lstBackups->clear();
    QTreeWidgetItem *selected = nullptr;
    for (const zv::backup::Backup &backup : m_backups) {
        auto *item = new QTreeWidgetItem(lstBackups, {dateText(backup.at), zv::backup::reasonText(backup.reason),
                                                      QString::number(backup.entries()), sizeText(backup.bytes)});
        item->setData(0, kFolderRole, backup.folder);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        if (backup.folder == select || !selected)
            selected = item;
    }
    lstBackups->setCurrentItem(selected);
    cmdRestore->setEnabled(!running() && selected);
    if (m_backups.empty() && lblStatus->text().isEmpty())
        lblStatus->setText(QStringLiteral("Резервных копий пока нет."));
}

std::optional<zv::backup::Backup> frmBackups::selectedBackup() const
{
    const QTreeWidgetItem *item = lstBackups->currentItem();
    if (!item)
        return std::nullopt;
    const QString folder = item->data(0, kFolderRole).toString();
    for (const zv::backup::Backup &backup : m_backups)
        if (backup.folder == folder)
            return backup;
    return std::nullopt;
}

void frmBackups::setBusy(bool busy)
{
    cmdBackupNow->setEnabled(!busy);
    cmdRestore->setEnabled(!busy && lstBackups->currentItem());
    prgBackup->setValue(0);
    prgBackup->setVisible(busy);
}

void frmBackups::startBackup(zv::backup::Reason reason)
{
    zv::backup::Request request;
    request.cataloguePath = zv::cataloguePath();
    request.optionsPath = zv::optionsPath();
    request.backupsFolder = m_folder;
    request.reason = reason;
    m_runner = std::make_unique<zv::backup::BackupRunner>(request);
    connect(m_runner.get(), &zv::backup::BackupRunner::progress, prgBackup, &QProgressBar::setValue);
    connect(m_runner.get(), &zv::backup::BackupRunner::finished, this, &frmBackups::backupFinished);
    setBusy(true);
    lblStatus->setText(QStringLiteral("Делается резервная копия..."));
    m_runner->start();
}

void frmBackups::cmdBackupNow_Click()
{
    if (!running())
        startBackup(zv::backup::Reason::Manual);
}

void frmBackups::cmdRestore_Click()
{
    const std::optional<zv::backup::Backup> backup = selectedBackup();
    if (running() || !backup)
        return;
    const QString question = QStringLiteral("Восстановить каталог из резервной копии от %1 (записей: %2)?\n"
                                            "Каталог в нынешнем виде будет сначала сохранён в новой резервной копии.")
                                 .arg(dateText(backup->at))
                                 .arg(backup->entries());
    if (zv::showMessage(this, question, zv::MessageForm::YesNoQuestion) != zv::MessageAnswer::Yes)
        return;
    m_restoreAfter = backup;
    startBackup(zv::backup::Reason::BeforeRestore);
}

void frmBackups::backupFinished(const zv::backup::Outcome &outcome)
{
    m_runner.release()->deleteLater();
    setBusy(false);
    const std::optional<zv::backup::Backup> restoring = std::exchange(m_restoreAfter, std::nullopt);
    lblStatus->setText(outcome.backup ? QStringLiteral("Резервная копия сделана.") : outcome.message);
    refresh(outcome.backup ? outcome.backup->folder : QString());
    if (!restoring)
        return;
    // A restore that could not be taken back is not made.
    if (!outcome.backup) {
        zv::showMessage(this, outcome.message + QStringLiteral("\nКаталог не восстановлен."),
                        zv::MessageForm::OkExclamation);
        return;
    }
    restore(*restoring);
}

void frmBackups::restore(const zv::backup::Backup &backup)
{
    const QString failure =
        m_session.replaceCatalogue([&backup] { return zv::backup::restoreBackup(backup, zv::cataloguePath()); });
    if (!failure.isEmpty()) {
        lblStatus->setText(QStringLiteral("Каталог не восстановлен: ") + failure + QLatin1Char('.'));
        zv::showMessage(this, lblStatus->text(), zv::MessageForm::OkExclamation);
        return;
    }
    lblStatus->setText(QStringLiteral("Каталог восстановлен из резервной копии от ") + dateText(backup.at) +
                       QLatin1Char('.'));
    zv::showMessage(this, lblStatus->text(), zv::MessageForm::OkInformation);
}

void frmBackups::cmdOpenFolder_Click()
{
    QDir().mkpath(m_folder);
    zv::seam().openWithShell(m_folder);
}

QAction *backupsWindowAction(QWidget *owner)
{
    // A small box with a lid, drawn at the size the search box shows it.
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(70, 70, 70), 1.5));
        painter.drawRect(QRectF(2.5, 6.5, 11, 7));
        painter.drawRect(QRectF(1.5, 3.5, 13, 3));
        painter.drawLine(QPointF(6.5, 9), QPointF(9.5, 9));
    }
    return zv::ownedWindowAction(owner, picture, QStringLiteral("Резервные копии (Ctrl+B)"),
                                 QStringLiteral("actBackups"), QKeySequence(Qt::CTRL | Qt::Key_B));
}

frmBackups *openBackupsWindow(QWidget *owner, zv::CatalogueSession &session)
{
    return zv::showOwnedWindow<frmBackups>(owner, [&] { return new frmBackups(session, owner); });
}
