#include "gui/windows/frmTitles.h"

#include "gui/APIandFunc.h"
#include "gui/WindowGeometry.h"

#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

namespace {

const QString kCredits = QStringLiteral("ZORVANELL\r\n"
                                        "Каталог пасхалок\r\n"
                                        "\r\n"
                                        "\r\n"
                                        "Программирование\r\n"
                                        "Команда Zorvanell\r\n"
                                        "\r\n"
                                        "Графика и оформление\r\n"
                                        "Команда Zorvanell\r\n"
                                        "\r\n"
                                        "Музыка\r\n"
                                        "Команда Zorvanell\r\n"
                                        "Мелодию и все её звуки сочинила наша маленькая программа\r\n"
                                        "\r\n"
                                        "Тексты и описания пасхалок\r\n"
                                        "Команда Zorvanell\r\n"
                                        "\r\n"
                                        "\r\n"
                                        "Спасибо библиотекам, на которых держится программа:\r\n"
                                        "\r\n"
                                        "Qt - окна, сеть, печать и звук\r\n"
                                        "SQLite - каталог пасхалок\r\n"
                                        "libopenmpt - трекерная музыка этих титров\r\n"
                                        "PulseAudio - вывод звука\r\n"
                                        "FreeType и Fontconfig - шрифты\r\n"
                                        "zlib - сжатие данных\r\n"
                                        "\r\n"
                                        "\r\n"
                                        "Спасибо всем, кто находит пасхалки и делится ими.\r\n"
                                        "\r\n"
                                        "Ищите пасхалки везде: разработчики прячут их там, где их никто не ждёт.\r\n"
                                        "\r\n"
                                        "\r\n"
                                        "Щёлкните мышью или нажмите любую клавишу, чтобы вернуться.");

void paint(QWidget *widget, const QColor &background, const QColor &text = Qt::white)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

frmTitles::frmTitles(QWidget *owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
    , fraCast(new QFrame(this))
    , lblCast(new QLabel(fraCast))
    , Text1(new QPlainTextEdit(fraCast))
    , tmrCast(new QTimer(this))
{
    setObjectName(QStringLiteral("frmTitles"));
    setWindowTitle(QStringLiteral("О программе"));
    setModal(true);
    paint(this, Qt::black);
    setFocusPolicy(Qt::StrongFocus);

    fraCast->setObjectName(QStringLiteral("fraCast"));
    fraCast->setFrameShape(QFrame::NoFrame);
    paint(fraCast, QColor(6, 0, 0));

    lblCast->setObjectName(QStringLiteral("lblCast"));
    lblCast->setTextFormat(Qt::PlainText);
    paint(lblCast, Qt::black, Qt::white);
    lblCast->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblCast->setWordWrap(true);
    QFont font(QStringLiteral("Courier New"), 18, QFont::Bold);
    font.setStyleHint(QFont::TypeWriter);
    lblCast->setFont(font);
    lblCast->setText(QStringLiteral("Титры"));

    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setPlainText(kCredits);
    Text1->hide();

    tmrCast->setObjectName(QStringLiteral("tmrCast"));
    tmrCast->setInterval(10);
    tmrCast->setTimerType(Qt::PreciseTimer);
    connect(tmrCast, &QTimer::timeout, this, &frmTitles::tmrCast_Timer);

    Form_Load();
    tmrCast->start();
}

frmTitles::~frmTitles() = default;

void frmTitles::Form_Load()
{
    m_player.start();
    lblCast->move(0, 0);
    SetTopmost(this);
    lblCast->setText(Text1->toPlainText());

    const QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 800, 600);
    setGeometry(area);
    setWindowState(Qt::WindowFullScreen);
    m_screenWidth = area.width() * zv::kTwipsPerPixel;
    m_screenHeight = area.height() * zv::kTwipsPerPixel;

    // The label wraps its text to the screen's width and is as tall as the text needs.
    const int widthPx = zv::twips(m_screenWidth);
    lblCast->setGeometry(0, 0, widthPx, lblCast->heightForWidth(widthPx));
    m_castHeight = lblCast->height() * zv::kTwipsPerPixel;
    m_castTop = m_screenHeight; // just below the bottom edge
    placeCast();
}

void frmTitles::Form_Unload()
{
    tmrCast->stop();
    m_player.stop();
}

void frmTitles::tmrCast_Timer()
{
    m_castTop -= kStep;
    if (static_cast<float>(m_castTop + m_castHeight) < -static_cast<float>(kWrapMargin))
        m_castTop = m_screenHeight;
    placeCast();
}

void frmTitles::moveCast(int twips)
{
    m_castTop = twips;
    placeCast();
}

void frmTitles::placeCast()
{
    fraCast->setGeometry(0, zv::twipsFloor(m_castTop), zv::twips(m_screenWidth), zv::twips(m_castHeight));
}

void frmTitles::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

bool frmTitles::closesOnKey(const QKeyEvent *event) const
{
    const QString text = event->text();
    return !text.isEmpty() && text != QStringView(u"\x7f") && event->key() != Qt::Key_Delete;
}

bool frmTitles::event(QEvent *event)
{
    // Ahead of the dialog's own key handling, so that Esc, Enter and Tab close it too.
    if (event->type() == QEvent::KeyPress) {
        if (closesOnKey(static_cast<QKeyEvent *>(event)))
            reject();
        return true;
    }
    return QDialog::event(event);
}

void frmTitles::mousePressEvent(QMouseEvent *event)
{
    m_pressed = true;
    event->accept();
}

void frmTitles::mouseReleaseEvent(QMouseEvent *event)
{
    // A click is a press and a release here; a release left over from the click that opened us is not.
    if (m_pressed)
        reject();
    m_pressed = false;
    event->accept();
}
