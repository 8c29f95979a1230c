// The report engine without windows: the project file, the variables, the
// layout, and the PDF file read back with poppler's tools.

#include "ReportTestUtil.h"
#include "common/SaveFile.h"
#include "output/report/PdfExport.h"
#include "output/report/ReportLayout.h"
#include "output/report/ReportProject.h"
#include "output/report/ReportSystem.h"
#include "testsupport/FullDisk.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

Record person(const QString& name, const QString& first = {}, const QString& birthday = {}) {
    Record r;
    r[fName] = name;
    r[fVorname] = first;
    r[fGeburtstag] = birthday;
    return r;
}

// A run of one shipped report in German over the rows.
ReportDocument layoutShipped(int number, const ReportRows& rows,
                             const QString& language = QStringLiteral("German")) {
    RvProject project;
    project.ProjectFile = shippedProject();
    project.Open();
    setravevariablen(project, number, namedStrings(language));
    std::optional<ReportDocument> doc =
        layoutReport(*project.findReport(reportName(number)), project.params(), rows);
    return std::move(*doc);
}

QStringList texts(const ReportDocument& doc, int page, ReportDocument::FontRole role) {
    QStringList out;
    for (const ReportDocument::Text& t : doc.page(page).texts) {
        if (t.font == role)
            out << t.text;
    }
    return out;
}

const QByteArray kGoodHead = R"(<?xml version="1.0" encoding="UTF-8"?>
<reportproject version="1">
)";

QByteArray report(const char* name,
                  const char* column = R"(<column field="Name" caption="name" width="1"/>)") {
    return QByteArray(R"(<report name=")") + name + R"(">
<page size="A4" orientation="landscape" left="15" top="12" right="15" bottom="12"/>
<header heading="ueberschrift" size="16" date="yes"/>
<table>)" + column +
           R"(</table>
<footer page="labelsite" of="labelof" size="8"/>
</report>
)";
}

QByteArray project(const QByteArray& reports) {
    return kGoodHead + reports + "</reportproject>\n";
}

QByteArray fourReports() {
    return report("Report0") + report("Report1") + report("Report2") + report("Report3");
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shippedReports_data();
    void shippedReports();
    void damagedProject_data();
    void damagedProject();
    void variables_data();
    void variables();
    void rowsNeverSplit();
    void emptyTableStillHasAPage();
    void anyScriptStaysInItsCell_data();
    void anyScriptStaysInItsCell();
    void cancelStopsTheRun();
    void pdfDocumentInformation_data();
    void pdfDocumentInformation();
    void failedPdfKeepsTheOldFile();
};

void TestReportEngine::shippedReports_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("Report0") << 0
                             << strs({"Name", "Vorname", "Strasse", "Nr.", "PLZ", "Wohnort",
                                      "Telefon"})
                             << strs({"name", "fname", "street", "no", "zip", "city", "telephone"});
    QTest::newRow("Report1") << 1
                             << strs({"Name", "Vorname", "Strasse", "Nr.", "PLZ", "Wohnort",
                                      "Telefon", "Mobil", "Email"})
                             << strs({"name", "fname", "street", "no", "zip", "city", "telephone",
                                      "mobile", "mail"});
    QTest::newRow("Report2") << 2
                             << strs({"Name", "Vorname", "Telefon", "Mobil", "Email", "Geburtstag"})
                             << strs({"name", "fname", "telephone", "mobile", "mail", "birthday"});
    QTest::newRow("Report3") << 3 << strs({"Name", "Vorname", "Email", "Homepage"})
                             << strs({"name", "fname", "mail", "website"});
}

