#include "gui/update/frmUpdate.h"

#include "core/Addresses.h"
#include "core/Files.h"
#include "core/TextCodec.h"
#include "core/session/CatalogueSession.h"
#include "core/store/Category.h"
#include "core/update/UpdateLayout.h"
#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/PlainLabel.h"
#include "gui/WindowGeometry.h"
#include "gui/controls/AccessibleControls.h"
#include "gui/controls/VistaButton.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>

#include <algorithm>
#include <utility>

using namespace zv::update;

namespace {

const QString kGreeting = QStringLiteral("Вас приветстует менеджер обновлений Zorvanell!");
int g_closeWaitMs = 2000;

// The status line after a failed update: the reason, when the transfer told one.
QString failedStat(zv::update::TransferFailure why)
{
    const QString reason = zv::update::failureReason(why);
    return reason.isEmpty() ? QStringLiteral("Ошибка обновления!")
                            : QStringLiteral("Ошибка обновления: ") + reason + QLatin1Char('.');
}

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
    zv::markDecorative(Image1);
    Label1->setBuddy(cmbServer);
    cmbServer->lineEdit()->setAccessibleName(Label1->text());

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

    connect(m_downloader, &Downloader::jobStarted, this, [this](int id, const DownloadJob &) { onJobStarted(id); });
    connect(m_downloader, &Downloader::arrived, this, &frmUpdate::onArrived);
    connect(m_downloader, &Downloader::failed, this, &frmUpdate::onFailed);
    connect(m_downloader, &Downloader::finished, this, &frmUpdate::onFinished);
    connect(&m_feeder, &QTimer::timeout, this, &frmUpdate::feedEntries);
    m_closeWait.setSingleShot(true);
    connect(&m_closeWait, &QTimer::timeout, this, [this] {
        if (m_writer)
            m_writer->cancel();
    });

    Form_Load();
}

frmUpdate::~frmUpdate()
{
    // Entries still being written are taken back, or stay stored whole if they were being committed.
    m_writer.reset();
    m_downloader->disconnect(this);
    Form_Unload();
}

void frmUpdate::setCloseWait(int ms)
{
    g_closeWaitMs = ms;
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
    // Entries being written land all together or not at all: they get a moment to land, then
    // they are taken back, and the window goes once the writer has said which it was.
    if (m_state == State::WritingEntries) {
        setState(State::Closing);
        m_closeWait.start(g_closeWaitMs);
    }
    if (m_state == State::Closing)
        return;
    Form_Unload();
    QDialog::done(result);
}

void frmUpdate::Form_Unload()
{
    stopAction();
    RemoveTEMP();
}

void frmUpdate::stopAction()
{
    const State was = m_state;
    setState(State::Idle);
    m_feeder.stop();
    // The stopped jobs are reported at once; their handlers find the action ended. Files the
    // transfers had moved in by then are reported as arrived: they are this action's to remove.
    const QHash<int, QString> pending = std::exchange(m_pending, {});
    const QMetaObject::Connection arrivedMeanwhile =
        connect(m_downloader, &Downloader::finished, this, [this, &pending](int id, bool ok) {
            if (ok && pending.contains(id))
                m_fetched << pending.value(id);
        });
    m_downloader->abortAll();
    disconnect(arrivedMeanwhile);
    prgEntries->hide();
    if (was == State::CheckingVersion)
        QFile::remove(versionFile());
    if (was == State::FetchingArchive || was == State::FetchingSignature)
        dropDownloads();
}

void frmUpdate::RemoveTEMP()
{
    removeTempFiles(m_fetched);
    m_fetched.clear();
    m_arrived.clear();
}

void frmUpdate::setState(State state)
{
    m_state = state;
    const bool idle = state == State::Idle;
    // The user's update goes first: the program's own background work waits meanwhile.
    if (idle || state == State::Asking)
        m_backgroundHold.reset();
    else if (!m_backgroundHold)
        m_backgroundHold = m_session.holdBackgroundWork();
    Command1->setEnabled(idle);
    VistaButton1->setEnabled(idle);
    cmbServer->setEnabled(idle);
}

void frmUpdate::setStat(const QString &text)
{
    stat->setText(text);
}

std::optional<zv::MessageAnswer> frmUpdate::ask(const QString &text)
{
    setState(State::Asking);
    const QPointer<frmUpdate> alive(this);
    const zv::MessageAnswer answer = zv::showMessage(this, text, zv::MessageForm::YesNoQuestion);
    if (!alive || m_state != State::Asking)
        return std::nullopt;
    return answer;
}

bool frmUpdate::tell(const QString &text, zv::MessageForm form)
{
    const QPointer<frmUpdate> alive(this);
    zv::showMessage(this, text, form);
    return alive;
}

int frmUpdate::DownloadFile(const QString &from, const QString &to, FileKind kind)
{
    // An address the transfer cannot take fails like any other transfer, reported later.
    return m_downloader->enqueue({toUrl(from), to, kind, QUrl()});
}

