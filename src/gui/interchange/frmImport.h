#pragma once

#include "core/interchange/ImportPlan.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QAction;

namespace zv {
class CatalogueSession;
class ImportWriter;
namespace interchange {
class ImportPreview;
}
} // namespace zv

// "Импорт": a JSON or CSV file chosen, its entries shown before anything is written (new, the
// same, different, with both texts of one that differs), the user's choice for those that
// differ, then the import as one change that Ctrl+Z takes back.
class frmImport : public QWidget
{
    Q_OBJECT

public:
    explicit frmImport(zv::CatalogueSession &session, QWidget *owner = nullptr);
    ~frmImport() override;

    void cmdChoose_Click();
    // Reads `path` on a thread and then shows what it would import, or why it is refused.
    void preview(const QString &path);
    bool reading() const { return m_preview != nullptr; }
    void cmdImport_Click();
    // Sets the choice of every entry that differs.
    void cmdAll_Click();
    bool running() const { return m_writer != nullptr; }

private:
    void previewFinished(const QString &failure);
    void showCurrent();
    void choiceChanged(int index);
    void importFinished(int written, const QString &failure, const QString &pictureFailure);
    void refreshRow(int row);

    zv::CatalogueSession &m_session;
    zv::interchange::ImportPlan m_plan;
    std::unique_ptr<zv::interchange::ImportPreview> m_preview;
    std::unique_ptr<zv::ImportWriter> m_writer;

    QPushButton *cmdChoose;
    QLabel *lblSummary;
    QTreeWidget *lstEntries;
    QPlainTextEdit *txtMine;
    QPlainTextEdit *txtTheirs;
    QComboBox *cboChoice;
    QPushButton *cmdAll;
    QProgressBar *prgImport;
    QPushButton *cmdImport;
    QPushButton *cmdClose;
};

// Ctrl+I, for `owner` to show where it opens the import window.
QAction *importWindowAction(QWidget *owner);
frmImport *openImportWindow(QWidget *owner, zv::CatalogueSession &session);