// The installation's project holds the four lists, each column named by a
// variable that setravevariablen sets for that report.
void TestReportEngine::shippedReports() {
    QFETCH(int, number);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, captions);
    const ReportProject project = ReportProject::load(shippedProject());
    const ReportDefinition* def = project.findReport(reportName(number));
    QVERIFY(def);
    QStringList gotFields, gotCaptions;
    for (const ReportColumn& c : def->columns) {
        gotFields << fieldName(c.field);
        gotCaptions << c.caption;
    }
    QCOMPARE(gotFields, fields);
    QCOMPARE(gotCaptions, captions);
    QCOMPARE(def->pageSize.id(), QPageSize::A4);
    QCOMPARE(def->orientation, QPageLayout::Landscape);
    QVERIFY(def->shading.isValid());

    RvProject run;
    run.ProjectFile = shippedProject();
    run.Open();
    QVERIFY(setravevariablen(run, number, namedStrings(QStringLiteral("German"))));
    for (const QString& c : captions + QStringList{def->headingVariable, def->footerPageVariable,
                                                   def->footerOfVariable})
        QVERIFY2(!run.params().value(c).isEmpty(), qPrintable(c));
}

void TestReportEngine::damagedProject_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected"); // parts of the message

    QTest::newRow("not XML") << QByteArray("Rave project\x01\x02 binary")
                             << strs({"kein gültiges XML", "Zeile 1"});
    QTest::newRow("empty file") << QByteArray() << strs({"kein gültiges XML"});
    QTest::newRow("cut off") << project(fourReports()).left(300)
                             << strs({"kein gültiges XML", "Zeile"});
    QTest::newRow("other root") << QByteArray("<?xml version=\"1.0\"?><project/>")
                                << strs({"<project>", "Zeile 1"});
    QTest::newRow("unknown field")
        << project(report("Report0", R"(<column field="Nachname" caption="name" width="1"/>)") +
                   report("Report1") + report("Report2") + report("Report3"))
        << strs({"unbekanntes Feld \"Nachname\"", "Zeile 6", "unknown field"});
    QTest::newRow("report missing")
        << project(report("Report0") + report("Report1") + report("Report3"))
        << strs({"der Report Report2 fehlt", "report Report2 is missing"});
    QTest::newRow("report twice") << project(fourReports() + report("Report1"))
                                  << strs({"Report1 ist doppelt"});
    QTest::newRow("unknown attribute")
        << project(report("Report0", R"(<column field="Name" caption="name" widht="1"/>)") +
                   report("Report1") + report("Report2") + report("Report3"))
        << strs({"unbekanntes Attribut \"widht\" in <column>", "Zeile 6"});
    QTest::newRow("width not a number")
        << project(report("Report0", R"(<column field="Name" caption="name" width="breit"/>)") +
                   report("Report1") + report("Report2") + report("Report3"))
        << strs({"\"breit\"", "width", "Zeile 6"});
    QTest::newRow("table without columns") << project(report("Report0", "") + report("Report1") +
                                                      report("Report2") + report("Report3"))
                                           << strs({"keine Spalte"});
    QTest::newRow("margins wider than the page")
        << project(QByteArray(fourReports())
                       .replace(R"(left="15")", R"(left="150")")
                       .replace(R"(right="15")", R"(right="150")"))
        << strs({"Ränder"});
    QTest::newRow("unknown version") << QByteArray(fourReports())
                                            .prepend("<reportproject version=\"2\">")
                                            .append("</reportproject>")
                                     << strs({"Version 2"});
}

// A damaged file is refused as a whole, with a message naming the file, what
// is wrong and where.
void TestReportEngine::damagedProject() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("velmora.rav"));
    writeFileAtomically(path, bytes);
    RvProject p;
    p.ProjectFile = path;
    try {
        p.Open();
        QFAIL("a damaged project opened");
    } catch (const EReportProjectError& e) {
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        for (const QString& part : expected)
            QVERIFY2(e.message().contains(part), qPrintable(e.message()));
        QCOMPARE(QString::fromLatin1(e.className()), QStringLiteral("EReportProjectError"));
    }
    QVERIFY(!p.isOpen());

    // A missing file is named as such.
    p.ProjectFile = dir.filePath(QStringLiteral("fehlt.rav"));
    try {
        p.Open();
        QFAIL("a missing project opened");
    } catch (const EReportProjectError& e) {
        QVERIFY(e.message().contains(QStringLiteral("existiert nicht")));
        QVERIFY(e.message().contains(p.ProjectFile));
    }
}

