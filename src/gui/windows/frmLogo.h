#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

class EventLabel;

// The splash window: a borderless picture that grows from nothing to 400 x 200 pixels in the
// middle of the screen, then closes and hands over to the main window. A click on the picture
// skips the rest; a hidden hot spot on the eggs opens the first logo window. Sizes are kept in
// twips (15 to a pixel), as the window was designed.
class frmLogo : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kFullWidth = 6000; // twips
    static constexpr int kFullHeight = 3000;
    static constexpr int kWidthStep = 250; // twips a tick
    static constexpr int kHeightStep = 150;

    // `showMainWindow` is called once, when the splash closes; the splash knows nothing else of it.
    explicit frmLogo(std::function<void()> showMainWindow, QWidget *parent = nullptr);
    ~frmLogo() override;

    // One step of the growth (Timer1, every 10 ms) and the close once grown (Timer2, 100 ms later).
    void Timer1_Timer();
    void Timer2_Timer();
    // Closes the splash and shows the main window; later calls do nothing.
    void handOver();

    // With manual time the timers never fire on their own; a test or a tool steps them.
    void setManualTime(bool manual);
    bool timer1Running() const { return m_timer1On; }
    bool timer2Running() const { return m_timer2On; }
    int widthTwips() const { return m_width; }
    int heightTwips() const { return m_height; }

private:
    void Form_Load();
    void GetSettingLogo();
    void Label1_Click();
    void place();
    void startTimer2();

    EventLabel *Image1 = nullptr;
    EventLabel *Label1 = nullptr;
    QTimer Timer1;
    QTimer Timer2;
    bool m_timer1On = false;
    bool m_timer2On = false;
    bool m_manualTime = false;
    int m_width = 0;
    int m_height = 0;
    std::function<void()> m_showMainWindow;
};
