#include "gui/update/frmUpdate.h"

#include "core/Addresses.h"
#include "core/Background.h"
#include "core/Seam.h"
#include "core/SharedState.h"
#include "core/TextCodec.h"
#include "core/session/CatalogueSession.h"
#include "core/store/Category.h"
#include "core/update/EntryImport.h"
#include "core/update/ProgramUpdate.h"
#include "core/update/UpdateLayout.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/PlainLabel.h"
#include "gui/WindowGeometry.h"
#include "gui/controls/VistaButton.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>

#include <optional>

using namespace zv::update;

namespace {

const QString kGreeting = QStringLiteral("Вас приветстует менеджер обновлений Zorvanell!");

} // namespace

frmUpdate::frmUpdate(zv::CatalogueSession &session, QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , LanguageAware(Window::Update)
    , m_session(session)
    , m_table(session.CurrentTable())
    , m_downloader(new Downloader(this))
{
    setObjectName(QStringLiteral("frmUpdate"));
    setWindowTitle(QStringLiteral("Менеджер обновлений Zorvanell"));
    setModal(true);
    setFixedSize(zv::twips(4920), zv::twips(1770));
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    zv::setWindowBackground(this);

    stat = zv::plainLabel(kGreeting, this);
    stat->setObjectName(QStringLiteral("stat"));
    stat->setGeometry(zv::twipsRect(120, 120, 4695, 255));

    Label1 = zv::plainLabel(QStringLiteral("Сервер:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(zv::twipsRect(120, 480, 735, 255));

    // Shows how many entry files have arrived; only visible while they download.
    prgEntries = new QProgressBar(this);
    prgEntries->setObjectName(QStringLiteral("prgEntries"));
    prgEntries->setGeometry(zv::twipsRect(960, 510, 2535, 195));
    prgEntries->setTextVisible(false);
    prgEntries->hide();

    cmbServer = new QComboBox(this);
    cmbServer->setObjectName(QStringLiteral("cmbServer"));
    cmbServer->setEditable(true);
    cmbServer->setInsertPolicy(QComboBox::NoInsert);
    cmbServer->addItems(builtInServers());
    cmbServer->setCurrentText(defaultServer());
    cmbServer->setGeometry(zv::twipsRect(120, 720, 3375, 315));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(zv::twipsRect(3960, 720, 720, 720));
    Image1->setPixmap(zv::iconGroup(QStringLiteral("AAA")).pixmap(48, 48));

    Command1 = new VistaButton(this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setCaption(QStringLiteral("Обновить базу"));
    Command1->setGeometry(zv::twipsRect(120, 1200, 1695, 375));
    connect(Command1, &VistaButton::Click, this, &frmUpdate::Command1_Click);

    VistaButton1 = new VistaButton(this);
    VistaButton1->setObjectName(QStringLiteral("VistaButton1"));
    VistaButton1->setCaption(QStringLiteral("Обновить программу"));
    VistaButton1->setGeometry(zv::twipsRect(1920, 1200, 1815, 375));
    connect(VistaButton1, &VistaButton::Click, this, &frmUpdate::VistaButton1_Click);

    Form_Load();
}

frmUpdate::~frmUpdate()
{
    m_destroying = true;
    Form_Unload();
}

void frmUpdate::Form_Load()
{
    SetWindowIcon(this);
    ApplyWindowSettings(this);
    const auto category = zv::categoryByTable(m_table);
    setWindowTitle(QStringLiteral("Обновление базы - ") + (category ? category->displayName : QString()));
    ApplyLanguage();
}

QList<LanguageAware::Caption> frmUpdate::languageCaptions()
{
    return {
        {QStringLiteral("Caption_frmUpdate"), [this](const QString &text) { setWindowTitle(text); }},
        {QStringLiteral("frmUpdate_Greet"), [this](const QString &text) { stat->setText(text); }},
        {QStringLiteral("frmUpdate_Download"), [this](const QString &text) { Command1->setCaption(text); }},
    };
}

void frmUpdate::done(int result)
{
    // While entries are being written the window stays: they land all together or not at all.
    if (m_adding || m_closing)
        return;
    m_closing = true;
    Form_Unload();
    m_closing = false;
    QDialog::done(result);
}

void frmUpdate::Form_Unload()
{
    // Transfers still running are stopped first, so nothing writes into tmp once it is cleaned.
    if (m_busy) {
        m_aborted = true;
        m_downloader->abortAll();
    }
    RemoveTEMP();
}

void frmUpdate::RemoveTEMP()
{
    m_arrived.clear();
    // Thousands of downloaded files take a while to delete; the window goes on reacting
    // meanwhile, except when it is being destroyed.
    if (m_destroying)
        removeTempFolders();
    else
        zv::runInBackground(&removeTempFolders);
}

void frmUpdate::setStat(const QString &text)
{
    stat->setText(text);
}

void frmUpdate::setBusy(bool busy)
{
    m_busy = busy;
    Command1->setEnabled(!busy);
    VistaButton1->setEnabled(!busy);
    cmbServer->setEnabled(!busy);
    if (busy)
        m_aborted = false;
}

bool frmUpdate::DownloadFile(const QString &from, const QString &to, FileKind kind)
{
    const QUrl url = toUrl(from);
    if (!url.isValid() || m_aborted)
        return false;
    bool ok = false;
    QEventLoop loop;
    const int id = m_downloader->enqueue({url, to, kind, QUrl()});
    const auto connection = connect(m_downloader, &Downloader::finished, &loop, [&](int finishedId, bool result) {
        if (finishedId == id) {
            ok = result;
            loop.quit();
        }
    });
    loop.exec();
    disconnect(connection);
    return ok && !m_aborted;
}

void frmUpdate::Command1_Click()
{
    if (m_busy || m_closing)
        return;
    setBusy(true);
    // Entry names may be any file name, so unfinished files go to a folder of their own.
    m_downloader->setPartFolder(tempPartFolder());
    const auto idle = qScopeGuard([this] {
        m_downloader->setPartFolder(QString());
        setBusy(false);
    });

    RemoveTEMP();
    m_serverAddress = cmbServer->currentText();
    const bool folders = QDir().mkpath(tempBaseFolder());
    setStat(QStringLiteral("Загружаем список..."));
    if (!folders || !DownloadFile(listAddress(m_serverAddress, m_table), tempListFile(), FileKind::List)) {
        if (m_aborted)
            return;
        zv::showMessage(this, QStringLiteral("Произошла ошибка!"));
        setStat(QStringLiteral("Ошибка обновления!"));
        return;
    }
    ToSpiskok();
    setStat(QStringLiteral("Проверяем наличие обновлений"));
    CheckNewItems();
    if (m_list2.isEmpty()) {
        zv::showMessage(this, QStringLiteral("У вас самая свежая база данных!"), zv::MessageForm::OkInformation);
        setStat(QStringLiteral("Обновлений нет."));
        return;
    }
    const QString offer =
        QStringLiteral("Новых записей ") + QString::number(m_list2.size()) + QStringLiteral(", обновить?");
    if (zv::showMessage(this, offer, zv::MessageForm::YesNoQuestion) != zv::MessageAnswer::Yes) {
        m_list1.clear();
        m_list2.clear();
        RemoveTEMP();
        return;
    }
    updbase();
    if (m_aborted)
        return;
    if (!adding())
        return;
    Whatsnew();
}

void frmUpdate::ToSpiskok()
{
    QFile list(tempListFile());
    m_list1.clear();
    if (list.open(QIODevice::ReadOnly))
        m_list1 = parseList(zv::fromCp1251(list.readAll()));
}

void frmUpdate::CheckNewItems()
{
    m_list2 = newNames(m_list1, [this](const QString &name) { return m_session.containsName(name); });
}

void frmUpdate::updbase()
{
    prgEntries->setRange(0, int(m_list2.size()));
    prgEntries->setValue(0);
    prgEntries->show();
    const QString base = tempBaseFolder();
    QHash<int, QString> pending;
    int arrived = 0;
    qsizetype next = 0; // the first name of m_list2 not handed to the downloader yet
    QEventLoop loop;
    auto quitWhenDone = [&] {
        if (pending.isEmpty() && next == m_list2.size())
            loop.quit();
    };
    // Small files start by the thousand a second; the line changes as often as an eye can
    // follow, and redrawing it for every one would cost more than fetching it.
    QElapsedTimer shown;
    // The bar moves as often as an eye can follow, and shows the whole at the end.
    QElapsedTimer barShown;
    auto showArrived = [&] {
        ++arrived;
        if (!barShown.isValid() || barShown.elapsed() >= 40) {
            prgEntries->setValue(arrived);
            barShown.start();
        }
    };
    const auto started = connect(m_downloader, &Downloader::jobStarted, this, [&](int id, const DownloadJob &) {
        if (pending.contains(id) && (!shown.isValid() || shown.elapsed() >= 50)) {
            setStat(QStringLiteral("Загружаю ") + pending.value(id));
            shown.start();
        }
    });
    const auto finished = connect(m_downloader, &Downloader::finished, this, [&](int id, bool) {
        if (pending.remove(id)) {
            showArrived();
            quitWhenDone();
        }
    });
    // The texts are taken as they come, while the next files are still on their way.
    const auto kept = connect(m_downloader, &Downloader::arrived, this, [&](int id, const QByteArray &bytes) {
        if (const auto job = pending.constFind(id); job != pending.cend())
            m_arrived.keep(*job, bytes);
    });
    // The names are handed over a slice at a time from the event loop, so that thousands of
    // them never keep the window from reacting.
    QTimer feeder;
    connect(&feeder, &QTimer::timeout, this, [&] {
        QElapsedTimer slice;
        slice.start();
        while (next < m_list2.size() && !m_aborted && slice.elapsed() < 20) {
            const QString &name = m_list2.at(next++);
            // A name that cannot be a plain file of tmp/base fails like a missing file: nothing is written.
            const QUrl url = isPlainFileName(name) ? entryUrl(m_serverAddress, m_table, name) : QUrl();
            if (!url.isValid()) {
                showArrived();
                continue;
            }
            const QUrl fallback = entryUrlCp1251(m_serverAddress, m_table, name);
            DownloadJob job(url, base + QLatin1Char('/') + name, FileKind::Entry, fallback != url ? fallback : QUrl());
            job.keepBytes = true;
            pending.insert(m_downloader->enqueue(job), name);
        }
        if (m_aborted)
            next = m_list2.size();
        if (next == m_list2.size()) {
            feeder.stop();
            quitWhenDone();
        }
    });
    feeder.start(0);
    loop.exec();
    disconnect(started);
    disconnect(finished);
    disconnect(kept);
    prgEntries->setValue(arrived);
    prgEntries->hide();
    if (!m_aborted)
        setStat(QStringLiteral("Загрузка завершена."));
}

bool frmUpdate::adding()
{
    const QString base = tempBaseFolder();
    zv::UpdateBatch batch = m_session.beginUpdateBatch();
    QString lastFile;
    // The entries are written, and merged into a snapshot of the list's order, on a second
    // thread with a connection of its own, while this window keeps repainting.
    m_adding = true;
    try {
        zv::runInBackground([&] {
            QElapsedTimer sinceShown;
            batch.run(
                base, entryFilesIn(base),
                [&](const QString &name) {
                    lastFile = name;
                    // A few times a second is all a person can read; thousands of queued texts
                    // would only hold up the window.
                    if (sinceShown.isValid() && sinceShown.elapsed() < 40)
                        return;
                    sinceShown.start();
                    QMetaObject::invokeMethod(
                        this, [this, name] { setStat(QStringLiteral("Добавляем ") + name); }, Qt::QueuedConnection);
                },
                &m_arrived);
        });
    } catch (const zv::CatalogueError &e) {
        m_adding = false;
        zv::showMessage(this, e.message(), zv::MessageForm::OkExclamation);
        setStat(QStringLiteral("Ошибка обновления!"));
        return false;
    }
    m_adding = false;
    if (!lastFile.isEmpty())
        setStat(QStringLiteral("Добавляем ") + lastFile);
    m_session.finishUpdateBatch(std::move(batch));
    zv::showMessage(this, QStringLiteral("База обновлена!"));
    m_session.announceUpdatedCount();
    close();
    return true;
}

void frmUpdate::Whatsnew()
{
    QWidget *owner = parentWidget();
    if (zv::showMessage(owner, QStringLiteral("Читать что нового? (будет выполнен переход на сайт)"),
                        zv::MessageForm::YesNoQuestion) == zv::MessageAnswer::Yes)
        OpenWithShell(whatsNewAddress(), 2, owner);
}

void frmUpdate::VistaButton1_Click()
{
    if (m_busy || m_closing)
        return;
    // An installed package is updated by the system; nothing is fetched that could not be installed.
    if (!installFolderWritable()) {
        zv::showMessage(this, kPackageManagedText, zv::MessageForm::OkInformation);
        return;
    }
    setBusy(true);
    const auto idle = qScopeGuard([this] { setBusy(false); });

    m_serverAddress = cmbServer->currentText();
    const QString versionPath = versionFile();
    if (!DownloadFile(versionAddress(m_serverAddress), versionPath, FileKind::VersionFile)) {
        if (!m_aborted)
            zv::showMessage(this, kNoConnectionText, zv::MessageForm::OkExclamation);
        return;
    }
    const VersionCheck check = checkVersionFile(versionPath, VersionNumber);
    QFile::remove(versionPath);
    if (check.verdict == VersionCheck::Verdict::Unreadable) {
        zv::showMessage(this, kUnreadableVersionText, zv::MessageForm::OkExclamation);
        return;
    }
    if (check.verdict == VersionCheck::Verdict::UpToDate) {
        zv::showMessage(this, kUpToDateText, zv::MessageForm::OkInformation);
        return;
    }
    if (zv::showMessage(this, offerText(check.textVersion), zv::MessageForm::YesNoQuestion) != zv::MessageAnswer::Yes)
        return;
    if (!installScriptReady()) {
        zv::showMessage(this, kScriptMissingText, zv::MessageForm::OkExclamation);
        return;
    }
    // An archive left from an earlier attempt must never be installed in place of this one.
    const auto dropDownloads = [] {
        QFile::remove(archiveFile());
        QFile::remove(signatureFile());
    };
    dropDownloads();
    if (!DownloadFile(archiveAddress(m_serverAddress), archiveFile(), FileKind::Archive)) {
        if (!m_aborted)
            zv::showMessage(this, kArchiveFailedText, zv::MessageForm::OkExclamation);
        return;
    }
    // The signature is a few hundred bytes; the version file's size cap fits it.
    if (!DownloadFile(signatureAddress(m_serverAddress), signatureFile(), FileKind::VersionFile) && m_aborted) {
        dropDownloads();
        return;
    }
    const ArchiveVerdict verdict =
        checkArchive(archiveFile(), signatureFile(), trustedKeysFolder(), check.serverBuild, VersionNumber);
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
    if (!zv::seam().startProcess(QStringLiteral("/bin/sh"), {installScript()})) {
        dropDownloads();
        zv::showMessage(this, kScriptFailedText, zv::MessageForm::OkExclamation);
        return;
    }
    zv::seam().exitProcess(0);
}
