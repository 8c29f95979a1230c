#include "output/ui/FileBatch.h"
#include "addressbook/GroupFilter.h"
#include "common/AppPaths.h"

#include "addressbook/AddressTable.h"
#include "common/IniFile.h"
#include "lang/Script.h"
#include "lang/Scripts.h"
#include "output/export/FileExport.h"
#include "output/import/FileImport.h"
#include "output/ui/ReportBatch.h"
#include "settings/Preferences.h"

namespace kalvendo {

namespace {

// As the main window opens it: name order, the stored group as the filter.
void openShownTable(AddressTable& table, const QString& applicationPath, const IniFile& ab) {
    table.connectFolder(AppPaths(applicationPath).dataFolder());
    table.setIndexName(QStringLiteral("NAME"));
    table.open();
    if (const QString group = readPref(ab, prefs::startup::group); !group.isEmpty()) {
        try {
            setGroupFilter(table, group);
        } catch (const std::exception&) {
            // As at start-up: a stored group the filter cannot carry shows all.
        }
    }
}

// The stored language's section of the main window's script, and its code
// for the page's lang attribute.
struct Language {
    QStringList lines;
    QString code;
};

Language storedLanguage(const IniFile& ab) {
    const QStringList script = scriptForm1();
    QStringList languages;
    ListLanguages(script, languages);
    QString language = languages.value(0);
    const QString stored = readPref(ab, prefs::output::language);
    for (const QString& l : languages) {
        if (l.compare(stored, Qt::CaseInsensitive) == 0)
            language = l;
    }
    static const QStringList names{QStringLiteral("German"), QStringLiteral("English"),
                                   QStringLiteral("French"), QStringLiteral("Spanish"),
                                   QStringLiteral("Italian")};
    static const QStringList codes{QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("fr"),
                                   QStringLiteral("es"), QStringLiteral("it")};
    const qsizetype i = names.indexOf(language);
    return {selectLanguageLines(script, language), i >= 0 ? codes.at(i) : QString()};
}

} // namespace

void exportFileBatch(const QString& applicationPath, const QString& file,
                     std::optional<int> reportNumber) {
    const IniFile ab(AppPaths(applicationPath).preferences());
    const std::optional<ExportFormat> format =
        exportFormatForFile(file, readPref(ab, prefs::output::exportFormat));
    if (!format)
        throw EExportError(QStringLiteral("Für %1 ist kein Exportformat eingestellt; die Endung "
                                          ".xlsx, .csv, .html, .htm oder .pdf wählt eines / no "
                                          "export format is set for %1; the extension .xlsx, "
                                          ".csv, .html, .htm or .pdf chooses one")
                               .arg(file));
    if (*format == ExportFormat::Pdf) {
        exportPdfBatch(applicationPath, file, reportNumber);
        return;
    }
    const Language language = storedLanguage(ab);
    ExportOptions options;
    options.html.title = QStringLiteral("Adressen");
    options.html.language = language.code;
    options.html.headers =
        gridHeaders([&](const QString& key) { return lookUpString(language.lines, key); },
                    readPref(ab, prefs::startup::definably));
    AddressTable table;
    openShownTable(table, applicationPath, ab);
    exportTable(table, file, static_cast<int>(*format), options);
}

ImportResult importFileBatch(const QString& applicationPath, const QString& file) {
    const IniFile ab(AppPaths(applicationPath).preferences());
    AddressTable table;
    openShownTable(table, applicationPath, ab);
    return importFile(table, file, {readPref(ab, prefs::startup::definably), {}});
}

} // namespace kalvendo
