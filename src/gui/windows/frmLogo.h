#pragma once

#include <QWidget>

#include <functional>

// The splash window shown before the main window. For now it only names the program
// and hands over to the main window after a moment; the growing splash comes later.
class frmLogo : public QWidget
{
    Q_OBJECT

public:
    // `showMainWindow` is called once, when the splash closes.
    explicit frmLogo(std::function<void()> showMainWindow, QWidget *parent = nullptr);

    // Closes the splash and shows the main window.
    void handOver();

private:
    std::function<void()> m_showMainWindow;
};
