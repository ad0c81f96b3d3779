#pragma once

#include "gui/Language.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class VistaButton;

// The options window: opacity, run counter, splash, topmost and, once the alternative caption
// set is active, the language. Every change is written to the settings at once and applied at
// once to this window; the main window follows the settings written (zv::settingsEvents()).
// "OK" only closes it.
class frmOptions
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    explicit frmOptions(QWidget *owner);

    QList<Caption> languageCaptions() override;

private:
    void createControls();
    void Form_Load();
    void chkOnTop_Click();
    void chkRunsCount_Click();
    void chkSplash_Click();
    void Check1_Click();
    void Taskkill_c_Click();
    void HScroll1_Change();
    void Text1_Change();
    void Combo1_Click();

    QLabel *Label1 = nullptr;
    QScrollBar *HScroll1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QCheckBox *chkRunsCount = nullptr;
    QCheckBox *chkSplash = nullptr;
    QCheckBox *chkOnTop = nullptr;
    VistaButton *VistaButton3 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *Combo1 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Taskkill_c = nullptr;
};
