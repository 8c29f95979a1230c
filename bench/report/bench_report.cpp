// Times the report engine over generated records (10,000 unless given): the
// PDF of Report1 and the print command up to its first page on screen, each
// beside only reading the same rows from the table, measured in the same run.
//
//   bench_report [records]

#include "addressbook/AddressStore.h"
#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "output/report/PdfExport.h"
#include "output/report/ReportLayout.h"
#include "output/report/ReportRows.h"
#include "output/report/ReportSystem.h"
#include "output/ui/ReportController.h"
#include "output/ui/TForm4.h"
#include "settings/Preferences.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

using namespace kalvendo;

namespace {

double ms(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

void report(const char* what, double ours, double plain) {
    std::printf("%-40s %9.1f ms   reading the rows %8.1f ms   ratio %6.1f\n", what, ours, plain,
                plain > 0 ? ours / plain : 0.0);
    std::fflush(stdout);
}

QString word(QRandomGenerator& rng, int min, int max) {
    static const char* syllables[] = {"ber",   "lin",  "ham", "burg", "mün", "chen", "kö",  "ln",
                                      "stadt", "dorf", "au",  "bach", "hof", "ei",   "ner", "mann"};
    QString s;
    const int n = int(rng.bounded(min, max + 1));
    for (int i = 0; i < n; ++i)
        s += QString::fromUtf8(syllables[rng.bounded(int(std::size(syllables)))]);
    s[0] = s[0].toUpper();
    return s;
}

// An open table of the folder, in name order, as the main window has it.
std::unique_ptr<AddressTable> openTable(const QString& data) {
    auto table = std::make_unique<AddressTable>();
    table->connectFolder(data);
    table->setIndexName(QStringLiteral("NAME"));
    table->open();
    return table;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;

    QTemporaryDir dir;
    const QString appPath = dir.path() + u'/';
    const QString data = appPath + QStringLiteral("daten");
    QDir().mkpath(data);
    QFile::copy(QStringLiteral(KALVENDO_DEFAULTS "/daten/velmora.rav"),
                data + QStringLiteral("/velmora.rav"));
    {
        IniFile ab(AppPaths(appPath).preferences());
        writePref(ab, prefs::key::exportPrint, 1);
    }
    AddressStore::createTable(data);
    {
        QRandomGenerator rng(2009);
        std::vector<Record> records(static_cast<size_t>(count));
        for (Record& r : records) {
            r[fName] = word(rng, 1, 3);
            r[fVorname] = word(rng, 1, 2);
            r[fStrasse] = word(rng, 1, 2) + QStringLiteral("straße");
            r[fNr] = QString::number(rng.bounded(1, 200));
            r[fPLZ] = QString::number(rng.bounded(10000, 99999));
            r[fWohnort] = word(rng, 1, 3);
            r[fTelefon] = QStringLiteral("0") + QString::number(rng.bounded(100000000, 999999999));
            r[fMobil] = QStringLiteral("01") + QString::number(rng.bounded(100000000, 999999999));
            r[fEmail] = r[fVorname].toLower() + QStringLiteral("@example.org");
        }
        AddressStore store;
        store.open(data);
        store.insertRecords(records);
    }
    std::printf("%d records, Report1\n", count);

    TMultilanguage lng(nullptr, QStringLiteral("lng"));
    lng.setScript(scriptForm1());
    lng.setLanguage(QStringLiteral("German"));
    lng.Loaded();
    const NamedStrings strings = [&](const QString& key) { return lng.GetString(key); };
    RvProject project;
    project.ProjectFile = reportProjectPath(appPath);
    project.Open();
    setravevariablen(project, 1, strings);
    const ReportDefinition& def = *project.findReport(QStringLiteral("Report1"));

    // Baseline: only reading the report's fields of every row, from a table
    // freshly opened (nothing cached), as a report run does.
    double plain = 1e30;
    for (int i = 0; i < 3; ++i) {
        auto table = openTable(data);
        plain = std::min(plain, ms([&]() {
                             qsizetype chars = 0;
                             const AddressTableRows rows(*table);
                             for (int r = 0; r < rows.rowCount(); ++r)
                                 for (const ReportColumn& c : def.columns)
                                     chars += rows.value(r, c.field).size();
                             if (chars == 0)
                                 std::fprintf(stderr, "no data read\n");
                         }));
    }

    int pages = 0;
    double layout = 1e30;
    double pdf = 1e30;
    const QString pdfFile = dir.filePath(QStringLiteral("liste.pdf"));
    for (int i = 0; i < 2; ++i) {
        auto table = openTable(data);
        const AddressTableRows rows(*table);
        std::optional<ReportDocument> doc;
        const double tLayout = ms([&]() { doc = layoutReport(def, project.params(), rows); });
        const double tWrite = ms([&]() { writeReportPdf(*doc, pdfFile, PdfInfo()); });
        layout = std::min(layout, tLayout);
        pdf = std::min(pdf, tLayout + tWrite);
        pages = doc->pageCount();
    }
    report("lay out the pages", layout, plain);
    report("PDF (lay out, draw, write)", pdf, plain);
    std::printf("%d pages, %lld KB PDF; target under 5 s: %s\n", pages,
                QFileInfo(pdfFile).size() / 1024, pdf < 5000 ? "met" : "NOT met");

    // The print command up to the preview's first page on screen.
    double firstPage = 1e30;
    for (int i = 0; i < 2; ++i) {
        auto table = openTable(data);
        QWidget window;
        ReportController controller(table.get(), &lng, appPath, &window);
        QElapsedTimer clock;
        double shown = -1;
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&]() {
            auto* form = qobject_cast<TForm4*>(QApplication::activeModalWidget());
            if (!form || !form->isVisible())
                return;
            poll.stop();
            (void)form->RvRenderPreview()->grab(); // the first page painted
            shown = clock.nsecsElapsed() / 1e6;
            form->close();
        });
        poll.start();
        clock.start();
        controller.ToolButton9Click();
        if (shown < 0) {
            std::fprintf(stderr, "the preview did not open\n");
            return 1;
        }
        firstPage = std::min(firstPage, shown);
    }
    report("print command to the first page shown", firstPage, plain);
    std::printf("first page target under 1 s: %s\n", firstPage < 1000 ? "met" : "NOT met");
    return 0;
}
