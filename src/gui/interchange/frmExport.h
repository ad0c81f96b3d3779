#pragma once

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QAction;

namespace zv {
class CatalogueSession;
namespace interchange {
class ExportJob;
struct ExportResult;
} // namespace interchange
} // namespace zv

// "Экспорт": the selected entry, the category shown or the whole catalogue, with or without
// pictures, as web pages, Markdown, CSV or JSON, into a new folder; a progress bar and "Отмена".
class frmExport : public QWidget
{
    Q_OBJECT

public:
    explicit frmExport(zv::CatalogueSession &session, QWidget *owner = nullptr);
    ~frmExport() override;

    void cmdExport_Click();
    void cmdCancel_Click();
    bool running() const { return m_job != nullptr; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The choices follow what the main window shows: an entry only when one is selected.
    void updateChoices();
    void exportFinished(const zv::interchange::ExportResult &result, const QString &target);
    void setBusy(bool busy);

    zv::CatalogueSession &m_session;
    std::unique_ptr<zv::interchange::ExportJob> m_job;

    QRadioButton *optEntry;
    QRadioButton *optCategory;
    QRadioButton *optCatalogue;
    QCheckBox *chkPictures;
    QComboBox *cboFormat;
    QProgressBar *prgExport;
    QLabel *lblStatus;
    QPushButton *cmdExport;
    QPushButton *cmdCancel;
    QPushButton *cmdClose;
};

// Ctrl+Shift+E (the search box takes Ctrl+E to the end of its line), for `owner` to show where
// it opens the export window.
QAction *exportWindowAction(QWidget *owner);
frmExport *openExportWindow(QWidget *owner, zv::CatalogueSession &session);
