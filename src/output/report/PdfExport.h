#pragma once

#include "output/report/ReportProject.h"

#include <QByteArray>
#include <QString>

namespace kalvendo {

class ReportDocument;

// The PDF could not be made (the writer refused to start, or the finished
// file could not be read back to complete its document information).
KALVENDO_DECLARE_EXCEPTION(EPdfError, EReportError)

// "Kalvendo (https://…)": the product and its web address.
QString pdfProducer();

// The document information of an exported report.
struct PdfInfo {
    QString title;
    QString author;
    QString creator = QStringLiteral("Kalvendo 2006");
    QString producer = pdfProducer();
};

// Writes the document as a PDF file to `path`: vector pages with their fonts
// embedded and the document information complete (Qt's writer has no author,
// so it is set afterwards with libqpdf). The file appears only complete: a
// failure leaves whatever was there before. Throws EPdfError, EWriteError.
void writeReportPdf(const ReportDocument& doc, const QString& path, const PdfInfo& info);

} // namespace kalvendo
