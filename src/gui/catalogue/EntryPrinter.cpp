#include "gui/catalogue/EntryPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPageRanges>
#include <QPainter>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>

namespace zv {

namespace {

QString oneLine(const QString &text)
{
    QString line = text;
    for (QChar &ch : line) {
        if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r'))
            ch = QLatin1Char(' ');
    }
    return line;
}

// The part of the printable area the text goes in, in the painter's coordinates: at least
// 10 mm from the paper's edges, also where the printer (a PDF file) could print up to them.
QRectF printedArea(QPrinter *printer)
{
    const QRectF paper = printer->paperRect(QPrinter::DevicePixel);
    const QRectF page = printer->pageRect(QPrinter::DevicePixel);
    const qreal margin = 10.0 / 25.4 * printer->resolution();
    const qreal left = std::max<qreal>(0, margin - (page.left() - paper.left()));
    const qreal top = std::max<qreal>(0, margin - (page.top() - paper.top()));
    const qreal right = std::max<qreal>(0, margin - (paper.right() - page.right()));
    const qreal bottom = std::max<qreal>(0, margin - (paper.bottom() - page.bottom()));
    return QRectF(left, top, page.width() - left - right, page.height() - top - bottom);
}

// The entry as it is printed: its document laid out in the printed area of `printer`.
struct Printout
{
    QTextDocument document;
    QRectF body;

    Printout(QPrinter *printer, const QString &name, const QString &text);
};

Printout::Printout(QPrinter *printer, const QString &name, const QString &text)
{
    // Fonts and line breaks are measured on the printer, not on the screen.
    document.documentLayout()->setPaintDevice(printer);
    // Where Courier itself is missing, a font of the same widths stands in for it.
    QFont courier;
    courier.setFamilies({QStringLiteral("Courier"), QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                         QStringLiteral("Nimbus Mono PS")});
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPointSize(12);
    document.setDefaultFont(courier);
    document.setDocumentMargin(0);
    QTextOption wrapping;
    // A word longer than the line (an address) is broken too rather than cut off at the edge.
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(wrapping);

    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    QTextCursor cursor(&document);
    cursor.insertText(oneLine(name), bold);
    cursor.insertBlock(QTextBlockFormat(), plain);
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Each line break of the text becomes a paragraph of its own.
    cursor.insertText(lines, plain);

    body = printedArea(printer);
    document.setPageSize(body.size());
}

// The pages the dialog's range chooses among `pages`, in order: all of them when it chose none.
QList<int> chosenPages(const QPrinter *printer, int pages)
{
    const QPageRanges ranges = printer->pageRanges();
    const bool all = printer->printRange() != QPrinter::PageRange || ranges.isEmpty();
    QList<int> chosen;
    for (int number = 1; number <= pages; ++number) {
        if (all || ranges.contains(number))
            chosen << number;
    }
    return chosen;
}

// Each page as often as it is printed, in the order it leaves the printer.
QList<int> printedSequence(const QPrinter *printer, const QList<int> &pages)
{
    // A printer that makes the copies itself is sent one.
    const int copies = printer->supportsMultipleCopies() ? 1 : std::max(1, printer->copyCount());
    QList<int> sequence;
    if (printer->collateCopies()) {
        for (int copy = 0; copy < copies; ++copy)
            sequence << pages;
    } else {
        for (const int page : pages) {
            for (int copy = 0; copy < copies; ++copy)
                sequence << page;
        }
    }
    return sequence;
}

} // namespace

int entryPageCount(QPrinter *printer, const QString &name, const QString &text)
{
    return Printout(printer, name, text).document.pageCount();
}

PrintOutcome printEntry(QPrinter *printer, const QString &name, const QString &text)
{
    Printout printout(printer, name, text);
    const QList<int> sequence = printedSequence(printer, chosenPages(printer, printout.document.pageCount()));
    if (sequence.isEmpty())
        return PrintOutcome::NoPageChosen;

    QPainter painter;
    if (!painter.begin(printer))
        return PrintOutcome::Failed;
    const QRectF &body = printout.body;
    bool started = false;
    for (const int number : sequence) {
        if (started && !printer->newPage())
            return PrintOutcome::Failed;
        started = true;
        const QRectF shown(0, (number - 1) * body.height(), body.width(), body.height());
        painter.save();
        painter.translate(body.left(), body.top() - shown.top());
        // A line pushed onto the next page must not show at the foot of this one.
        painter.setClipRect(shown);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = shown;
        context.palette.setColor(QPalette::Text, Qt::black);
        printout.document.documentLayout()->draw(&painter, context);
        painter.restore();
    }
    painter.end();
    return printer->printerState() == QPrinter::Error ? PrintOutcome::Failed : PrintOutcome::Printed;
}

} // namespace zv
