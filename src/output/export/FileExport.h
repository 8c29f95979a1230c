#pragma once

#include "common/SaveFile.h"
#include "output/export/ExportRows.h"
#include "output/export/HtmlExport.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace kalvendo {

class AddressTable;

// Raised when a CSV file cannot be created: "Cannot Create file " + name.
KALVENDO_DECLARE_EXCEPTION(EFCreateError, EWriteError)
// Raised when an export is refused before anything is written (a file that is
// not a workbook we can extend, a format without its writer).
KALVENDO_DECLARE_EXCEPTION(EExportError, EInOutError)

// The values of preference export/format.
enum class ExportFormat { Excel = 0, Pdf = 1, Csv = 2, Html = 3 };

// The format a preference value names; nullopt for any other value, for
// which the export does nothing.
std::optional<ExportFormat> exportFormat(int configured);
// The format a file name asks for by its extension (.xlsx, .pdf, .csv, .html,
// .htm, in any case), else the configured one.
std::optional<ExportFormat> exportFormatForFile(const QString& path, int configured);

// The save dialog's filter (Qt syntax) and default suffix for a format.
struct SaveDialogSetup {
    QString filter;
    QString defaultSuffix;
};
SaveDialogSetup saveDialogSetup(ExportFormat format);

// The grid's fifteen column headers: the named strings
// "DBAdvGrid1.Columns[n].Header" for n = 1..10 and 12..15, and for column 11
// the user's label (preference definably) without its colons.
QStringList gridHeaders(const std::function<QString(const QString& key)>& namedString,
                        const QString& definably);

struct ExportOptions {
    HtmlPage html; // title, language and the grid's headers, for HTML
    QString sheetName = QStringLiteral("Adressen"); // the new sheet's name, made unique
    ExportProgress progress;
    // Writes the PDF report to the file; the report engine provides it. Without
    // it a PDF export is refused with EExportError.
    std::function<void(const QString& path)> pdf;
};

enum class ExportResult { Written, Cancelled, NothingDone };

// Writes the rows to the file in the format, through SaveFile: the file is
// replaced only when complete and left as it was on failure or cancel. An
// existing workbook gets a new sheet after its last one. Throws EFCreateError
// (CSV file cannot be created), EWriteError, EExportError.
ExportResult exportRows(const ExportRows& rows, const QString& path, ExportFormat format,
                        const ExportOptions& options = {});

// The export command's work after the save dialog: what the grid presents
// (current order, group filter) in the configured format (export/format; any
// other value writes nothing). A pending change is saved first, as the grid's
// walk over the records would; the current record stays current.
ExportResult exportTable(AddressTable& table, const QString& path, int format,
                         const ExportOptions& options = {});

// The command line's export: the format from the file's extension, else the
// configured one; an existing workbook is extended.
ExportResult exportFile(AddressTable& table, const QString& path, int configured,
                        const ExportOptions& options = {});

} // namespace kalvendo
