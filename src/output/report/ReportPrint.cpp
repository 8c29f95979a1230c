#include "output/report/ReportPrint.h"

#include "output/report/ReportLayout.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace kalvendo {

void preparePrinter(QPrinter& printer, const ReportDocument& doc, const QString& jobTitle) {
    printer.setFullPage(true);
    printer.setPageSize(doc.pageSize());
    printer.setPageOrientation(doc.orientation());
    printer.setDocName(jobTitle);
    printer.setFromTo(0, 0);
}

QRectF fitPage(const QSizeF& paper, const QSizeF& sheet) {
    if (paper.isEmpty() || sheet.isEmpty())
        return QRectF();
    const double s = std::min(sheet.width() / paper.width(), sheet.height() / paper.height());
    const QSizeF size = paper * s;
    return QRectF(QPointF((sheet.width() - size.width()) / 2, (sheet.height() - size.height()) / 2),
                  size);
}

bool printReport(const ReportDocument& doc, QPrinter& printer,
                 const std::function<bool(int page)>& progress) {
    int first = 1;
    int last = doc.pageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(1, printer.fromPage());
        last = std::min(last, std::max(first, printer.toPage()));
    }
    if (first > last)
        return true;

    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer))
        throw EPrintError(QStringLiteral("Der Drucker %1 kann den Auftrag nicht beginnen / the "
                                         "printer %1 cannot start the job")
                              .arg(printer.outputFileName().isEmpty() ? printer.printerName()
                                                                      : printer.outputFileName()));
    const QRectF sheet = printer.paperRect(QPrinter::DevicePixel);
    const QRectF target = fitPage(doc.paperSize(), sheet.size());
    for (int page = first; page <= last; ++page) {
        if (progress && !progress(page)) {
            printer.abort();
            painter.end();
            return false;
        }
        if (page > first)
            printer.newPage();
        doc.drawPage(painter, page - 1, target);
    }
    return painter.end();
}

} // namespace kalvendo
