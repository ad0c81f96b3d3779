#include "ScriptedSeam.h"

namespace zvtest {

ScriptedSeam::ScriptedSeam()
{
    m_previous = zv::setSeam(this);
}

ScriptedSeam::~ScriptedSeam()
{
    zv::setSeam(m_previous);
}

QStringList ScriptedSeam::messageTexts() const
{
    QStringList texts;
    for (const Message &m : messages)
        texts << m.text;
    return texts;
}

zv::MessageAnswer ScriptedSeam::messageBox(QWidget *, const QString &text, zv::MessageForm form, const QString &caption)
{
    const Message message{text, form, caption};
    messages.append(message);
    if (onMessage)
        onMessage(message);
    if (!messageAnswers.isEmpty())
        return messageAnswers.dequeue();
    return form == zv::MessageForm::YesNoQuestion ? zv::MessageAnswer::No : zv::MessageAnswer::Ok;
}

std::optional<QString> ScriptedSeam::inputBox(QWidget *, const QString &prompt, const QString &, const QString &)
{
    inputPrompts << prompt;
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.dequeue();
}

std::optional<QString> ScriptedSeam::openFileDialog(QWidget *, const zv::FileDialogRequest &request)
{
    fileRequests << request;
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
}

std::optional<QString> ScriptedSeam::saveFileDialog(QWidget *, const zv::FileDialogRequest &request)
{
    fileRequests << request;
    return fileAnswers.isEmpty() ? std::nullopt : fileAnswers.dequeue();
}

bool ScriptedSeam::printDialog(QWidget *, QPrinter *printer, const zv::PrintDialogRequest &request)
{
    ++printDialogs;
    printRequests << request;
    if (onPrintDialog)
        onPrintDialog(printer);
    const bool accepted = printAnswers.isEmpty() ? false : printAnswers.dequeue();
    if (accepted && printer && !printerSetups.isEmpty())
        printerSetups.dequeue()(printer);
    return accepted;
}

void ScriptedSeam::openWithShell(const QString &target)
{
    opened << target;
}

bool ScriptedSeam::startProcess(const QString &program, const QStringList &arguments)
{
    started.append({program, arguments});
    return startResults.isEmpty() ? true : startResults.dequeue();
}

void ScriptedSeam::exitProcess(int code)
{
    exits << code;
}

} // namespace zvtest
