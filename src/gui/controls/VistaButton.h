#pragma once

#include "gui/controls/FocusMark.h"
#include "gui/controls/VistaFaces.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;

// The program's own push button: a glass face painted from small pictures by nine-slice
// scaling, a centred caption, and short animations when the pointer enters, leaves and
// releases. It notices by itself that the pointer has left (a 10 ms watcher) and reports
// that as MouseOut.
class VistaButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(QFont Font READ Font WRITE setFont)

public:
    // Which picture the surface shows; index is the face number for Pc, the frame number otherwise.
    struct Picture
    {
        enum Set { Pc, Moves, Downs };
        Set set = Pc;
        int index = 0;
        bool operator==(const Picture &) const = default;
    };

    explicit VistaButton(QWidget *parent = nullptr);
    ~VistaButton() override;

    QString Caption() const;
    void setCaption(const QString &caption);
    bool Enabled() const;
    // Also reached through QWidget::setEnabled; this one redraws the resting face even when the
    // state does not change.
    void setEnabled(bool enabled);
    QFont Font() const;
    void setFont(const QFont &font);

    // What a click does, for the keyboard (Space, Enter) and assistive technology: raises Click
    // when the control is enabled. The face does not change.
    Q_INVOKABLE void click();
    bool showsPressedFace() const { return m_shown == Picture{Picture::Pc, zv::vista::Pressed}; }
    bool showsFocusMark() const { return m_focusMark.shown(this); }

    // Hooks for tests and the states demo, so that time and the pointer can be stepped by hand.
    // With manual time the two timers never fire on their own; advance...() runs one tick.
    void setManualTime(bool manual);
    bool advanceAnimation();    // one tick of the 100 ms frame timer; false when no run is active
    bool advanceLeaveWatcher(); // one tick of the 10 ms leave watcher; false when it is off
    bool animationRunning() const { return m_moveInOn; }
    bool leaveWatcherRunning() const { return m_timer1On; }
    // Where the leave watcher reads the pointer, in global coordinates (QCursor::pos by default).
    void setPointerSource(std::function<QPoint()> globalPosition);
    Picture shownPicture() const { return m_shown; }
    // The picture as an 18 x 21 image, with the corners for this button's background.
    QImage picture(Picture which) const;

signals:
    void Click();
    void KeyDown(int keyCode, int shift);
    void KeyPress(int keyAscii);
    void KeyUp(int keyCode, int shift);
    void MouseOut();
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);
    void MouseUp(int button, int shift, float x, float y);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void UserControl_MouseMove(int button, int shift, float x, float y);
    void UserControl_MouseDown(int button, int shift, float x, float y);
    void UserControl_MouseUp(int button, int shift, float x, float y);
    void Timer1_Timer();
    void MoveIn_Timer();
    void UserControl_Resize();

    // Mouse input of the control or its label; `position` is in the receiver's own coordinates.
    bool handleMouse(QMouseEvent *event, QPointF position);
    void DrawFace(Picture picture);
    void DrawRestingFace();
    void applyEnabledLook();
    void startMoveIn();
    void stopMoveIn();
    void startTimer1();
    void stopTimer1();
    void refreshFaces();
    void showFocusMarkForKeyboard();

    QLabel *lbl = nullptr;
    QTimer MoveIn;
    QTimer Timer1;
    bool m_moveInOn = false;
    bool m_timer1On = false;
    bool m_manualTime = false;
    std::function<QPoint()> m_pointer;

    qint16 FrameIndex = 0;
    bool PlayForward = false;
    bool UseReleaseFrames = false;
    bool Hovered = false;

    QFont m_font;
    bool m_captionSet = false;
    bool m_clickPending = false; // a left press on the control or label waits for its release
    Picture m_shown;
    std::shared_ptr<const zv::vista::FaceSet> m_faces;
    QImage m_surface; // what was drawn last, in device pixels
    bool m_surfaceStale = true;
    zv::FocusMark m_focusMark;
};
