#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;
class QPrinter;

namespace zv {

// The four button and icon forms of the program's message boxes.
enum class MessageForm { Ok, OkInformation, OkExclamation, YesNoQuestion };
enum class MessageAnswer { Ok, Yes, No };

// One entry of a file dialog's type list: "Изображения" with {"*.jpg", "*.gif", "*.bmp"}.
struct FileFilter
{
    QString description;
    QStringList patterns;
};

struct FileDialogRequest
{
    QString title;
    QString initialFolder;
    QString initialName;
    QList<FileFilter> filters;
    int filterIndex = 0; // zero-based
    QString defaultSuffix;
    // Save dialog: ask before the chosen file is replaced.
    bool confirmOverwrite = false;
};

// The pages a print dialog lets the user choose among; 0 for both when the document's length
// is not known.
struct PrintDialogRequest
{
    int minPage = 0;
    int maxPage = 0;
};

// Everything modal or external goes through here: message boxes, input boxes,
// file and print dialogs, opening a document or address, starting a program and
// ending the process. The program installs the Qt implementation; tests install
// a scripted one that answers and records.
class Seam
{
public:
    virtual ~Seam() = default;

    virtual MessageAnswer messageBox(QWidget *owner, const QString &text, MessageForm form, const QString &caption) = 0;
    // nullopt when the user cancels.
    virtual std::optional<QString> inputBox(QWidget *owner, const QString &prompt, const QString &title,
                                            const QString &defaultText) = 0;
    // The chosen full path, or nullopt when the user cancels.
    virtual std::optional<QString> openFileDialog(QWidget *owner, const FileDialogRequest &request) = 0;
    virtual std::optional<QString> saveFileDialog(QWidget *owner, const FileDialogRequest &request) = 0;
    // Lets the user set up `printer`; false when the user cancels.
    virtual bool printDialog(QWidget *owner, QPrinter *printer, const PrintDialogRequest &request) = 0;

    // Opens a web address or a file with the desktop's default handler.
    virtual void openWithShell(const QString &target) = 0;
    // Starts a program without waiting for it; false when it could not be started.
    virtual bool startProcess(const QString &program, const QStringList &arguments) = 0;
    // Ends the process at once, without closing windows one by one.
    virtual void exitProcess(int code) = 0;
};

Seam &seam();
// Installs `replacement` (not owned) and returns the previous one. The program installs
// the Qt seam in main(); tests install a scripted one.
Seam *setSeam(Seam *replacement);

// The message box caption used when a message has no caption of its own.
inline const QString applicationTitle = QStringLiteral("Zorvanell");

inline MessageAnswer showMessage(QWidget *owner, const QString &text, MessageForm form = MessageForm::Ok,
                                 const QString &caption = applicationTitle)
{
    return seam().messageBox(owner, text, form, caption);
}

// Splits a command line into words as a POSIX shell splits quotes, and nothing more: blanks
// separate words, '...' keeps everything literally, "..." keeps everything but \" \\ \$ \` as
// escapes, a backslash outside quotes takes the next character literally. Nothing is expanded
// ($, `, *, ~ and ; are ordinary characters); a quote left open runs to the end of the line.
QStringList splitCommandLine(const QString &commandLine);

// Starts a command line split by splitCommandLine, never through a shell; false when nothing
// could be started.
bool startCommandLine(const QString &commandLine);

} // namespace zv
