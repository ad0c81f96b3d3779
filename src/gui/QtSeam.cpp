#include "gui/QtSeam.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QProcess>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace zv {

namespace {

QString filterText(const QList<FileFilter> &filters)
{
    QStringList entries;
    for (const FileFilter &f : filters)
        entries << f.description + QStringLiteral(" (") + f.patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    return entries.join(QStringLiteral(";;"));
}

QFileDialog *makeDialog(QWidget *owner, const FileDialogRequest &request, QFileDialog::AcceptMode mode)
{
    auto *dialog = new QFileDialog(owner, request.title);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QString filters = filterText(request.filters);
    if (!filters.isEmpty()) {
        dialog->setNameFilter(filters);
        const QStringList names = dialog->nameFilters();
        if (request.filterIndex >= 0 && request.filterIndex < names.size())
            dialog->selectNameFilter(names.at(request.filterIndex));
    }
    if (!request.initialFolder.isEmpty())
        dialog->setDirectory(request.initialFolder);
    if (!request.initialName.isEmpty())
        dialog->selectFile(request.initialName);
    if (!request.defaultSuffix.isEmpty())
        dialog->setDefaultSuffix(request.defaultSuffix);
    // Qt asks by itself otherwise, and about the chosen name, which need not be the file written.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    return dialog;
}

std::optional<QString> runFileDialog(QWidget *owner, const FileDialogRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog *dialog = makeDialog(owner, request, mode);
    std::optional<QString> result;
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        result = dialog->selectedFiles().constFirst();
    delete dialog;
    return result;
}

} // namespace

MessageAnswer QtSeam::messageBox(QWidget *owner, const QString &text, MessageForm form, const QString &caption)
{
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    // Texts keep their CR line breaks as data; the label wants LF.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Names and server texts are data: "<img src=...>" is shown as typed, never rendered.
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    switch (form) {
    case MessageForm::Ok:
        box.setIcon(QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageForm::OkInformation:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageForm::OkExclamation:
        box.setIcon(QMessageBox::Warning);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageForm::YesNoQuestion:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    const int answer = box.exec();
    if (form != MessageForm::YesNoQuestion)
        return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

std::optional<QString> QtSeam::inputBox(QWidget *owner, const QString &prompt, const QString &title,
                                        const QString &defaultText)
{
    QInputDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    // The prompt may carry a name: shown as it is, like every message.
    for (QLabel *label : dialog.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> QtSeam::openFileDialog(QWidget *owner, const FileDialogRequest &request)
{
    return runFileDialog(owner, request, QFileDialog::AcceptOpen);
}

std::optional<QString> QtSeam::saveFileDialog(QWidget *owner, const FileDialogRequest &request)
{
    return runFileDialog(owner, request, QFileDialog::AcceptSave);
}

bool QtSeam::printDialog(QWidget *owner, QPrinter *printer, const PrintDialogRequest &request)
{
    QPrintDialog dialog(printer, owner);
    if (request.maxPage > 0)
        dialog.setMinMax(std::max(1, request.minPage), request.maxPage);
    return dialog.exec() == QDialog::Accepted;
}

void QtSeam::openWithShell(const QString &target)
{
    const QUrl url = QUrl::fromUserInput(target, QString(), QUrl::AssumeLocalFile);
    QDesktopServices::openUrl(url);
}

bool QtSeam::startProcess(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

void QtSeam::exitProcess(int code)
{
    std::fflush(nullptr);
    ::_exit(code);
}

} // namespace zv
