#pragma once

#include <QPrinter>
#include <QString>

#include <functional>

namespace zvtest {

// For ScriptedSeam::printerSetups: the confirmed print dialog prints into the PDF file `path`.
inline std::function<void(QPrinter *)> printIntoPdf(const QString &path)
{
    return [path](QPrinter *printer) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path);
    };
}

} // namespace zvtest
