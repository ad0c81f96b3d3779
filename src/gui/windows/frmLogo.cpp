#include "gui/windows/frmLogo.h"

#include "gui/APIandFunc.h"
#include "gui/IconMdl.h"
#include "gui/WindowGeometry.h"
#include "gui/controls/EventLabel.h"
#include "gui/windows/SingleWindow.h"
#include "gui/windows/frmLogo2.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

frmLogo::frmLogo(std::function<void()> showMainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_showMainWindow(std::move(showMainWindow))
{
    setObjectName(QStringLiteral("frmLogo"));
    setWindowTitle(QStringLiteral("Zorvanell"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The window's own picture lies under Image1 and is covered by it.
    QPalette palette = this->palette();
    palette.setBrush(QPalette::Window, QPixmap(QStringLiteral(":/pictures/splash-back.png")));
    setPalette(palette);
    setAutoFillBackground(true);

    Image1 = zv::placed(new EventLabel(this), QStringLiteral("Image1"), 0, 0, kFullWidth, kFullHeight);
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/splash-front.png")));
    // The hot spot lies above the picture, over the eggs, so that it can be clicked at all.
    Label1 = zv::placed(new EventLabel(this), QStringLiteral("Label1"), 1920, 840, 2415, 1455);
    Label1->raise();
    connect(Image1, &EventLabel::Click, this, &frmLogo::handOver);
    connect(Label1, &EventLabel::Click, this, &frmLogo::Label1_Click);
    Image1->setClickable(QStringLiteral("Заставка Zorvanell"));
    Label1->setClickable(QStringLiteral("Пасхальные яйца"));

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(10);
    Timer1.setTimerType(Qt::PreciseTimer);
    connect(&Timer1, &QTimer::timeout, this, &frmLogo::Timer1_Timer);
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer2.setInterval(100);
    connect(&Timer2, &QTimer::timeout, this, &frmLogo::Timer2_Timer);

    Form_Load();
    m_timer1On = true;
    Timer1.start();
}

frmLogo::~frmLogo() = default;

void frmLogo::Form_Load()
{
    SetWindowIcon(this, QStringLiteral("AAA"), true);
    m_width = 0;
    m_height = 0;
    place();
    GetSettingLogo();
}

void frmLogo::GetSettingLogo()
{
    ApplyWindowSettings(this);
}

void frmLogo::setManualTime(bool manual)
{
    m_manualTime = manual;
    if (manual) {
        Timer1.stop();
        Timer2.stop();
        return;
    }
    if (m_timer1On)
        Timer1.start();
    if (m_timer2On)
        Timer2.start();
}

void frmLogo::Timer1_Timer()
{
    // The window keeps whole pixels, so a step of 250 twips grows it by 16 pixels (240 twips).
    if (m_width != kFullWidth)
        m_width = zv::twips(m_width + kWidthStep) * zv::kTwipsPerPixel;
    if (m_height != kFullHeight)
        m_height = zv::twips(m_height + kHeightStep) * zv::kTwipsPerPixel;
    place();
    if (m_width == kFullWidth && m_height == kFullHeight)
        startTimer2();
}

void frmLogo::startTimer2()
{
    m_timer2On = true;
    if (!m_manualTime && !Timer2.isActive())
        Timer2.start();
}

void frmLogo::Timer2_Timer()
{
    handOver();
}

void frmLogo::place()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 800, 600);
    const int screenWidth = area.width() * zv::kTwipsPerPixel;
    const int screenHeight = area.height() * zv::kTwipsPerPixel;
    const int left = screenWidth / 2 - m_width / 2;
    const int top = screenHeight / 2 - m_height / 2;
    // A window of no size cannot be shown; until the first step it is a single pixel.
    setGeometry(area.x() + zv::twips(left), area.y() + zv::twips(top), std::max(1, zv::twips(m_width)),
                std::max(1, zv::twips(m_height)));
}

void frmLogo::handOver()
{
    m_timer1On = false;
    m_timer2On = false;
    Timer1.stop();
    Timer2.stop();
    close();
    if (auto show = std::exchange(m_showMainWindow, nullptr))
        show();
}

void frmLogo::Label1_Click()
{
    // A window of its own: it stays when the splash has gone. The search word "logo" shows the same one.
    zv::showSingle<frmLogo2>();
}
