#include "output/import/FileImport.h"

#include "output/import/CsvImport.h"

namespace kalvendo {

QString importDialogFilter() {
    return QStringLiteral("Comma Separated Values (*.csv);;Textdateien (*.txt)");
}

QString importDefaultSuffix() {
    return QStringLiteral("csv");
}

ImportResult importFile(AddressTable& table, const QString& path, const ImportOptions& options) {
    const CsvPreview preview = previewCsv(path, options.userLabel, 1);
    CsvRecordSource source(path, preview.layout);
    return importRecords(table, source, options.progress);
}

} // namespace kalvendo
