#include "gui/windows/frmLogo.h"

#include "core/SharedState.h"
#include "gui/IconMdl.h"
#include "gui/WindowGeometry.h"

#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kHandOverMs = 1500;
}

frmLogo::frmLogo(std::function<void()> showMainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_showMainWindow(std::move(showMainWindow))
{
    setObjectName(QStringLiteral("frmLogo"));
    setAttribute(Qt::WA_DeleteOnClose);
    SetWindowIcon(this);
    zv::setWindowBackground(this);
    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("Zorvanell ") + ShortVersion, this);
    QFont font = title->font();
    font.setPointSize(24);
    font.setBold(true);
    title->setFont(font);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto *note = new QLabel(QStringLiteral("Заставка пока не готова, сейчас откроется главное окно."), this);
    note->setAlignment(Qt::AlignCenter);
    layout->addWidget(note);
    resize(420, 180);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QTimer::singleShot(kHandOverMs, this, &frmLogo::handOver);
}

void frmLogo::handOver()
{
    close();
    if (auto show = std::exchange(m_showMainWindow, nullptr))
        show();
}
