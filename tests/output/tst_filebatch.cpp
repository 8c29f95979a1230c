#include "ImportExportFixture.h"

#include "common/IniFile.h"
#include "output/export/FileExport.h"
#include "output/report/ReportSystem.h"
#include "output/ui/FileBatch.h"

#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

struct Batch {
    AppFolder folder;
    Batch(const char* language, const char* group, int format) {
        AddressStore store;
        store.open(folder.data());
        store.insertRecords(std::vector<Record>{rec({"Abel", "Anna"}), rec({"Bauer", "Bea"}),
                                                rec({"Christ", "Carl"})});
        Record family = rec({"Berg", "Ben"});
        family[fGruppe] = QStringLiteral("Familie");
        store.insertRecord(family);
        IniFile ab(folder.dataFile(QStringLiteral("ab.ini")));
        ab.writeString(QStringLiteral("preferences"), QStringLiteral("language"),
                       QString::fromUtf8(language));
        ab.writeString(QStringLiteral("preferences"), QStringLiteral("group"),
                       QString::fromUtf8(group));
        ab.writeString(QStringLiteral("preferences"), QStringLiteral("definably"),
                       QStringLiteral("Firma:"));
        ab.writeInteger(QStringLiteral("export"), QStringLiteral("format"), format);
    }
    QString file(const char* name) const { return folder.path() + QString::fromUtf8(name); }
};

} // namespace

class TestFileBatch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The rows the window shows after start-up, headers in the stored language.
    void exportByExtension() {
        Batch b("English", "Familie", 0);
        exportFileBatch(b.folder.path(), b.file("a.csv"));
        QCOMPARE(readFile(b.file("a.csv")), QByteArray("Berg,Ben,,,,,,,,,,,,,Familie\r\n"));
        exportFileBatch(b.folder.path(), b.file("a.HTM"));
        const QByteArray html = readFile(b.file("a.HTM"));
        QVERIFY(html.contains("<html lang=\"en\">"));
        QVERIFY(html.contains("<th>Last name</th><th>First name</th>"));
        QVERIFY(html.contains("<th>Firma</th>"));
        QVERIFY(!html.contains("Abel"));
    }

    void exportByPreferenceWithoutExtension() {
        Batch b("German", "", 3);
        exportFileBatch(b.folder.path(), b.file("liste"));
        const QByteArray html = readFile(b.file("liste"));
        QVERIFY(html.contains("<th>Name</th><th>Vorname</th><th>Straße</th>"));
        QCOMPARE(html.count("<tr>"), 5);
    }

    void noFormatIsAnError() {
        Batch b("German", "", 7);
        QVERIFY_THROWS_EXCEPTION(EExportError, exportFileBatch(b.folder.path(), b.file("a.txt")));
        QVERIFY(!QFile::exists(b.file("a.txt")));
    }

    // A PDF is the report engine's: without fonts it refuses, nothing written.
    void pdfGoesToTheReportEngine() {
        Batch b("German", "", 0);
        QVERIFY_THROWS_EXCEPTION(EReportError, exportFileBatch(b.folder.path(), b.file("a.pdf")));
        QVERIFY(!QFile::exists(b.file("a.pdf")));
    }

    void importIntoTheFolder() {
        Batch b("German", "Familie", 0);
        writeFile(b.file("neu.csv"), "Vorname;Nachname;Firma\r\nErika;Muster;ACME\r\n");
        const ImportResult result = importFileBatch(b.folder.path(), b.file("neu.csv"));
        QCOMPARE(result.imported, 1);
        QCOMPARE(result.recordCount, 5);
        AddressTable t;
        t.connectFolder(b.folder.data());
        t.open();
        QVERIFY(t.locate(QStringLiteral("Name"), QStringLiteral("Muster")));
        QCOMPARE(t.fieldValue(fVorname), QStringLiteral("Erika"));
        QCOMPARE(t.fieldValue(fDefinierbar), QStringLiteral("ACME"));
    }
};

QTEST_GUILESS_MAIN(TestFileBatch)
#include "tst_filebatch.moc"
