#include "gui/controls/VistaButton.h"

#include "gui/controls/AccessibleControls.h"
#include "gui/controls/VbEvents.h"

#include <QAccessible>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int kFrameInterval = 100; // ms per animation frame
constexpr int kLeaveInterval = 10;  // ms between two looks at the pointer

} // namespace

VistaButton::VistaButton(QWidget *parent)
    : QWidget(parent)
{
    zv::installAccessibleControls();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    // Captions come from Language.ini as well: shown as they are.
    lbl = new QLabel(this);
    lbl->setTextFormat(Qt::PlainText);
    lbl->setText(QStringLiteral("Vista Button"));
    lbl->setObjectName(QStringLiteral("lbl"));
    lbl->setAlignment(Qt::AlignCenter);
    lbl->setAutoFillBackground(false);
    lbl->setMouseTracking(true);
    lbl->installEventFilter(this);

    MoveIn.setObjectName(QStringLiteral("MoveIn"));
    MoveIn.setInterval(kFrameInterval);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(kLeaveInterval);
    connect(&MoveIn, &QTimer::timeout, this, [this] {
        if (m_moveInOn)
            MoveIn_Timer();
    });
    connect(&Timer1, &QTimer::timeout, this, [this] {
        if (m_timer1On)
            Timer1_Timer();
    });
    m_pointer = [] { return QCursor::pos(); };
    // A new button is captioned with its own name until the host gives it a caption.
    connect(this, &QObject::objectNameChanged, this, [this](const QString &name) {
        if (!m_captionSet) {
            setCaption(name);
            m_captionSet = false;
        }
    });

    m_font = QWidget::font();
    refreshFaces();
    lbl->adjustSize();
    applyEnabledLook();
    UserControl_Resize();
}

VistaButton::~VistaButton() = default;

QString VistaButton::Caption() const
{
    return lbl->text();
}

void VistaButton::setCaption(const QString &caption)
{
    m_captionSet = true;
    const bool changed = lbl->text() != caption;
    lbl->setText(caption);
    lbl->adjustSize();
    UserControl_Resize();
    if (changed) {
        // The caption is the button's name to a screen reader.
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

bool VistaButton::Enabled() const
{
    return isEnabled();
}

void VistaButton::setEnabled(bool enabled)
{
    const bool before = isEnabled();
    QWidget::setEnabled(enabled);
    // A real change already redrew through changeEvent; setting the same state redraws too.
    if (isEnabled() == before)
        applyEnabledLook();
}

QFont VistaButton::Font() const
{
    return m_font;
}

void VistaButton::setFont(const QFont &font)
{
    QWidget::setFont(font);
    m_font = font; // the object the host gave, kept as it is
    lbl->setFont(font);
    lbl->adjustSize();
    UserControl_Resize();
}

void VistaButton::click()
{
    if (isEnabled())
        emit Click();
}

void VistaButton::setManualTime(bool manual)
{
    m_manualTime = manual;
    if (manual) {
        MoveIn.stop();
        Timer1.stop();
        return;
    }
    if (m_moveInOn)
        MoveIn.start();
    if (m_timer1On)
        Timer1.start();
}

bool VistaButton::advanceAnimation()
{
    if (!m_moveInOn)
        return false;
    MoveIn_Timer();
    return true;
}

bool VistaButton::advanceLeaveWatcher()
{
    if (!m_timer1On)
        return false;
    Timer1_Timer();
    return true;
}

void VistaButton::setPointerSource(std::function<QPoint()> globalPosition)
{
    m_pointer = globalPosition ? std::move(globalPosition) : [] { return QCursor::pos(); };
}

QImage VistaButton::picture(Picture which) const
{
    const int i = std::clamp(which.index, 0, which.set == Picture::Pc ? 3 : zv::vista::kFrameCount - 1);
    switch (which.set) {
    case Picture::Moves:
        return m_faces->moves[i];
    case Picture::Downs:
        return m_faces->downs[i];
    case Picture::Pc:
        break;
    }
    return m_faces->pc[i];
}

void VistaButton::paintEvent(QPaintEvent *)
{
    const qreal dpr = devicePixelRatioF();
    const QSize deviceSize(qRound(width() * dpr), qRound(height() * dpr));
    if (m_surfaceStale || m_surface.size() != deviceSize || m_surface.devicePixelRatio() != dpr) {
        // Whole device pixels per picture pixel keep the border and corners sharp.
        const int scale = std::max(1, qRound(dpr));
        m_surface = zv::vista::nineSlice(picture(m_shown), deviceSize, scale);
        m_surface.setDevicePixelRatio(dpr);
        m_surfaceStale = false;
    }
    {
        QPainter painter(this);
        painter.drawImage(QPointF(0, 0), m_surface);
    }
    m_focusMark.paint(this);
}

void VistaButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void VistaButton::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    DrawRestingFace();
}

void VistaButton::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
        applyEnabledLook();
        break;
    case QEvent::FontChange:
        // Also reached when the host changes the font through QWidget.
        m_font = QWidget::font();
        lbl->setFont(m_font);
        lbl->adjustSize();
        UserControl_Resize();
        break;
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
        refreshFaces();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void VistaButton::mousePressEvent(QMouseEvent *event)
{
    handleMouse(event, event->position());
}

void VistaButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    handleMouse(event, event->position());
}

