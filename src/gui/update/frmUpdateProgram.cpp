#include "core/INI.h"
#include "core/SharedState.h"
#include "core/store/CatalogueStore.h"
#include "core/update/ProgramUpdate.h"
#include "core/update/UpdateLayout.h"
#include "gui/update/frmUpdate.h"

#include <QComboBox>
#include <QFile>

// The program update: the version check, the offer, the archive and its signature, the install script.

using namespace zv::update;

void frmUpdate::VistaButton1_Click()
{
    if (busy())
        return;
    // An installed package is updated by the system; nothing is fetched that could not be installed.
    if (!installFolderWritable()) {
        zv::showMessage(this, kPackageManagedText, zv::MessageForm::OkInformation);
        return;
    }
    m_serverAddress = cmbServer->currentText();
    m_downloader->setPartFolder(QString());
    setState(State::CheckingVersion);
    m_job = DownloadFile(versionAddress(m_serverAddress), versionFile(), FileKind::VersionFile);
}

void frmUpdate::versionFetched(bool ok)
{
    setState(State::Idle);
    if (!ok) {
        const QString bound = boundsText(m_downloader->lastFailure());
        zv::showMessage(this, bound.isEmpty() ? kNoConnectionText : bound, zv::MessageForm::OkExclamation);
        return;
    }
    const VersionCheck check = checkVersionFile(versionFile(), VersionNumber);
    QFile::remove(versionFile());
    if (check.verdict == VersionCheck::Verdict::Unreadable) {
        zv::showMessage(this, kUnreadableVersionText, zv::MessageForm::OkExclamation);
        return;
    }
    if (check.verdict == VersionCheck::Verdict::UpToDate) {
        zv::showMessage(this, kUpToDateText, zv::MessageForm::OkInformation);
        return;
    }
    const auto answer = ask(offerText(check.textVersion));
    if (!answer)
        return;
    setState(State::Idle);
    if (*answer != zv::MessageAnswer::Yes)
        return;
    if (!installScriptReady()) {
        zv::showMessage(this, kScriptMissingText, zv::MessageForm::OkExclamation);
        return;
    }
    m_serverBuild = check.serverBuild;
    // An archive left from an earlier attempt must never be installed in place of this one.
    dropDownloads();
    setState(State::FetchingArchive);
    m_job = DownloadFile(archiveAddress(m_serverAddress), archiveFile(), FileKind::Archive);
}

void frmUpdate::archiveFetched(bool ok)
{
    if (!ok) {
        setState(State::Idle);
        const QString bound = boundsText(m_downloader->lastFailure());
        zv::showMessage(this, bound.isEmpty() ? kArchiveFailedText : bound, zv::MessageForm::OkExclamation);
        return;
    }
    // The signature is a few hundred bytes; the version file's size cap fits it.
    setState(State::FetchingSignature);
    m_job = DownloadFile(signatureAddress(m_serverAddress), signatureFile(), FileKind::VersionFile);
}

void frmUpdate::signatureFetched(bool)
{
    // A signature that did not arrive is found missing by the check.
    setState(State::Idle);
    const ArchiveVerdict verdict =
        checkArchive(archiveFile(), signatureFile(), trustedKeysFolder(), m_serverBuild, VersionNumber);
    QFile::remove(signatureFile());
    if (verdict != ArchiveVerdict::Good) {
        dropDownloads();
        zv::showMessage(this, archiveVerdictText(verdict), zv::MessageForm::OkExclamation);
        return;
    }
    if (!installScriptReady()) {
        dropDownloads();
        zv::showMessage(this, kScriptMissingText, zv::MessageForm::OkExclamation);
        return;
    }
    // The catalogue is backed up before the program that wrote it is replaced; the window
    // keeps reacting meanwhile.
    setState(State::BackingUp);
    zv::backup::Request request;
    request.cataloguePath = zv::cataloguePath();
    request.optionsPath = zv::optionsPath();
    request.backupsFolder = zv::backup::backupsFolder(request.cataloguePath);
    request.reason = zv::backup::Reason::BeforeProgramUpdate;
    m_backup = std::make_unique<zv::backup::BackupRunner>(request);
    connect(m_backup.get(), &zv::backup::BackupRunner::finished, this, &frmUpdate::backedUpBeforeInstall);
    m_backup->start();
}

void frmUpdate::backedUpBeforeInstall(const zv::backup::Outcome &outcome)
{
    m_backup.release()->deleteLater();
    if (m_state != State::BackingUp)
        return;
    setState(State::Idle);
    if (!outcome.message.isEmpty())
        setStat(outcome.message);
    if (!startInstallScript()) {
        dropDownloads();
        zv::showMessage(this, kScriptFailedText, zv::MessageForm::OkExclamation);
        return;
    }
    zv::seam().exitProcess(0);
}

void frmUpdate::dropDownloads()
{
    QFile::remove(archiveFile());
    QFile::remove(signatureFile());
}
