#pragma once

#include "gui/Language.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QScrollBar;
class VistaButton;

// The options window: opacity, run counter, splash, topmost and, once the alternative caption
// set is active, the language. Every change is written to the settings at once; the look is
// applied at once to this window and the main window. "OK" only closes it.
class frmOptions
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    // What the options window changes in the main window besides its settings.
    struct MainWindowLink
    {
        QWidget *window = nullptr;
        std::function<void(bool)> showRunCounter;
    };

    explicit frmOptions(MainWindowLink main);

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

    QPointer<QWidget> m_mainWindow;
    std::function<void(bool)> m_showRunCounter;
};
