#pragma once

#include "core/audio/ModulePlayer.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QTimer;

// The full-screen roll of credits: white text on black rising from below the screen to
// above it and round again, with the credits tune playing. Any click or typed character
// closes it. Positions are kept in twips (15 to a pixel) so each step is exact.
class frmTitles : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kStep = 7;         // twips a tick
    static constexpr int kWrapMargin = 200; // twips above the top before the block starts again

    explicit frmTitles(QWidget *owner = nullptr);
    ~frmTitles() override;

    // One scroll step; tmrCast calls it every 10 ms.
    void tmrCast_Timer();

    // The block's place and the screen, in twips.
    int castTop() const { return m_castTop; }
    int castHeight() const { return m_castHeight; }
    int screenWidth() const { return m_screenWidth; }
    int screenHeight() const { return m_screenHeight; }
    // Puts the block's top at `twips` (the next tick moves on from there).
    void moveCast(int twips);

    void done(int result) override;

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();
    void placeCast();
    // A key closes the window when it types something; arrows, F-keys and modifiers type nothing.
    bool closesOnKey(const QKeyEvent *event) const;

    QFrame *fraCast;
    QLabel *lblCast;
    QPlainTextEdit *Text1;
    QTimer *tmrCast;

    zv::ModulePlayer m_player;
    int m_castTop = 0;
    int m_castHeight = 0;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    bool m_pressed = false;
};
