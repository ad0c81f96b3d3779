#pragma once

#include "core/Seam.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>
#include <memory>

class QPrinter;

// Raised by a cancelled dialog when CancelError is set.
class CommonDialogError : public std::exception
{
public:
    CommonDialogError(qint32 number, QString description);
    qint32 Number() const { return m_number; }
    QString Description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_description;
    QByteArray m_what;
};

// The standard open, save and print dialogs behind properties: the caller sets properties,
// calls a Show method and reads the results back. The program shares one instance, so a
// property a caller does not set keeps what the previous caller left in it.
class clsCommonDialog
{
public:
    // 2001 above the base of application-defined error numbers.
    static constexpr qint32 CancelErrorNumber = static_cast<qint32>(0x800407D1u);
    // Extended error of an open or save dialog whose chosen name does not fit the buffer.
    static constexpr qint32 BufferTooSmallError = 0x3003;
    static constexpr int DefaultMaxFileSize = 256;
    // Flags: the save dialog asks before replacing the chosen file.
    static constexpr qint32 OverwritePrompt = 0x2;

    clsCommonDialog();
    ~clsCommonDialog();
    clsCommonDialog(const clsCommonDialog &) = delete;
    clsCommonDialog &operator=(const clsCommonDialog &) = delete;

    // The program's shared instance, created on first use.
    static clsCommonDialog &instance();

    qint32 ExtendedError() const { return m_extendedError; }
    qint32 APIReturn() const { return m_apiReturn; }
    QString FileTitle() const { return m_fileTitle; }
    void setFileTitle(const QString &v) { m_fileTitle = v; }
    qint32 ToPage() const { return m_toPage; }
    void setToPage(qint32 v) { m_toPage = v; }
    qint16 PrinterDefault() const { return m_printerDefault; }
    void setPrinterDefault(qint16 v) { m_printerDefault = v; }
    qint32 Min() const { return m_min; }
    void setMin(qint32 v) { m_min = v; }
    qint32 MaxFileSize() const { return m_maxFileSize; }
    void setMaxFileSize(qint32 v) { m_maxFileSize = v; }
    qint32 Max() const { return m_max; }
    void setMax(qint32 v) { m_max = v; }
    QString InitDir() const { return m_initDir; }
    void setInitDir(const QString &v) { m_initDir = v; }
    QString HelpKey() const { return m_helpKey; }
    void setHelpKey(const QString &v) { m_helpKey = v; }
    QString HelpFile() const { return m_helpFile; }
    void setHelpFile(const QString &v) { m_helpFile = v; }
    QString HelpContext() const { return m_helpKey; }
    void setHelpContext(const QString &v) { m_helpKey = v; }
    qint32 HelpCommand() const { return m_helpCommand; }
    void setHelpCommand(qint32 v) { m_helpCommand = v; }
    qint32 hDC() const { return m_hDC; }
    void setHDC(qint32 v) { m_hDC = v; }
    qint32 FromPage() const { return m_fromPage; }
    void setFromPage(qint32 v) { m_fromPage = v; }
    bool FontUnderline() const { return m_fontUnderline; }
    void setFontUnderline(bool v) { m_fontUnderline = v; }
    bool FontStrikethru() const { return m_fontStrikethru; }
    void setFontStrikethru(bool v) { m_fontStrikethru = v; }
    qint32 FontSize() const { return m_fontSize; }
    void setFontSize(qint32 v) { m_fontSize = v; }
    QString FontName() const { return m_fontName; }
    void setFontName(const QString &v) { m_fontName = v; }
    bool FontItalic() const { return m_fontItalic; }
    void setFontItalic(bool v) { m_fontItalic = v; }
    bool FontBold() const { return m_fontBold; }
    void setFontBold(bool v) { m_fontBold = v; }
    qint32 Flags() const { return m_flags; }
    void setFlags(qint32 v) { m_flags = v; }
    QString DialogTitle() const { return m_dialogTitle; }
    void setDialogTitle(const QString &v) { m_dialogTitle = v; }
    QString DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString &v) { m_defaultExt = v; }
    qint32 Copies() const { return m_copies; }
    void setCopies(qint32 v) { m_copies = v; }
    qint32 Color() const { return m_color; }
    void setColor(qint32 v) { m_color = v; }
    bool CancelError() const { return m_cancelError; }
    void setCancelError(bool v) { m_cancelError = v; }
    qint16 FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(qint16 v) { m_filterIndex = v; }
    QString FileName() const { return m_fileName; }
    void setFileName(const QString &v) { m_fileName = v; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString &v) { m_filter = v; }
    qint16 Action() const { return m_action; }
    void setAction(qint16 v) { m_action = v; }
    QWidget *hWnd() const { return m_hWnd; }
    void setHWnd(QWidget *v) { m_hWnd = v; }

    void ShowOpen();
    void ShowSave();
    void ShowPrinter();

    // The printer the print dialog sets up, created on first use; a caller may lay out a
    // document on it before showing the dialog.
    QPrinter *printer();
    // Where the program prints; with PrinterDefault set, a confirmed print dialog passes its
    // copies, orientation, paper size and quality on to it. Not owned.
    void setPrintingTarget(QPrinter *target) { m_target = target; }

    // "A|*.a|" becomes "A\0*.a\0\0": every "|" a NUL, and one more NUL closing the list.
    static QString ConvertFilter(const QString &filter);
    // The converted list as dialog entries: description and its ";"-separated patterns.
    static QList<zv::FileFilter> filterEntries(const QString &converted);
    // The part before the first NUL, or the whole string.
    static QString StripNulls(const QString &text);

private:
    void ShowFileDialog(int kind);
    void raiseCancel() const;

    qint32 m_extendedError = 0;
    qint32 m_apiReturn = 0;
    QString m_fileTitle;
    qint32 m_toPage = 0;
    qint16 m_printerDefault = 0;
    qint32 m_min = 0;
    qint32 m_maxFileSize = 0;
    qint32 m_max = 0;
    QString m_initDir;
    QString m_helpKey;
    QString m_helpFile;
    qint32 m_helpCommand = 0;
    qint32 m_hDC = 0;
    qint32 m_fromPage = 0;
    bool m_fontUnderline = false;
    bool m_fontStrikethru = false;
    qint32 m_fontSize = 0;
    QString m_fontName;
    bool m_fontItalic = false;
    bool m_fontBold = false;
    qint32 m_flags = 0;
    QString m_dialogTitle;
    QString m_defaultExt;
    qint32 m_copies = 0;
    qint32 m_color = 0;
    bool m_cancelError = false;
    qint16 m_filterIndex = 0;
    QString m_fileName;
    QString m_filter;
    qint16 m_action = 0;
    QPointer<QWidget> m_hWnd;

    std::unique_ptr<QPrinter> m_printer;
    QPrinter *m_target = nullptr;
};
