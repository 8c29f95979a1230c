#include "output/export/FileExport.h"

#include "addressbook/AddressTable.h"
#include "output/export/CsvExport.h"
#include "output/export/XlsxExport.h"

#include <QFileInfo>

namespace kalvendo {

std::optional<ExportFormat> exportFormat(int configured) {
    if (configured < 0 || configured > 3)
        return std::nullopt;
    return static_cast<ExportFormat>(configured);
}

std::optional<ExportFormat> exportFormatForFile(const QString& path, int configured) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"xlsx")
        return ExportFormat::Excel;
    if (suffix == u"pdf")
        return ExportFormat::Pdf;
    if (suffix == u"csv")
        return ExportFormat::Csv;
    if (suffix == u"html" || suffix == u"htm")
        return ExportFormat::Html;
    return exportFormat(configured);
}

SaveDialogSetup saveDialogSetup(ExportFormat format) {
    switch (format) {
    case ExportFormat::Excel:
        return {QStringLiteral("Excel-Dateien (*.xlsx)"), QStringLiteral("xlsx")};
    case ExportFormat::Pdf:
        return {QStringLiteral("Pdf-Dateien (*.pdf)"), QStringLiteral("pdf")};
    case ExportFormat::Csv:
        return {QStringLiteral("Csv-Dateien (*.csv);;Textdateien (*.txt)"), QStringLiteral("csv")};
    case ExportFormat::Html:
        return {QStringLiteral("Html-Dateien (*.html, *.htm) (*.html *.htm)"),
                QStringLiteral("htm")};
    }
    return {};
}

QStringList gridHeaders(const std::function<QString(const QString& key)>& namedString,
                        const QString& definably) {
    QStringList headers;
    for (int column = 1; column <= kShownFieldCount; ++column) {
        if (column == 11)
            headers.append(QString(definably).remove(u':'));
        else
            headers.append(
                namedString(QStringLiteral("DBAdvGrid1.Columns[%1].Header").arg(column)));
    }
    return headers;
}

namespace {

// Writes through SaveFile; a failed write names the file.
template <typename Write> ExportResult save(const QString& path, bool csv, Write&& write) {
    std::optional<SaveFile> file;
    try {
        file.emplace(path);
    } catch (const EWriteError&) {
        if (csv)
            throw EFCreateError(QStringLiteral("Cannot Create file ") + path);
        throw;
    }
    try {
        if (!write(file->device()))
            return ExportResult::Cancelled;
    } catch (const EWriteError&) {
        throw EWriteError(SaveFile::cannotWriteMessage(path) + QStringLiteral(" (") +
                          file->device().errorString() + u')');
    }
    file->commit();
    return ExportResult::Written;
}

} // namespace

ExportResult exportRows(const ExportRows& rows, const QString& path, ExportFormat format,
                        const ExportOptions& options) {
    switch (format) {
    case ExportFormat::Csv:
        return save(path, true,
                    [&](QIODevice& out) { return writeCsv(rows, out, options.progress); });
    case ExportFormat::Html:
        return save(path, false, [&](QIODevice& out) {
            return writeHtml(rows, options.html, out, options.progress);
        });
    case ExportFormat::Excel:
        return exportXlsx(rows, path, options.sheetName, options.progress)
                   ? ExportResult::Written
                   : ExportResult::Cancelled;
    case ExportFormat::Pdf:
        if (!options.pdf)
            throw EExportError(QStringLiteral("Die PDF-Ausgabe ist nicht verfügbar / the PDF "
                                              "export is not available"));
        options.pdf(path);
        return ExportResult::Written;
    }
    return ExportResult::NothingDone;
}

ExportResult exportTable(AddressTable& table, const QString& path, int format,
                         const ExportOptions& options) {
    const std::optional<ExportFormat> f = exportFormat(format);
    if (!f)
        return ExportResult::NothingDone;
    table.recordCount(); // an open table, or EDatabaseError
    if (table.isModified())
        table.post();
    else if (table.state() == AddressTable::State::Insert ||
             table.state() == AddressTable::State::Edit)
        table.cancel();
    return exportRows(TableRows(table), path, *f, options);
}

ExportResult exportFile(AddressTable& table, const QString& path, int configured,
                        const ExportOptions& options) {
    const std::optional<ExportFormat> f = exportFormatForFile(path, configured);
    if (!f)
        return ExportResult::NothingDone;
    return exportTable(table, path, static_cast<int>(*f), options);
}

} // namespace kalvendo