void frmUpdate::onJobStarted(int id)
{
    if (m_state != State::FetchingEntries)
        return;
    // Small files start by the thousand a second; the line changes as often as an eye can
    // follow, and redrawing it for every one would cost more than fetching it.
    const auto job = m_pending.constFind(id);
    if (job != m_pending.cend() && (!m_statShown.isValid() || m_statShown.elapsed() >= 50)) {
        setStat(QStringLiteral("Загружаю ") + *job);
        m_statShown.start();
    }
}

void frmUpdate::onArrived(int id, const QByteArray &bytes)
{
    // The texts are taken as they come, while the next files are still on their way.
    if (m_state != State::FetchingEntries)
        return;
    if (const auto job = m_pending.constFind(id); job != m_pending.cend())
        m_arrived.keep(*job, bytes);
}

void frmUpdate::onFailed(int id, TransferFailure why)
{
    if (m_state != State::FetchingEntries || !m_pending.contains(id))
        return;
    if (stopsUpdate(why)) {
        // The downloader fails the rest of this update's files with the same reason; no more are handed to it.
        if (m_stoppedBy == TransferFailure::None)
            m_stoppedBy = why;
        m_feeder.stop();
        m_next = m_list2.size();
        return;
    }
    // The reason stays in sight: a long name gives way in its middle.
    const int room = stat->width() - stat->fontMetrics().horizontalAdvance(skippedEntryText(QString(), why));
    const QString name = stat->fontMetrics().elidedText(m_pending.value(id), Qt::ElideMiddle, std::max(room, 0));
    if (const QString skipped = skippedEntryText(name, why); !skipped.isEmpty()) {
        m_skippedNote = skipped;
        setStat(skipped);
        m_statShown.start();
    }
}

void frmUpdate::onFinished(int id, bool ok)
{
    if (m_state == State::FetchingEntries) {
        entryFinished(id, ok);
        return;
    }
    if (id != m_job)
        return;
    switch (m_state) {
    case State::FetchingList:
        listFetched(ok);
        break;
    case State::CheckingVersion:
        versionFetched(ok);
        break;
    case State::FetchingArchive:
        archiveFetched(ok);
        break;
    case State::FetchingSignature:
        signatureFetched(ok);
        break;
    default:
        break;
    }
}

void frmUpdate::Command1_Click()
{
    if (busy())
        return;
    RemoveTEMP();
    m_stoppedBy = TransferFailure::None;
    m_skippedNote.clear();
    m_serverAddress = cmbServer->currentText();
    // Entry names may be any file name, so unfinished files go to a folder of their own.
    m_downloader->setPartFolder(tempPartFolder());
    setState(State::FetchingList);
    const bool folders = QDir().mkpath(tempBaseFolder());
    setStat(QStringLiteral("Загружаем список..."));
    if (!folders) {
        listFetched(false);
        return;
    }
    m_job = DownloadFile(listAddress(m_serverAddress, m_table), tempListFile(), FileKind::List);
}

void frmUpdate::listFetched(bool ok)
{
    if (!ok) {
        setState(State::Idle);
        const TransferFailure why = m_downloader->lastFailure();
        const QString bound = boundsText(why);
        const bool told =
            bound.isEmpty() ? tell(QStringLiteral("Произошла ошибка!")) : tell(bound, zv::MessageForm::OkExclamation);
        // The message stays the one users know; the status line says what went wrong.
        if (told)
            setStat(failedStat(why));
        return;
    }
    ToSpiskok();
    setStat(QStringLiteral("Проверяем наличие обновлений"));
    CheckNewItems();
    if (m_list2.isEmpty()) {
        setState(State::Idle);
        if (tell(QStringLiteral("У вас самая свежая база данных!"), zv::MessageForm::OkInformation))
            setStat(QStringLiteral("Обновлений нет."));
        return;
    }
    const auto answer =
        ask(QStringLiteral("Новых записей ") + QString::number(m_list2.size()) + QStringLiteral(", обновить?"));
    if (!answer)
        return;
    if (*answer != zv::MessageAnswer::Yes) {
        m_list1.clear();
        m_list2.clear();
        RemoveTEMP();
        setState(State::Idle);
        return;
    }
    updbase();
}

void frmUpdate::ToSpiskok()
{
    QFile list(tempListFile());
    m_list1.clear();
    if (zv::openRegularFile(list))
        m_list1 = parseList(zv::fromCp1251(list.readAll()));
}

void frmUpdate::CheckNewItems()
{
    m_list2 = newNames(m_list1, [this](const QString &name) { return m_session.containsName(name); });
}

void frmUpdate::updbase()
{
    setState(State::FetchingEntries);
    m_pending.clear();
    m_next = 0;
    m_entriesDone = 0;
    m_statShown.invalidate();
    m_barShown.invalidate();
    prgEntries->setRange(0, int(m_list2.size()));
    prgEntries->setValue(0);
    prgEntries->show();
    // The names are handed over a slice at a time from the event loop, so that thousands of
    // them never keep the window from reacting.
    m_feeder.start(0);
}