void TestReportEngine::variables_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QString>("heading");
    const QStringList tail = strs({"labelsite", "labelof"});
    QTest::newRow("0") << 0
                       << strs({"ueberschrift", "name", "fname", "street", "no", "zip", "city",
                                "telephone"}) +
                              tail
                       << QStringLiteral("Adressenliste");
    QTest::newRow("1") << 1
                       << strs({"ueberschrift", "name", "fname", "street", "no", "zip", "city",
                                "telephone", "mobile", "mail"}) +
                              tail
                       << QStringLiteral("Adressenliste");
    QTest::newRow("2") << 2
                       << strs({"ueberschrift", "name", "fname", "telephone", "mobile", "mail",
                                "birthday"}) +
                              tail
                       << QStringLiteral("Geburtstagsliste");
    QTest::newRow("3") << 3 << strs({"ueberschrift", "name", "fname", "mail", "website"}) + tail
                       << QStringLiteral("Webliste");
    QTest::newRow("7 sets nothing") << 7 << QStringList() << QString();
    QTest::newRow("-1 sets nothing") << -1 << QStringList() << QString();
}

void TestReportEngine::variables() {
    QFETCH(int, number);
    QFETCH(QStringList, order);
    QFETCH(QString, heading);
    RvProject p;
    p.ProjectFile = shippedProject();
    p.Open();
    QCOMPARE(setravevariablen(p, number, namedStrings(QStringLiteral("German"))), !order.isEmpty());
    QCOMPARE(p.paramOrder(), order);
    QCOMPARE(p.params().value(QStringLiteral("ueberschrift")), heading);
    QCOMPARE(reportName(number).isEmpty(), order.isEmpty());
}

// Every row lies whole on one page, below the captions and above the footer,
// in the rows' order; the footer counts the pages.
void TestReportEngine::rowsNeverSplit() {
    VectorRows rows;
    for (int i = 0; i < 150; ++i)
        rows.rows.push_back(person(QStringLiteral("Person %1").arg(i, 3, 10, QLatin1Char('0'))));
    const ReportDocument doc = layoutShipped(0, rows);
    const int per = doc.rowsPerPage();
    QVERIFY(per > 10);
    QCOMPARE(doc.pageCount(), (150 + per - 1) / per);

    int next = 0;
    for (int p = 0; p < doc.pageCount(); ++p) {
        double captionBottom = 0, footerTop = 1e9;
        for (const auto& t : doc.page(p).texts) {
            if (t.font == ReportDocument::Caption)
                captionBottom = std::max(captionBottom, t.cell.bottom());
            if (t.font == ReportDocument::Footer)
                footerTop = t.cell.top();
        }
        for (const auto& t : doc.page(p).texts) {
            if (t.font != ReportDocument::Body || !t.text.startsWith(QStringLiteral("Person")))
                continue;
            QCOMPARE(t.text, QStringLiteral("Person %1").arg(next++, 3, 10, QLatin1Char('0')));
            QVERIFY(t.cell.top() >= captionBottom);
            QVERIFY(t.cell.bottom() <= footerTop);
        }
        QCOMPARE(texts(doc, p, ReportDocument::Footer),
                 QStringList{QStringLiteral("Seite %1 von %2").arg(p + 1).arg(doc.pageCount())});
        QCOMPARE(texts(doc, p, ReportDocument::Heading), strs({"Adressenliste"}));
    }
    QCOMPARE(next, 150);
}

void TestReportEngine::emptyTableStillHasAPage() {
    const VectorRows none;
    const ReportDocument doc = layoutShipped(2, none);
    QCOMPARE(doc.pageCount(), 1);
    QCOMPARE(texts(doc, 0, ReportDocument::Caption),
             (strs({"Name", "Vorname", "Telefon", "Mobil", "E-Mail", "Geburtstag"})));
    QCOMPARE(texts(doc, 0, ReportDocument::Footer), strs({"Seite 1 von 1"}));
}

