#include "output/export/CsvExport.h"

#include "output/export/OutStream.h"

namespace kalvendo {

namespace {

bool needsQuotes(QStringView v, QChar separator) {
    for (const QChar c : v) {
        if (c == separator || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

void putCell(OutStream& out, QStringView v, QChar separator) {
    if (!needsQuotes(v, separator)) {
        out.putText(v);
        return;
    }
    out.put('"');
    qsizetype start = 0;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == u'"') {
            out.putText(v.sliced(start, i + 1 - start));
            out.put('"');
            start = i + 1;
        }
    }
    out.putText(v.sliced(start));
    out.put('"');
}

} // namespace

QString csvCell(const QString& value, QChar separator) {
    if (!needsQuotes(value, separator))
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

bool writeCsv(const ExportRows& rows, QIODevice& device, const ExportProgress& progress) {
    OutStream out(device);
    const qint64 total = rows.rowCount();
    ProgressTicker ticker(progress, total);
    if (!ticker.start())
        return false;
    ShownRow row;
    for (qint64 r = 0; r < total; ++r) {
        rows.readRow(r, row);
        for (int f = 0; f < kShownFieldCount; ++f) {
            if (f)
                out.put(',');
            putCell(out, row[static_cast<size_t>(f)], u',');
        }
        out.put(QByteArrayView("\r\n"));
        if (!ticker.row(r + 1))
            return false;
    }
    out.finish();
    return true;
}

} // namespace kalvendo
