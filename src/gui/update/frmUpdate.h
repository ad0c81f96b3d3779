#pragma once

#include "core/update/Downloader.h"
#include "core/update/EntryImport.h"
#include "gui/Language.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QProgressBar;
class VistaButton;

namespace zv {
class CatalogueSession;
}

// The update manager: fetches the current category's new entries, or a newer program build,
// from the server chosen in cmbServer. Transfers run while the window keeps repainting; its
// buttons and server box are disabled meanwhile, and closing it stops them.
class frmUpdate
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    // Updates the category the session shows (CurrentTable).
    explicit frmUpdate(zv::CatalogueSession &session, QWidget *owner = nullptr);
    ~frmUpdate() override;

    QList<Caption> languageCaptions() override;

    void Command1_Click();
    void VistaButton1_Click();
    bool busy() const { return m_busy; }

    // Working lists of the last catalogue action.
    const QStringList &List1() const { return m_list1; }
    const QStringList &List2() const { return m_list2; }

    void done(int result) override;

private:
    void Form_Load();
    void Form_Unload();
    void RemoveTEMP();
    bool DownloadFile(const QString &from, const QString &to, zv::update::FileKind kind);
    void ToSpiskok();
    void CheckNewItems();
    void updbase();
    bool adding();
    void Whatsnew();

    void setStat(const QString &text);
    void setBusy(bool busy);

    zv::CatalogueSession &m_session;
    QString m_table;
    QString m_serverAddress;
    QStringList m_list1;
    QStringList m_list2;
    bool m_busy = false;
    bool m_aborted = false;
    bool m_adding = false;     // entries are being written; the window cannot close
    bool m_closing = false;    // the temporary files are being deleted on closing
    bool m_destroying = false; // nothing may wait for the event loop any more
    zv::update::Downloader *m_downloader;
    zv::update::ArrivedTexts m_arrived; // texts of the entry files fetched so far

    QLabel *stat;
    QLabel *Label1;
    QComboBox *cmbServer;
    QLabel *Image1;
    VistaButton *Command1;
    VistaButton *VistaButton1;
    QProgressBar *prgEntries;
};
