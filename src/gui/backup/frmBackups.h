#pragma once

#include "core/backup/BackupRunner.h"

#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QAction;

namespace zv {
class CatalogueSession;
}

// "Резервные копии": the backups of the catalogue with their date, reason, entries and size; a
// backup taken at once, a restore (after one more backup of the catalogue as it is), and the
// folder opened in the file manager.
class frmBackups : public QWidget
{
    Q_OBJECT

public:
    explicit frmBackups(zv::CatalogueSession &session, QWidget *owner = nullptr);
    ~frmBackups() override;

    void cmdBackupNow_Click();
    void cmdRestore_Click();
    void cmdOpenFolder_Click();
    // Lists the backups anew; the one in `select` (a folder) is selected, else the newest.
    void refresh(const QString &select = QString());
    bool running() const { return m_runner != nullptr; }

private:
    void startBackup(zv::backup::Reason reason);
    void backupFinished(const zv::backup::Outcome &outcome);
    void restore(const zv::backup::Backup &backup);
    std::optional<zv::backup::Backup> selectedBackup() const;
    void setBusy(bool busy);

    zv::CatalogueSession &m_session;
    QString m_folder;
    std::vector<zv::backup::Backup> m_backups;
    std::unique_ptr<zv::backup::BackupRunner> m_runner;
    std::optional<zv::backup::Backup> m_restoreAfter; // restored once the backup before it is taken

    QTreeWidget *lstBackups;
    QPushButton *cmdBackupNow;
    QPushButton *cmdRestore;
    QPushButton *cmdOpenFolder;
    QPushButton *cmdClose;
    QProgressBar *prgBackup;
    QLabel *lblStatus;
};

// Ctrl+B with a small box, for `owner` to show where it opens the backups window.
QAction *backupsWindowAction(QWidget *owner);

// Opens the backups window of `owner` (one per owner), or brings it to the front.
frmBackups *openBackupsWindow(QWidget *owner, zv::CatalogueSession &session);
