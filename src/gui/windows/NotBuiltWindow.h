#pragma once

#include <QWidget>

// A small modeless window for the hidden windows that are not built yet: it names itself
// and says so, and closes on any click.
class NotBuiltWindow : public QWidget
{
    Q_OBJECT

public:
    NotBuiltWindow(const QString &objectName, const QString &title, QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
};
