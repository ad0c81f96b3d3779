#include "frmLogo.h"

#include "catalogue/frmMain.h"
#include "core/IconMdl.h"
#include "core/SharedState.h"

#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kHandOverMs = 1500;
}

frmLogo::frmLogo(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmLogo"));
    setAttribute(Qt::WA_DeleteOnClose);
    SetWindowIcon(this);
    setStyleSheet(QStringLiteral("background: rgb(240, 238, 224);"));
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
    (new frmMain)->show();
    close();
}
