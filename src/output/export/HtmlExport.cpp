#include "output/export/HtmlExport.h"

#include "output/export/OutStream.h"

namespace kalvendo {

namespace {

// Line breaks inside a value are shown as such; everything else escaped.
void putCellText(OutStream& out, QStringView v) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] != u'\r' && v[i] != u'\n')
            continue;
        out.putXml(v.sliced(start, i - start));
        out.put(QByteArrayView("<br>"));
        if (v[i] == u'\r' && i + 1 < v.size() && v[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    out.putXml(v.sliced(start));
}

} // namespace

bool isHtmlLink(QStringView value) {
    const qsizetype sep = value.indexOf(u"://");
    if (sep <= 0)
        return false;
    const QStringView scheme = value.first(sep);
    if (scheme.compare(u"http", Qt::CaseInsensitive) != 0 &&
        scheme.compare(u"https", Qt::CaseInsensitive) != 0 &&
        scheme.compare(u"ftp", Qt::CaseInsensitive) != 0)
        return false;
    for (const QChar c : value) {
        if (c.isSpace() || c.unicode() < 0x20)
            return false;
    }
    return value.size() > sep + 3;
}

bool writeHtml(const ExportRows& rows, const HtmlPage& page, QIODevice& device,
               const ExportProgress& progress) {
    OutStream out(device);
    const qint64 total = rows.rowCount();
    ProgressTicker ticker(progress, total);
    if (!ticker.start())
        return false;
    out.put(QByteArrayView("<!DOCTYPE html>\r\n<html"));
    if (!page.language.isEmpty()) {
        out.put(QByteArrayView(" lang=\""));
        out.putXml(page.language);
        out.put('"');
    }
    out.put(QByteArrayView(">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>"));
    out.putXml(page.title);
    out.put(QByteArrayView(
        "</title>\r\n<style>\r\ntable { border-collapse: collapse; }\r\n"
        "th, td { border: 1px solid #999; padding: 2px 6px; text-align: left; "
        "vertical-align: top; }\r\n</style>\r\n</head>\r\n<body>\r\n<table>\r\n<thead>\r\n<tr>"));
    for (int f = 0; f < kShownFieldCount; ++f) {
        out.put(QByteArrayView("<th>"));
        if (f < page.headers.size())
            putCellText(out, page.headers.at(f));
        out.put(QByteArrayView("</th>"));
    }
    out.put(QByteArrayView("</tr>\r\n</thead>\r\n<tbody>\r\n"));
    ShownRow row;
    for (qint64 r = 0; r < total; ++r) {
        rows.readRow(r, row);
        out.put(QByteArrayView("<tr>"));
        for (const QString& v : row) {
            out.put(QByteArrayView("<td>"));
            if (isHtmlLink(v)) {
                out.put(QByteArrayView("<a href=\""));
                out.putXml(v);
                out.put(QByteArrayView("\">"));
                out.putXml(v);
                out.put(QByteArrayView("</a>"));
            } else {
                putCellText(out, v);
            }
            out.put(QByteArrayView("</td>"));
        }
        out.put(QByteArrayView("</tr>\r\n"));
        if (!ticker.row(r + 1))
            return false;
    }
    out.put(QByteArrayView("</tbody>\r\n</table>\r\n</body>\r\n</html>\r\n"));
    out.finish();
    return true;
}

} // namespace kalvendo
