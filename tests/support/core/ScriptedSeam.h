#pragma once

#include "core/Seam.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

namespace zvtest {

// A seam for tests: answers dialogs from queues and records everything that would have
// been shown, opened, started or ended. A message box with no queued answer is answered
// Ok (or No for a Yes/No question) and still recorded.
class ScriptedSeam : public zv::Seam
{
public:
    struct Message
    {
        QString text;
        zv::MessageForm form;
        QString caption;
    };
    struct Started
    {
        QString program;
        QStringList arguments;
    };

    ScriptedSeam();           // installs itself
    ~ScriptedSeam() override; // puts the previous seam back

    // Queued answers, used first in first out.
    QQueue<zv::MessageAnswer> messageAnswers;
    QQueue<std::optional<QString>> inputAnswers;
    QQueue<std::optional<QString>> fileAnswers; // open and save dialogs
    QQueue<bool> printAnswers;
    // Each confirmed print dialog hands the printer the program then prints on to the next of
    // these; with none queued the printer stays as it was. Window tests queue printIntoPdf(...).
    QQueue<std::function<void(QPrinter *)>> printerSetups;
    // Whether each program start succeeds; a start with nothing queued succeeds.
    QQueue<bool> startResults;
    // Runs when a print dialog is shown, before it is answered: what the user sets in it.
    std::function<void(QPrinter *)> onPrintDialog;
    // Runs when a message box is shown, before it is answered (e.g. to look at the state then).
    std::function<void(const Message &)> onMessage;

    // What happened.
    QList<Message> messages;
    QList<zv::FileDialogRequest> fileRequests;
    QStringList opened;
    QList<Started> started;
    QList<int> exits;
    int printDialogs = 0;
    QList<zv::PrintDialogRequest> printRequests;
    QStringList inputPrompts;

    QStringList messageTexts() const;

    zv::MessageAnswer messageBox(QWidget *owner, const QString &text, zv::MessageForm form,
                                 const QString &caption) override;
    std::optional<QString> inputBox(QWidget *owner, const QString &prompt, const QString &title,
                                    const QString &defaultText) override;
    std::optional<QString> openFileDialog(QWidget *owner, const zv::FileDialogRequest &request) override;
    std::optional<QString> saveFileDialog(QWidget *owner, const zv::FileDialogRequest &request) override;
    bool printDialog(QWidget *owner, QPrinter *printer, const zv::PrintDialogRequest &request) override;
    void openWithShell(const QString &target) override;
    bool startProcess(const QString &program, const QStringList &arguments) override;
    void exitProcess(int code) override;

private:
    zv::Seam *m_previous = nullptr;
};

} // namespace zvtest