void TestReportEngine::anyScriptStaysInItsCell_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("CJK") << QStringLiteral("東京都渋谷区神南一丁目十九番十一号パークウェースクエア"
                                           "二の四階北東側会議室山田花子様方");
    QTest::newRow("Arabic") << QStringLiteral("محمد بن عبد الرحمن الهاشمي القرشي المكي المدني "
                                              "شارع الملك فهد الرياض");
    QTest::newRow("emoji") << QStringLiteral(
        "👩‍👩‍👧‍👦🎉🇩🇪👍🏽 Familie Müller "
        "🏠🏠🏠🏠🏠🏠🏠🏠🏠🏠🏠");
    QTest::newRow("mixed direction")
        << QStringLiteral("Straße \u202Everkehrt\u202C אבג דהו 123 العربية Ende");
    QTest::newRow("combining marks")
        << QStringLiteral("Z̸̢̛a̷͇͐l̶̰̈́g̵̣̿ǒ̴̱ ") + QString(40, QChar(0x0301)) + QStringLiteral("Text");
    QTest::newRow("500 characters") << QString(500, QLatin1Char('W'));
    QTest::newRow("500 without blanks, line breaks")
        << (QString(250, QChar(0x00C4)) + QStringLiteral("\r\n\t") + QString(247, QChar(0x6F22)));
}

// Whatever the script, a value never reaches into the next cell: the layout
// shortens it with "…", the PDF's word boxes (read by pdftotext) stay inside
// the column, and drawing it at any zoom does not fail.
void TestReportEngine::anyScriptStaysInItsCell() {
    QFETCH(QString, value);
    VectorRows rows;
    for (int i = 0; i < 3; ++i) {
        Record r;
        for (int f = 0; f < kFieldCount; ++f)
            r[size_t(f)] = value;
        rows.rows.push_back(r);
    }
    const ReportDocument doc = layoutShipped(1, rows);
    const QFontMetricsF fm(doc.font(ReportDocument::Body));
    int shortened = 0;
    for (const auto& t : doc.page(0).texts) {
        if (t.font != ReportDocument::Body)
            continue;
        QVERIFY2(t.origin.x() >= t.cell.left() &&
                     t.origin.x() + fm.horizontalAdvance(t.text) <= t.cell.right() + 0.01,
                 qPrintable(t.text));
        QVERIFY(!t.text.contains(u'\n') && !t.text.contains(u'\t'));
        if (t.clip) {
            // Right to left and embedded runs may close with direction marks
            // after the "…".
            QVERIFY2(t.text.contains(QChar(0x2026)), qPrintable(t.text));
            ++shortened;
        }
    }
    QVERIFY(shortened > 0);

    QImage image(300, 212, QImage::Format_RGB32);
    for (double zoom : {0.1, 1.0, 2.0}) {
        image = QImage((doc.paperSize() / 10 * zoom).toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        doc.drawPage(painter, 0, QRectF(image.rect()));
    }

    REQUIRE_TOOL("pdftotext");
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("scripts.pdf"));
    writeReportPdf(doc, pdf, PdfInfo());
    const auto pages = pdfWordBoxes(pdf);
    QCOMPARE(int(pages.size()), 1);
    // Column edges and the table's rows in points, as pdftotext measures.
    std::vector<double> edges;
    for (double e : doc.columnEdges())
        edges.push_back(e / ReportDocument::kUnitsPerPoint);
    double rowsTop = 1e9, rowsBottom = 0;
    for (const auto& t : doc.page(0).texts) {
        if (t.font == ReportDocument::Body) {
            rowsTop = std::min(rowsTop, t.cell.top() / ReportDocument::kUnitsPerPoint);
            rowsBottom = std::max(rowsBottom, t.cell.bottom() / ReportDocument::kUnitsPerPoint);
        }
    }
    int checked = 0;
    for (const WordBox& w : pages[0]) {
        if (w.yMin < rowsTop || w.yMax > rowsBottom + 1)
            continue;
        ++checked;
        for (size_t i = 1; i + 1 < edges.size(); ++i)
            QVERIFY2(!(w.xMin < edges[i] - 0.5 && w.xMax > edges[i] + 0.5),
                     qPrintable(QStringLiteral("\"%1\" %2..%3 crosses the column edge at %4")
                                    .arg(w.word)
                                    .arg(w.xMin)
                                    .arg(w.xMax)
                                    .arg(edges[i])));
        QVERIFY(w.xMin >= edges.front() - 0.5 && w.xMax <= edges.back() + 0.5);
    }
    QVERIFY(checked > 0);
}

