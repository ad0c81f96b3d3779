#pragma once

#include "gui/Language.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class VistaButton;
class frmMain;

// Changes the name and text of the entry selected in the main window, then closes.
class frmEditItem
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    explicit frmEditItem(frmMain *main);

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

    frmMain *m_main;
    QString m_selected; // the name selected in the main list when the window opened
};
