#pragma once

#include "core/Seam.h"

namespace zv {

// The real seam: Qt's message boxes and dialogs, the desktop's URL handler, QProcess.
class QtSeam : public Seam
{
public:
    MessageAnswer messageBox(QWidget *owner, const QString &text, MessageForm form, const QString &caption) override;
    std::optional<QString> inputBox(QWidget *owner, const QString &prompt, const QString &title,
                                    const QString &defaultText) override;
    std::optional<QString> openFileDialog(QWidget *owner, const FileDialogRequest &request) override;
    std::optional<QString> saveFileDialog(QWidget *owner, const FileDialogRequest &request) override;
    bool printDialog(QWidget *owner, QPrinter *printer, const PrintDialogRequest &request) override;
    void openWithShell(const QString &target) override;
    bool startProcess(const QString &program, const QStringList &arguments) override;
    void exitProcess(int code) override;
};

} // namespace zv
