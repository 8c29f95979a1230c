#pragma once

#include "output/export/ExportRows.h"

#include <QIODevice>
#include <QString>

namespace kalvendo {

// One line per row, ended by CR LF: the fifteen values separated by ",", no
// header line, UTF-8 without byte order mark. A value is enclosed in double
// quotes (inner quotes doubled) only when it holds the separator, a quote or a
// line break; an empty value is written as nothing. Returns false when
// cancelled; throws EWriteError when the device refuses a write.
bool writeCsv(const ExportRows& rows, QIODevice& out, const ExportProgress& progress = {});

// The value as one CSV cell.
QString csvCell(const QString& value, QChar separator = u',');

} // namespace kalvendo
