#pragma once

#include "gui/Language.h"

#include <QPushButton>
#include <QWidget>

class QLabel;
class QLineEdit;

// A push button whose caption wraps onto several lines when it is too long for one.
class WrappingButton : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The hidden small tool: a command box that starts a program or stops the user's processes of
// a name, and a button that stops a fixed list of processes and ends the program.
class Form1
    : public QWidget
    , public LanguageAware
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);

    QList<Caption> languageCaptions() override;

    // The processes "Очистить лишние процессы" stops, in order.
    static const QStringList &fixedProcessList();
    // The older version the same button starts before the program ends.
    static inline const QString kOldVersion = QStringLiteral("Zorvanell 3.9.exe");

    // Where /proc is read (a copy of its layout in tests).
    void setProcessFolder(const QString &procRoot) { m_procRoot = procRoot; }

private:
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Text1_Enter();
    // Starts the typed command line.
    void startTyped();

    QLabel *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command4 = nullptr;
    QString m_procRoot = QStringLiteral("/proc");
};
