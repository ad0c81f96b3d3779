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

// Changes the name and text of the entry selected in the list, then closes.
class frmEditItem
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    frmEditItem(QWidget *owner, zv::CatalogueSession &session);

    void VistaButton1_Click();
    QList<Caption> languageCaptions() override;

    QLabel *Label1 = nullptr;
    QLineEdit *txtName = nullptr;
    QCheckBox *Check1 = nullptr;
    QPlainTextEdit *txtText = nullptr;
    VistaButton *VistaButton2 = nullptr;
    VistaButton *VistaButton1 = nullptr;

private:
    void GetSettingEdit();

    zv::CatalogueSession &m_session;
    QString m_selected;          // the name selected in the list when the window opened
    qint64 m_selectedRowId = -1; // its record
    QString m_loaded;            // its stored text then
};
