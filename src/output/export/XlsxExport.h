#pragma once

#include "output/export/ExportRows.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace kalvendo {

// The most rows a worksheet holds.
inline constexpr qint64 kMaxSheetRows = 1048576;

// A new workbook with one sheet: row 1 .. the rows, columns A .. O the
// fifteen values as text (inline strings), no caption row. The device must be
// seekable. Returns false when cancelled; throws EWriteError when the device
// refuses and EExportError for more rows than a sheet holds.
bool writeXlsx(const ExportRows& rows, const QString& sheetName, QIODevice& out,
               const ExportProgress& progress = {});

// Writes the rows to `path` through SaveFile: a new workbook when the file does
// not exist (or is empty), else the existing workbook with a new sheet after
// its last one, every other part (sheets, styles, defined names) kept as it
// was. A file that is not a workbook we can extend is refused with
// EExportError and left unchanged. Returns false when cancelled (the file
// unchanged); throws EWriteError when the file cannot be written.
bool exportXlsx(const ExportRows& rows, const QString& path, const QString& sheetName,
                const ExportProgress& progress = {});

// A sheet name Excel accepts that none of `existing` has (compared without
// regard to case): at most 31 characters, none of []:*?/\ or control
// characters, no apostrophe at either end; "Adressen" when nothing is left;
// " (2)", " (3)" ... added to make it unique.
QString uniqueSheetName(const QString& wanted, const QStringList& existing);

} // namespace kalvendo
