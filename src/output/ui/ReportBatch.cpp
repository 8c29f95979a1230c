#include "output/ui/ReportBatch.h"
#include "addressbook/GroupFilter.h"

#include "addressbook/AddressTable.h"
#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "lang/Script.h"
#include "lang/Scripts.h"
#include "output/report/ReportRows.h"
#include "output/report/ReportSystem.h"
#include "settings/Preferences.h"

namespace kalvendo {

namespace {

QStringList namedStringLines(const QString& storedLanguage) {
    const QStringList script = scriptForm1();
    QStringList languages;
    ListLanguages(script, languages);
    QString language = languages.value(0);
    for (const QString& l : languages) {
        if (l.compare(storedLanguage, Qt::CaseInsensitive) == 0)
            language = l;
    }
    return selectLanguageLines(script, language);
}

} // namespace

void exportPdfBatch(const QString& applicationPath, const QString& pdfPath,
                    std::optional<int> reportNumber) {
    requireFonts();
    const IniFile ab(AppPaths(applicationPath).preferences());
    const int number = reportNumber.value_or(readPref(ab, prefs::output::exportPrint));
    if (reportName(number).isEmpty())
        throw EReportError(QStringLiteral("Einen Report %1 gibt es nicht, nur 0 bis 3 / there is "
                                          "no report %1, only 0 to 3")
                               .arg(number));

    const QStringList lines = namedStringLines(readPref(ab, prefs::output::language));
    const NamedStrings strings = [&lines](const QString& key) { return lookUpString(lines, key); };

    AddressTable table;
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

    PdfInfo info;
    info.title = readPref(ab, prefs::output::pdfTitle);
    info.author = readPref(ab, prefs::output::pdfAuthor);
    exportReportPdf(reportProjectPath(applicationPath), number, strings, AddressTableRows(table),
                    pdfPath, info);
}

} // namespace kalvendo