void frmUpdate::feedEntries()
{
    const QString base = tempBaseFolder();
    QElapsedTimer slice;
    slice.start();
    while (m_next < m_list2.size() && slice.elapsed() < 20) {
        const QString &name = m_list2.at(m_next++);
        // A name that cannot be a plain file of tmp/base fails like a missing file: nothing is written.
        const QUrl url = isPlainFileName(name) ? entryUrl(m_serverAddress, m_table, name) : QUrl();
        if (!url.isValid()) {
            entryDone();
            continue;
        }
        const QUrl fallback = entryUrlCp1251(m_serverAddress, m_table, name);
        DownloadJob job(url, base + QLatin1Char('/') + name, FileKind::Entry, fallback != url ? fallback : QUrl());
        job.keepBytes = true;
        m_pending.insert(m_downloader->enqueue(job), name);
    }
    if (m_next == m_list2.size()) {
        m_feeder.stop();
        whenEntriesFetched();
    }
}

void frmUpdate::entryFinished(int id, bool ok)
{
    const auto job = m_pending.constFind(id);
    if (job == m_pending.cend())
        return;
    if (ok)
        m_fetched << *job;
    m_pending.erase(job);
    entryDone();
    whenEntriesFetched();
}

void frmUpdate::entryDone()
{
    ++m_entriesDone;
    // The bar moves as often as an eye can follow, and shows the whole at the end.
    if (!m_barShown.isValid() || m_barShown.elapsed() >= 40) {
        prgEntries->setValue(m_entriesDone);
        m_barShown.start();
    }
}

void frmUpdate::whenEntriesFetched()
{
    if (m_next < m_list2.size() || !m_pending.isEmpty())
        return;
    prgEntries->setValue(m_entriesDone);
    prgEntries->hide();
    if (m_stoppedBy != TransferFailure::None) {
        // What did arrive is not added: the catalogue stays as it was.
        setState(State::Idle);
        RemoveTEMP();
        if (tell(failureText(m_stoppedBy), zv::MessageForm::OkExclamation))
            setStat(failedStat(m_stoppedBy));
        return;
    }
    setStat(QStringLiteral("Загрузка завершена."));
    adding();
}

void frmUpdate::adding()
{
    setState(State::WritingEntries);
    // Only the entry files this action fetched are added, in name order, whatever else lies in
    // tmp/base; a name listed twice arrived twice into the same file.
    QStringList files = m_fetched;
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    // The entries are written, and merged into a snapshot of the list's order, on a second
    // thread with a connection of its own, while this window keeps repainting.
    std::optional<zv::UpdateBatch> batch;
    try {
        // Opening the connection that writes may find the catalogue held by another program.
        batch = m_session.beginUpdateBatch();
    } catch (const zv::CatalogueError &e) {
        setState(State::Idle);
        if (tell(e.message(), zv::MessageForm::OkExclamation))
            setStat(QStringLiteral("Ошибка обновления!"));
        return;
    }
    m_writer = std::make_unique<zv::BatchWriter>(std::move(*batch), tempBaseFolder(), std::move(files),
                                                 std::exchange(m_arrived, ArrivedTexts()));
    connect(m_writer.get(), &zv::BatchWriter::adding, this,
            [this](const QString &name) { setStat(QStringLiteral("Добавляем ") + name); });
    connect(m_writer.get(), &zv::BatchWriter::finished, this, &frmUpdate::entriesWritten);
    m_writer->start();
}

void frmUpdate::entriesWritten(zv::BatchWriter::Outcome outcome, const QString &failure)
{
    const bool closing = m_state == State::Closing;
    m_closeWait.stop();
    // Called from the writer's own signal: it goes once that is over.
    zv::BatchWriter *writer = m_writer.release();
    writer->deleteLater();
    setState(State::Idle);
    if (outcome == zv::BatchWriter::Outcome::Cancelled) {
        Form_Unload();
        QDialog::done(QDialog::Rejected);
        return;
    }
    if (outcome == zv::BatchWriter::Outcome::Failed) {
        if (!tell(failure, zv::MessageForm::OkExclamation))
            return;
        setStat(QStringLiteral("Ошибка обновления!"));
        if (closing)
            close();
        return;
    }
    m_session.finishUpdateBatch(writer->takeBatch());
    // A backup skipped, and a file left out, are what the user should see behind the good news.
    if (!writer->backupNote().isEmpty())
        setStat(writer->backupNote());
    if (!m_skippedNote.isEmpty())
        setStat(m_skippedNote);
    if (!tell(QStringLiteral("База обновлена!")))
        return;
    m_session.announceUpdatedCount();
    close();
    Whatsnew();
}

void frmUpdate::Whatsnew()
{
    QWidget *owner = parentWidget();
    if (zv::showMessage(owner, QStringLiteral("Читать что нового? (будет выполнен переход на сайт)"),
                        zv::MessageForm::YesNoQuestion) == zv::MessageAnswer::Yes)
        OpenWithShell(whatsNewAddress(), 2, owner);
}
