#include "gui/controls/clsCommonDialog.h"

#include <QFileInfo>
#include <QPrinter>

CommonDialogError::CommonDialogError(qint32 number, QString description)
    : m_number(number)
    , m_description(std::move(description))
    , m_what(m_description.toUtf8())
{
}

clsCommonDialog::clsCommonDialog() = default;
clsCommonDialog::~clsCommonDialog() = default;

clsCommonDialog &clsCommonDialog::instance()
{
    static clsCommonDialog shared;
    return shared;
}

QString clsCommonDialog::ConvertFilter(const QString &filter)
{
    QString converted = filter;
    converted.replace(QLatin1Char('|'), QChar(0));
    converted += QChar(0);
    return converted;
}

QList<zv::FileFilter> clsCommonDialog::filterEntries(const QString &converted)
{
    QStringList fields = converted.split(QChar(0));
    // The list ends at the first empty field (the double NUL).
    if (const qsizetype end = fields.indexOf(QString()); end >= 0)
        fields.resize(end);
    QList<zv::FileFilter> entries;
    // A description left without a pattern field is not an entry.
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : fields.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << p.trimmed();
        entries.append({fields.at(i), patterns});
    }
    return entries;
}

QString clsCommonDialog::StripNulls(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

void clsCommonDialog::ShowOpen()
{
    ShowFileDialog(1);
}

void clsCommonDialog::ShowSave()
{
    ShowFileDialog(2);
}

void clsCommonDialog::ShowFileDialog(int kind)
{
    m_apiReturn = 0;
    m_extendedError = 0;
    if (kind != 1 && kind != 2)
        return;

    const int bufferSize = m_maxFileSize < 1 ? DefaultMaxFileSize : m_maxFileSize;
    zv::FileDialogRequest request;
    request.title = m_dialogTitle;
    request.initialFolder = m_initDir;
    // The proposed name shares the buffer with its closing NUL; a longer one is cut.
    request.initialName = StripNulls(m_fileName).left(bufferSize - 1);
    request.filters = filterEntries(ConvertFilter(m_filter));
    request.filterIndex = m_filterIndex > 0 ? m_filterIndex - 1 : 0;
    request.defaultSuffix = m_defaultExt;
    request.confirmOverwrite = (m_flags & OverwritePrompt) != 0;

    const std::optional<QString> chosen =
        kind == 1 ? zv::seam().openFileDialog(m_hWnd, request) : zv::seam().saveFileDialog(m_hWnd, request);
    if (!chosen) {
        if (m_cancelError)
            raiseCancel();
        return;
    }
    const QString path = StripNulls(*chosen);
    const QString title = QFileInfo(path).fileName();
    if (path.size() + 1 > bufferSize) {
        // The name does not fit the buffer: the dialog fails and nothing is returned.
        m_extendedError = BufferTooSmallError;
        return;
    }
    m_apiReturn = 1;
    m_fileName = path;
    m_fileTitle = title;
}

void clsCommonDialog::ShowPrinter()
{
    m_apiReturn = 0;
    m_extendedError = 0;
    m_action = 5;

    QPrinter *printer = this->printer();
    // Page numbers and copies travel as 16-bit values.
    const auto from = static_cast<qint16>(m_fromPage);
    const auto to = static_cast<qint16>(m_toPage);
    // The range the dialog starts with is the one the properties give, never one left over
    // in the printer from the dialog before.
    if (from > 0 && to >= from) {
        printer->setPrintRange(QPrinter::PageRange);
        printer->setFromTo(from, to);
    } else {
        printer->setPrintRange(QPrinter::AllPages);
        printer->setFromTo(0, 0);
    }
    printer->setCopyCount(std::max<int>(1, static_cast<qint16>(m_copies)));
    zv::PrintDialogRequest request;
    request.minPage = static_cast<qint16>(m_min);
    request.maxPage = static_cast<qint16>(m_max);

    if (!zv::seam().printDialog(m_hWnd, printer, request)) {
        if (m_cancelError)
            raiseCancel();
        return;
    }
    m_apiReturn = 1;
    m_fromPage = m_printer->fromPage();
    m_toPage = m_printer->toPage();
    // Copies chosen in the dialog and those of the printer's own settings are one value here.
    m_copies = m_printer->copyCount();

    if (m_printerDefault && m_target) {
        m_target->setCopyCount(m_printer->copyCount());
        m_target->setPageOrientation(m_printer->pageLayout().orientation());
        m_target->setPageSize(m_printer->pageLayout().pageSize());
        m_target->setResolution(m_printer->resolution());
    }
}

QPrinter *clsCommonDialog::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    return m_printer.get();
}

void clsCommonDialog::raiseCancel() const
{
    throw CommonDialogError(CancelErrorNumber, QStringLiteral("Cancel Pressed"));
}