void VistaButton::mouseMoveEvent(QMouseEvent *event)
{
    handleMouse(event, event->position());
}

void VistaButton::mouseReleaseEvent(QMouseEvent *event)
{
    handleMouse(event, event->position());
}

void VistaButton::keyPressEvent(QKeyEvent *event)
{
    emit KeyDown(zv::vb::keyCode(event), zv::vb::shiftCode(event->modifiers()));
    if (const int ascii = zv::vb::keyAscii(event))
        emit KeyPress(ascii);
    // Keys are passed on to the host; Space and Enter also press the focused button, so that the
    // keyboard alone can work every window.
    if (zv::isPressKey(event)) {
        event->accept();
        showFocusMarkForKeyboard();
        click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void VistaButton::keyReleaseEvent(QKeyEvent *event)
{
    if (!event->isAutoRepeat())
        emit KeyUp(zv::vb::keyCode(event), zv::vb::shiftCode(event->modifiers()));
    QWidget::keyReleaseEvent(event);
}

void VistaButton::focusInEvent(QFocusEvent *event)
{
    m_focusMark.focusIn(event->reason());
    update();
    QWidget::focusInEvent(event);
}

void VistaButton::focusOutEvent(QFocusEvent *event)
{
    m_focusMark.focusOut();
    update();
    QWidget::focusOutEvent(event);
}

void VistaButton::showFocusMarkForKeyboard()
{
    if (!m_focusMark.shown(this)) {
        m_focusMark.keyUsed();
        update();
    }
}

bool VistaButton::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lbl) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease: {
            // The label hands its mouse input over unchanged, in its own coordinates.
            auto *mouse = static_cast<QMouseEvent *>(event);
            handleMouse(mouse, mouse->position());
            return true;
        }
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool VistaButton::handleMouse(QMouseEvent *event, QPointF position)
{
    // A disabled control takes no pointer input, even through its label.
    if (!isEnabled())
        return false;
    const int shift = zv::vb::shiftCode(event->modifiers());
    const auto x = static_cast<float>(position.x());
    const auto y = static_cast<float>(position.y());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const int button = zv::vb::buttonCode(event->button());
        // The second press of a double click shows the pressed face but brings no second Click.
        if (button == 1)
            m_clickPending = event->type() == QEvent::MouseButtonPress;
        UserControl_MouseDown(button, shift, x, y);
        break;
    }
    case QEvent::MouseMove:
        UserControl_MouseMove(zv::vb::buttonsCode(event->buttons()), shift, x, y);
        break;
    case QEvent::MouseButtonRelease: {
        const int button = zv::vb::buttonCode(event->button());
        UserControl_MouseUp(button, shift, x, y);
        if (button == 1 && m_clickPending) {
            m_clickPending = false;
            if (rect().contains(mapFromGlobal(event->globalPosition()).toPoint()))
                emit Click();
        }
        break;
    }
    default:
        return false;
    }
    return true;
}

