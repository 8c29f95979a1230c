#pragma once

#include "output/export/ExportRows.h"

#include <QIODevice>
#include <QString>
#include <QStringList>

namespace kalvendo {

struct HtmlPage {
    QString title;
    QString language;    // the page's lang attribute; none when empty
    QStringList headers; // the grid's fifteen column headers
};

// A complete HTML5 page (UTF-8) with one table: the header row, then one row
// per record with the fifteen values escaped. A value that is a web address
// (http, https or ftp) becomes a link whose text is the full address. Returns
// false when cancelled; throws EWriteError when the device refuses a write.
bool writeHtml(const ExportRows& rows, const HtmlPage& page, QIODevice& out,
               const ExportProgress& progress = {});

// Whether the value is written as a link: it names a web address with "://"
// in a scheme a browser may open from a file without running anything.
bool isHtmlLink(QStringView value);

} // namespace kalvendo