void TestReportEngine::cancelStopsTheRun() {
    VectorRows rows;
    for (int i = 0; i < 200; ++i)
        rows.rows.push_back(person(QStringLiteral("P%1").arg(i)));
    const ReportProject project = ReportProject::load(shippedProject());
    QList<int> seen;
    const auto doc = layoutReport(*project.findReport(QStringLiteral("Report0")), {}, rows,
                                  [&](int page, int pages) {
                                      seen << page;
                                      return page < pages - 1;
                                  });
    QVERIFY(!doc);
    QVERIFY(seen.size() >= 2);
    QCOMPARE(seen.first(), 1);
}

void TestReportEngine::pdfDocumentInformation_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("author");
    QTest::newRow("umlauts") << QStringLiteral("Adressen für Jürgen Groß")
                             << QStringLiteral("Jörg Müller-Lüdenscheidt");
    QTest::newRow("other scripts")
        << QStringLiteral("東京の住所録 – Ελληνικά") << QStringLiteral("محمد 👍");
    QTest::newRow("no author") << QStringLiteral("Adressenliste") << QString();
}

// Title and author read back by pdfinfo exactly; creator and producer as the
// program names itself; every font embedded (pdffonts).
void TestReportEngine::pdfDocumentInformation() {
    QFETCH(QString, title);
    QFETCH(QString, author);
    REQUIRE_TOOL("pdfinfo");
    VectorRows rows;
    rows.rows.push_back(
        person(QStringLiteral("Groß"), QStringLiteral("Jürgen"), QStringLiteral("24.12.1970")));
    const ReportDocument doc = layoutShipped(2, rows);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("info.pdf"));
    PdfInfo info;
    info.title = title;
    info.author = author;
    writeReportPdf(doc, pdf, info);

    QCOMPARE(pdfInfoField(pdf, QStringLiteral("Title")), title);
    QCOMPARE(pdfInfoField(pdf, QStringLiteral("Author")), author);
    QCOMPARE(pdfInfoField(pdf, QStringLiteral("Creator")), QStringLiteral("Kalvendo 2006"));
    QCOMPARE(pdfInfoField(pdf, QStringLiteral("Producer")),
             QStringLiteral("Kalvendo (https://kalvendo.example.org/)"));
    QCOMPARE(pdfInfoField(pdf, QStringLiteral("Page size")).section(u' ', 0, 2),
             QStringLiteral("842 x 595"));
    QCOMPARE(pdfPages(pdf), 1);

    REQUIRE_TOOL("pdffonts");
    const QStringList fonts =
        runTool(QStringLiteral("pdffonts"), {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString& line : fonts) {
        // name type encoding emb sub uni object ID: "emb" is the fourth column from the right.
        const QStringList cols = line.simplified().split(u' ');
        QVERIFY2(cols.size() >= 7 && cols.at(cols.size() - 5) == u"yes", qPrintable(line));
    }
    const QString text = pdfText(pdf);
    QVERIFY(text.contains(QStringLiteral("Geburtstagsliste")));
    QVERIFY(text.contains(QStringLiteral("Jürgen")));
}

// A PDF that cannot be written whole leaves the file that was there.
void TestReportEngine::failedPdfKeepsTheOldFile() {
    FullDisk disk(256);
    if (!disk.available())
        QSKIP("mounting a small tmpfs needs root");
    const QString pdf = disk.file(QStringLiteral("liste.pdf"));
    writeFileAtomically(pdf, "old contents");
    disk.fill();
    VectorRows rows;
    for (int i = 0; i < 2000; ++i)
        rows.rows.push_back(person(QStringLiteral("Person %1").arg(i)));
    const ReportDocument doc = layoutShipped(0, rows);
    QVERIFY_THROWS_EXCEPTION(EWriteError, writeReportPdf(doc, pdf, PdfInfo()));
    QFile f(pdf);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("old contents"));

    // A folder that does not exist: no file, a named error.
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("fehlt/liste.pdf"));
    QVERIFY_THROWS_EXCEPTION(EWriteError, writeReportPdf(doc, missing, PdfInfo()));
    QVERIFY(!QFile::exists(missing));
}

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
