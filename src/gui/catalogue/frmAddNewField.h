#pragma once

#include "gui/Language.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class VistaButton;

namespace zv {
class CatalogueSession;
}

// Adds entries to the category shown (CurrentTable), one after another, until closed.
class frmAddNewField
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    frmAddNewField(QWidget *owner, zv::CatalogueSession &session);

    void cmdAdd_Click();
    QList<Caption> languageCaptions() override;

    QLabel *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *Label2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPlainTextEdit *txtText = nullptr;
    VistaButton *cmdCancel = nullptr;
    VistaButton *cmdAdd = nullptr;

private:
    void GetSettingAddNew();

    zv::CatalogueSession &m_session;
};
