#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace zvtest {

// Closes the modal windows a test opens through exec(): every few milliseconds while it lives,
// the active modal window is handed to `look` and then closed. Lives no longer than the test
// step it serves, so it never closes a window of a later step.
class ModalWatcher
{
public:
    explicit ModalWatcher(std::function<void(QWidget *)> look = {})
        : m_look(std::move(look))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last)
                return;
            m_last = modal;
            ++m_seen;
            if (m_look)
                m_look(modal);
            modal->close();
        });
        m_timer.start(5);
    }

    int seen() const { return m_seen; }

private:
    QTimer m_timer;
    std::function<void(QWidget *)> m_look;
    QPointer<QWidget> m_last;
    int m_seen = 0;
};

} // namespace zvtest