void VistaButton::UserControl_MouseMove(int button, int shift, float x, float y)
{
    startTimer1();
    if (x < 0 || x > width() || y < 0 || y > height())
        return; // outside while the control holds the mouse
    emit MouseMove(button, shift, x, y);
    if (button == 1) {
        DrawFace({Picture::Pc, zv::vista::Pressed});
    } else if (!Hovered) {
        Hovered = true;
        FrameIndex = 0;
        UseReleaseFrames = false;
        PlayForward = true;
        startMoveIn();
    }
}

void VistaButton::UserControl_MouseDown(int button, int shift, float x, float y)
{
    if (button != 1)
        return;
    emit MouseDown(button, shift, x, y);
    if (m_moveInOn)
        stopMoveIn();
    DrawFace({Picture::Pc, zv::vista::Pressed});
}

void VistaButton::UserControl_MouseUp(int button, int shift, float x, float y)
{
    if (button != 1)
        return;
    emit MouseUp(button, shift, x, y);
    if (m_moveInOn) {
        UseReleaseFrames = false;
        stopMoveIn();
        DrawFace({Picture::Pc, zv::vista::Hover});
    } else {
        UseReleaseFrames = true;
        PlayForward = true;
        FrameIndex = 0;
        startMoveIn();
    }
}

void VistaButton::Timer1_Timer()
{
    const QPoint p = mapFromGlobal(m_pointer());
    if (p.x() < 0 || p.y() < 0 || p.x() > width() || p.y() > height()) {
        stopTimer1();
        emit MouseOut();
        Hovered = false;
        UseReleaseFrames = false;
        FrameIndex = 4;
        PlayForward = false;
        startMoveIn();
    }
}

void VistaButton::MoveIn_Timer()
{
    if (FrameIndex < 0 || FrameIndex >= zv::vista::kFrameCount) {
        stopMoveIn();
        return;
    }
    DrawFace({UseReleaseFrames ? Picture::Downs : Picture::Moves, FrameIndex});
    FrameIndex += PlayForward ? 1 : -1;
    if (FrameIndex == zv::vista::kFrameCount || FrameIndex == -1) {
        UseReleaseFrames = false;
        stopMoveIn();
    }
}

void VistaButton::UserControl_Resize()
{
    DrawRestingFace();
    lbl->move((width() - lbl->width()) / 2, (height() - lbl->height()) / 2);
}

void VistaButton::DrawFace(Picture picture)
{
    m_shown = picture;
    m_surfaceStale = true;
    update();
}

void VistaButton::DrawRestingFace()
{
    DrawFace({Picture::Pc, isEnabled() ? zv::vista::Normal : zv::vista::Disabled});
}

void VistaButton::applyEnabledLook()
{
    DrawRestingFace();
    QPalette pal = lbl->palette();
    pal.setColor(QPalette::WindowText, isEnabled() ? QColor(0, 0, 0) : QColor(161, 161, 146));
    lbl->setPalette(pal);
}

void VistaButton::startMoveIn()
{
    m_moveInOn = true;
    if (!m_manualTime && !MoveIn.isActive())
        MoveIn.start();
}

void VistaButton::stopMoveIn()
{
    m_moveInOn = false;
    MoveIn.stop();
}

void VistaButton::startTimer1()
{
    m_timer1On = true;
    if (!m_manualTime && !Timer1.isActive())
        Timer1.start();
}

void VistaButton::stopTimer1()
{
    m_timer1On = false;
    Timer1.stop();
}

void VistaButton::refreshFaces()
{
    // The rounded corners show what is behind the button.
    const QWidget *host = parentWidget();
    const QColor behind = host ? host->palette().color(host->backgroundRole()) : palette().color(QPalette::Window);
    m_faces = zv::vista::faceSet(behind);
    m_surfaceStale = true;
    update();
}
