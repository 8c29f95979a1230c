#pragma once

#include "output/import/ImportRun.h"

#include <QString>

#include <optional>

namespace kalvendo {

// The command line's export and import, without a window, on the rows the
// main window shows after start-up: the table of the data folder in name order
// within the stored group.

// kalvendo --export FILE [--report N]: the format from the file's extension
// (.xlsx, .csv, .html, .htm, .pdf), else export/format of ab.ini; an existing
// workbook gets a new sheet. A PDF goes to exportPdfBatch (which needs a
// QGuiApplication). HTML headers are the grid's in the stored interface
// language. Throws EExportError when neither names a format, and whatever the
// export throws (EFCreateError, EWriteError, EDatabaseError, ...); a file is
// then left as it was.
void exportFileBatch(const QString& applicationPath, const QString& file,
                     std::optional<int> reportNumber = std::nullopt);

// kalvendo --import FILE: a CSV file mapped as the dialog would default it, or
// a .vcf file. Throws EInOutError, EDatabaseError (what was read stays).
ImportResult importFileBatch(const QString& applicationPath, const QString& file);

} // namespace kalvendo
