#pragma once

#include <QString>

#include <optional>

namespace kalvendo {

// kalvendo --export FILE.pdf [--report N]: the PDF export without a window.
// Needs a QGuiApplication (fonts), no display: the offscreen platform will do;
// under a mere QCoreApplication it throws EReportError.
//
// The report is `reportNumber` when given, else `export`/`print` of ab.ini.
// The rows are those the main window shows after start-up: the table of the
// data folder in name order within the stored group. Captions and heading are
// the main window's named strings in the stored interface language (German
// when it names none of the script's languages); title and author come from
// ab.ini. Throws EReportError for a number outside 0 .. 3, EDatabaseError when
// the table cannot be opened, and whatever the export throws
// (EReportProjectError, EPdfError, EWriteError); nothing is written then.
void exportPdfBatch(const QString& applicationPath, const QString& pdfPath,
                    std::optional<int> reportNumber = std::nullopt);

} // namespace kalvendo
