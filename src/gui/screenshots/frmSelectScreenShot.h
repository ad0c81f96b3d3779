#pragma once

#include "gui/Language.h"

#include <QDialog>

class QLabel;
class QListWidget;
class VistaButton;

namespace zv {
class CatalogueSession;
}

// Lists the pictures of the entry CurrentEntry; views the selected one, deletes one after asking.
class frmSelectScreenShot
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    frmSelectScreenShot(QWidget *owner, zv::CatalogueSession &session);

    // The file names File1 lists, in its order.
    QStringList pictures() const;

    void VistaButton1_Click();
    void VistaButton2_Click();
    QList<Caption> languageCaptions() override;

    QLabel *Label1 = nullptr;
    QListWidget *File1 = nullptr;
    VistaButton *VistaButton1 = nullptr;
    VistaButton *VistaButton2 = nullptr;
    VistaButton *VistaButton3 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillList();
    int selectedRow() const;

    zv::CatalogueSession &m_session;
};
