#pragma once

#include "core/Seam.h"
#include "core/backup/BackupRunner.h"
#include "core/session/BatchWriter.h"
#include "core/update/Downloader.h"
#include "core/update/EntryImport.h"
#include "gui/Language.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QProgressBar;
class VistaButton;

namespace zv {
class CatalogueSession;
}

// The update manager: fetches the current category's new entries, or a newer program build,
// from the server chosen in cmbServer. A click starts an action and returns; the transfers'
// signals carry it on from step to step while the window keeps reacting. Its buttons and server
// box are disabled meanwhile, and closing it stops the action and cleans up after it.
class frmUpdate
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    // Where an action stands; Idle between actions.
    enum class State {
        Idle,
        FetchingList,
        Asking, // a question of the action is open
        FetchingEntries,
        WritingEntries,
        Closing, // closed while entries are written: the window goes once they are in or taken back
        CheckingVersion,
        FetchingArchive,
        FetchingSignature,
        BackingUp, // the catalogue is backed up before the program update installs
    };

    // Updates the category the session shows (CurrentTable).
    explicit frmUpdate(zv::CatalogueSession &session, QWidget *owner = nullptr);
    ~frmUpdate() override;

    QList<Caption> languageCaptions() override;

    void Command1_Click();
    void VistaButton1_Click();
    State state() const { return m_state; }
    bool busy() const { return m_state != State::Idle; }

    // Working lists of the last catalogue action.
    const QStringList &List1() const { return m_list1; }
    const QStringList &List2() const { return m_list2; }

    // How long closing waits for entries being written before it takes them back. Tests shorten it.
    static void setCloseWait(int ms);

    void done(int result) override;

private:
    void Form_Load();
    void Form_Unload();
    void RemoveTEMP();
    int DownloadFile(const QString &from, const QString &to, zv::update::FileKind kind);

    // The transfer's signals.
    void onJobStarted(int id);
    void onArrived(int id, const QByteArray &bytes);
    void onFailed(int id, zv::update::TransferFailure why);
    void onFinished(int id, bool ok);
    void entryFinished(int id, bool ok);

    // The catalogue update, step by step.
    void listFetched(bool ok);
    void ToSpiskok();
    void CheckNewItems();
    void updbase();
    void feedEntries();
    void entryDone();
    void whenEntriesFetched();
    void adding();
    void entriesWritten(zv::BatchWriter::Outcome outcome, const QString &failure);
    void Whatsnew();

    // The program update, step by step.
    void versionFetched(bool ok);
    void archiveFetched(bool ok);
    void signatureFetched(bool ok);
    void backedUpBeforeInstall(const zv::backup::Outcome &outcome);
    void dropDownloads();

    // Asks through the seam; nothing when the window was closed meanwhile.
    std::optional<zv::MessageAnswer> ask(const QString &text);
    // Tells through the seam; false when the window is gone meanwhile.
    bool tell(const QString &text, zv::MessageForm form = zv::MessageForm::Ok);
    void setState(State state);
    // Ends the action where it stands: transfers stopped, what they fetched removed.
    void stopAction();
    void setStat(const QString &text);

    zv::CatalogueSession &m_session;
    QString m_table;
    QString m_serverAddress;
    QStringList m_list1;
    QStringList m_list2;
    State m_state = State::Idle;
    zv::update::Downloader *m_downloader;
    int m_job = 0;                 // the one transfer of a single-file step
    qint64 m_serverBuild = 0;      // the build the program update offers
    QHash<int, QString> m_pending; // entry transfers by id
    qsizetype m_next = 0;          // the first name of List2 not handed to the downloader yet
    int m_entriesDone = 0;
    QString m_skippedNote; // the status line's note on the last entry file left out
    zv::update::TransferFailure m_stoppedBy = zv::update::TransferFailure::None; // what ended the entries' transfers
    QStringList m_fetched;              // entry files this action wrote into tmp/base
    zv::update::ArrivedTexts m_arrived; // their texts, as they came
    QTimer m_feeder;
    QElapsedTimer m_statShown;
    QElapsedTimer m_barShown;
    std::unique_ptr<zv::BatchWriter> m_writer;
    std::shared_ptr<void> m_backgroundHold; // while an action runs, not while it asks
    std::unique_ptr<zv::backup::BackupRunner> m_backup;
    QTimer m_closeWait;

    QLabel *stat;
    QLabel *Label1;
    QComboBox *cmbServer;
    QLabel *Image1;
    VistaButton *Command1;
    VistaButton *VistaButton1;
    QProgressBar *prgEntries;
};
