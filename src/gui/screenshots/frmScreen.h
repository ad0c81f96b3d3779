#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>

class QLabel;
class QMovie;

// Shows the picture at ScreenShotPath at its natural size (scaled down to fit the screen when
// larger), in a window without title bar or frame, centred on the screen. A click, Space or
// Escape closes it. When reached through the picker (SeveralScreenShots) the arrow keys step
// through the picker's pictures, wrapping around at either end.
class frmScreen : public QDialog
{
    Q_OBJECT

public:
    // The entry's name (CurrentEntry) for the caption, the picture to show first (ScreenShotPath)
    // and whether the picker opened it (SeveralScreenShots); then `pictures` and `position` are
    // the picker's list and selected row.
    frmScreen(QWidget *owner, const QString &entry, const QString &path, bool several, const QStringList &pictures = {},
              int position = -1);
    ~frmScreen() override;

    // False when there was nothing to show (the file is gone or is no picture): do not show the window.
    bool isLoaded() const { return m_loaded; }
    int currentPosition() const { return m_position; }
    // The file shown now.
    QString shownPath() const { return m_shownPath; }

    void stepForward();
    void stepBack();

    QLabel *Image1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void Form_Load();
    bool showPicture(const QString &path);
    void step(int direction);
    void centre();
    QSize screenBounds() const;

    QString m_entry;
    QString m_path;
    bool m_several = false;
    QStringList m_pictures;
    int m_position = 0;
    int m_last = -1;
    bool m_loaded = false;
    bool m_pressed = false;
    QString m_shownPath;
    QPointer<QMovie> m_movie;
};
