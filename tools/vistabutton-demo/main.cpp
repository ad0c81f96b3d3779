// Four buttons held in the four states (normal, hover, pressed, disabled) through the
// button's test hooks, so that the faces can be looked at and photographed.
#include "gui/controls/VistaButton.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

namespace {

void sendMouse(VistaButton *button, QEvent::Type type, Qt::MouseButton which, Qt::MouseButtons held)
{
    const QPointF local(10, 10);
    QMouseEvent event(type, local, button->mapToGlobal(local), which, held, Qt::NoModifier);
    QApplication::sendEvent(button, &event);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("VistaButton"));
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(240, 238, 224));
    window.setPalette(pal);
    window.setAutoFillBackground(true);

    auto *grid = new QGridLayout(&window);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(12);
    const QStringList states{QStringLiteral("обычная"), QStringLiteral("под указателем"), QStringLiteral("нажата"),
                             QStringLiteral("недоступна")};
    QList<VistaButton *> buttons;
    for (int i = 0; i < states.size(); ++i) {
        auto *button = new VistaButton(&window);
        button->setObjectName(QStringLiteral("VistaButton%1").arg(i + 1));
        button->setCaption(QStringLiteral("Сохранить"));
        button->setFixedSize(100, 25);
        // Time and the pointer stand still, so each button keeps the state it is put in.
        button->setManualTime(true);
        button->setPointerSource([button] { return button->mapToGlobal(QPoint(10, 10)); });
        grid->addWidget(button, 0, i);
        auto *caption = new QLabel(states.at(i), &window);
        caption->setAlignment(Qt::AlignHCenter);
        grid->addWidget(caption, 1, i);
        buttons << button;
    }
    // One more button left to the real pointer and clock, to try the animations by hand.
    auto *live = new VistaButton(&window);
    live->setObjectName(QStringLiteral("VistaButtonLive"));
    live->setCaption(QStringLiteral("Попробуйте"));
    live->setFixedSize(100, 25);
    grid->addWidget(live, 2, 0);
    auto *clicks = new QLabel(&window);
    grid->addWidget(clicks, 2, 1, 1, 3);
    QObject::connect(live, &VistaButton::Click, clicks,
                     [clicks, count = 0]() mutable { clicks->setText(QStringLiteral("нажатий: %1").arg(++count)); });
    window.move(40, 40);
    window.show();

    QTimer::singleShot(0, &window, [buttons] {
        // Hover: the pointer enters and the five frames run to the end.
        sendMouse(buttons[1], QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
        while (buttons[1]->advanceAnimation()) {
        }
        // Pressed: the left button goes down and stays down.
        sendMouse(buttons[2], QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
        buttons[3]->setEnabled(false);
    });
    return app.exec();
}
