#pragma once

#include "gui/Language.h"

#include <QDialog>

class EventLabel;
class QGroupBox;
class QLabel;
class VistaButton;

// The about window: the logo, the version and build lines, the authors, four link icons that
// brighten under the pointer, the link for sending in an easter egg and the button that opens
// the credits. The logo hides a click game and a double-click joke.
class frmAbout
    : public QDialog
    , public LanguageAware
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *owner = nullptr);

    QList<Caption> languageCaptions() override;

    // The two clipboard lists of contacts (Image3 puts A there, Label10 puts B).
    static QString contactListA();
    static QString contactListB();
    // Where the logo stands now, in twips from the window's top.
    int logoTop() const { return m_logoTop; }

protected:
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    // Which controls a reset leaves alone: those whose own hover runs it.
    enum class Keep { Nothing, Web, Forum, Notice, Link };

    void createControls();
    void Form_Load();
    void GetSettingAbout();
    void reset(Keep keep = Keep::Nothing);
    void webHover();
    void mailHover();
    void contactsHover();
    void forumHover();
    void noticeHover();
    void linkHover();
    void Image1_Click();
    void Image1_DblClick();
    void VistaButton1_Click();
    void copyToClipboard(const QString &text);
    void placeLogo();
    // The picture of the spare Image5..Image14.
    QPixmap spare(int number) const;

    EventLabel *Image1 = nullptr;
    EventLabel *Label1 = nullptr;
    EventLabel *bd = nullptr;
    EventLabel *Label2 = nullptr;
    EventLabel *Label3 = nullptr;
    VistaButton *VistaButton1 = nullptr;
    EventLabel *cmdWeb = nullptr;
    EventLabel *Image2 = nullptr;
    EventLabel *Image3 = nullptr;
    EventLabel *Image4 = nullptr;
    EventLabel *Label5 = nullptr;
    EventLabel *Label9 = nullptr;
    EventLabel *Label10 = nullptr;
    EventLabel *Label11 = nullptr;
    EventLabel *Label8 = nullptr;
    EventLabel *Label4 = nullptr;
    QGroupBox *Frame1 = nullptr;
    EventLabel *Label6 = nullptr;
    // The spare pictures, never shown: Image5..Image14 (index 0 is Image5).
    QList<QLabel *> m_spares;

    int AboutClickCount = 0;
    int AboutReturnCount = 0;
    int m_logoTop = 120;
};
