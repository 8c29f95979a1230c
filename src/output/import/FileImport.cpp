#include "output/import/FileImport.h"

#include "output/import/CsvImport.h"
#include "output/import/VCardSource.h"

#include <QFileInfo>

namespace kalvendo {

QString importDialogFilter() {
    return QStringLiteral(
        "Comma Separated Values (*.csv);;Textdateien (*.txt);;vCard-Dateien (*.vcf)");
}

QString importDefaultSuffix() {
    return QStringLiteral("csv");
}

ImportResult importFile(AddressTable& table, const QString& path, const ImportOptions& options) {
    if (QFileInfo(path).suffix().compare(u"vcf", Qt::CaseInsensitive) == 0) {
        VCardSource source(path);
        return importRecords(table, source, options.progress);
    }
    const CsvPreview preview = previewCsv(path, options.userLabel, 1);
    CsvRecordSource source(path, preview.layout);
    return importRecords(table, source, options.progress);
}

} // namespace kalvendo
