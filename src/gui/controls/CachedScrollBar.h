#pragma once

#include <QPixmap>
#include <QScrollBar>

// A scroll bar that, while the mouse is elsewhere, draws itself from a picture of its last look
// when nothing it shows has changed. The style's fill of a tall bar is costly, and Qt repaints a
// text box's scroll bar whenever the box's text changes, even when range and position stay:
// with every search keystroke.
class CachedScrollBar : public QScrollBar
{
    Q_OBJECT

public:
    explicit CachedScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Look
    {
        QSize size;
        qreal pixelRatio = 0;
        int state = 0, minimum = 0, maximum = 0, position = 0, pageStep = 0, singleStep = 0;
        bool upsideDown = false;
        qint64 palette = 0;
        const QStyle *style = nullptr;
        bool operator==(const Look &) const = default;
    };

    QPixmap m_picture;
    Look m_pictured;
};
