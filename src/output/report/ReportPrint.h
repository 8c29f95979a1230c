#pragma once

#include "output/report/ReportProject.h"

#include <QRectF>
#include <QSizeF>

#include <functional>

class QPrinter;

namespace kalvendo {

class ReportDocument;

// The printer refused to start the job.
KALVENDO_DECLARE_EXCEPTION(EPrintError, EReportError)

// Sets the printer up for the document before the print dialog shows: its
// paper size and orientation, the whole sheet as drawing area (the layout has
// its own margins), the job title and the pages the dialog offers.
void preparePrinter(QPrinter& printer, const ReportDocument& doc, const QString& jobTitle);

// Where a page of `paper` size goes on a sheet of `sheet` size: scaled to fit
// without distortion and centred (the same rectangle for the same sizes).
QRectF fitPage(const QSizeF& paper, const QSizeF& sheet);

// Prints the pages the printer's range selects (all without a range).
// `progress(page)` is called before each page; false aborts the job. Returns
// whether the job was completed. Throws EPrintError when the printer cannot
// start.
bool printReport(const ReportDocument& doc, QPrinter& printer,
                 const std::function<bool(int page)>& progress = {});

} // namespace kalvendo
