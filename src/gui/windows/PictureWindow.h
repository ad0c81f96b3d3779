#pragma once

#include <QPixmap>
#include <QWidget>

// A borderless window whose background is a picture drawn from its top left corner, on the
// common background colour where the picture is smaller than the window. A click (left press
// and release on the window), or Space or Enter, runs Form_Click.
class PictureWindow : public QWidget
{
    Q_OBJECT

public:
    PictureWindow(const QString &objectName, const QString &picture, int clientWidth, int clientHeight);

    virtual void Form_Click() = 0;
    // What a click does, for the keyboard and assistive technology.
    Q_INVOKABLE void click() { Form_Click(); }
    const QPixmap &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    // Puts the window in the middle of its screen.
    void centre();

private:
    QPixmap m_picture;
    bool m_pressed = false;
};
