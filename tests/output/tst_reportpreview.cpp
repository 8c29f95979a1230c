// The print command, the preview window and the PDF export as the main window
// runs them: real table files, the main window's language engine, the modal
// preview driven from inside its own loop, printed and exported files read
// back with poppler's tools.

#include "ReportTestUtil.h"
#include "addressbook/AddressTable.h"
#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "common/SaveFile.h"
#include "lang/Multilanguage.h"
#include "output/report/ReportLayout.h"
#include "output/ui/ReportBatch.h"
#include "output/ui/ReportController.h"
#include "output/ui/TForm4.h"
#include "settings/Preferences.h"
#include "testsupport/AppFolder.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

#include <functional>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

// The parts of the main window a report run uses: the table, the language
// engine (German, switchable through the sync) and the controller.
struct Host {
    explicit Host(const AppFolder& folder) : folder(folder) {
        window.setObjectName(QStringLiteral("Form1"));
        lng = new TMultilanguage(&window, QStringLiteral("lng"));
        lng->setScript(scriptForm1());
        lng->Loaded();
        sync.setLanguage(QStringLiteral("German"));
        table = new AddressTable(&window);
        table->connectFolder(folder.data());
        table->setIndexName(QStringLiteral("NAME"));
        table->open();
        reports = new ReportController(table, lng, folder.path(), &window);
    }

    void setPref(const PrefKey& key, int value) {
        IniFile ab(AppPaths(folder.path()).preferences());
        writePref(ab, key, value);
    }
    void setPref(const PrefKey& key, const QString& value) {
        IniFile ab(AppPaths(folder.path()).preferences());
        writePref(ab, key, value);
    }

    // Runs the print command; `inside` runs once the modal preview is open,
    // which is closed afterwards. Returns whether a preview opened.
    bool print(const std::function<void(TForm4&)>& inside = {}) {
        bool opened = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&]() {
            auto* form = qobject_cast<TForm4*>(QApplication::activeModalWidget());
            if (!form || !form->isVisible())
                return;
            poll.stop();
            opened = true;
            if (inside)
                inside(*form);
            if (form->isVisible())
                QTest::mouseClick(form->toolButton(11), Qt::LeftButton);
        });
        poll.start();
        guardCommand(&window, [this]() { reports->ToolButton9Click(); });
        return opened;
    }

    void exportPdf(const QString& file) {
        guardCommand(&window, [&]() { reports->exportPdf(file); });
    }

    const AppFolder& folder;
    CaughtErrors errors; // an unexpected error fails the test instead of opening a box
    TMultilanguageSync sync;
    QWidget window;
    TMultilanguage* lng = nullptr;
    AddressTable* table = nullptr;
    ReportController* reports = nullptr;
};

// Prints to a PDF file in place of the system print dialog while it lives.
struct PrintToFile {
    explicit PrintToFile(QString path, bool confirm = true) {
        setPrintDialogAnswerer([this, path, confirm](QPrinter& printer, QWidget*) {
            ++asked;
            jobTitle = printer.docName();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            return confirm;
        });
    }
    ~PrintToFile() { setPrintDialogAnswerer({}); }
    int asked = 0;
    QString jobTitle;
};

void addPeople(const AppFolder& folder) {
    folder.addRecord({{fName, "Groß"},
                      {fVorname, "Jürgen"},
                      {fTelefon, "030 1234567"},
                      {fMobil, "0171 7654321"},
                      {fEmail, "juergen@example.org"},
                      {fGeburtstag, "24.12.1970"},
                      {fHomepage, "https://gross.example.org"},
                      {fGruppe, "Freunde"}});
    folder.addRecord({{fName, "Adler"},
                      {fVorname, "Anna"},
                      {fEmail, "anna@example.org"},
                      {fHomepage, "https://adler.example.org"},
                      {fGruppe, "Arbeit"}});
}

void addMany(const AppFolder& folder, int n) {
    AddressStore store;
    store.open(folder.data());
    std::vector<Record> records;
    for (int i = 0; i < n; ++i) {
        Record r;
        r[fName] = QStringLiteral("Person %1").arg(i, 4, 10, QLatin1Char('0'));
        records.push_back(r);
    }
    store.insertRecords(records);
}

QStringList texts(const ReportDocument& doc, ReportDocument::FontRole role) {
    QStringList out;
    for (const auto& t : doc.page(0).texts) {
        if (t.font == role)
            out << t.text;
    }
    return out;
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestReportPreview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void birthdayListPrinted();
    void numberOutsideReportsRunsNothing_data();
    void numberOutsideReportsRunsNothing();
    void printAfterExportStillPreviews();
    void pageButtonsStopAtTheEnds();
    void zoomStopsAt10And200();
    void languageSwitchReachesEverything();
    void printDialogCancelled();
    void cancelledWhileGenerating();
    void damagedProjectReachesAppException_data();
    void damagedProjectReachesAppException();
    void exportWebListAndDocumentInformation();
    void groupFilterRestrictsRows();
    void commandLineExport();
};

// print = 2: Report2 with its German heading and captions, through the preview
// to the printer (a PDF file here), read back with pdftotext.
void TestReportPreview::birthdayListPrinted() {
    AppFolder folder;
    addPeople(folder);
    Host host(folder);
    host.setPref(prefs::key::exportPrint, 2);
    QTemporaryDir out;
    const QString printed = out.filePath(QStringLiteral("printed.pdf"));
    PrintToFile printer(printed);

    const QStringList before = filesIn(folder.data());
    QVERIFY(host.print([&](TForm4& form) {
        QCOMPARE(form.windowTitle(), QStringLiteral("Druckvorschau"));
        QCOMPARE(form.size(), QSize(782, 520));
        QVERIFY(form.isModal());
        QCOMPARE(form.RvRenderPreview()->Pages(), 1);
        QTest::mouseClick(form.toolButton(9), Qt::LeftButton);
        QVERIFY(form.isVisible()); // printing leaves the preview open
    }));
    QCOMPARE(printer.asked, 1);
    QCOMPARE(printer.jobTitle, QStringLiteral("Kalvendo 2007"));
    QCOMPARE(filesIn(folder.data()), before);
    QCOMPARE(host.errors.classes, QStringList());
    // The project was closed after the run.
    QVERIFY(!host.reports->RvProject1().isOpen());

    REQUIRE_TOOL("pdftotext");
    const QString text = pdfText(printed);
    for (const char* expected :
         {"Geburtstagsliste", "Name", "Vorname", "Telefon", "Mobil", "E-Mail", "Geburtstag", "Groß",
          "Jürgen", "24.12.1970", "0171 7654321", "Adler", "Seite 1 von 1"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
    // Report2 has no street or web page column.
    QVERIFY(!text.contains(QStringLiteral("gross.example.org")));
    QCOMPARE(pdfInfoField(printed, QStringLiteral("Page size")).section(u' ', 0, 2),
             QStringLiteral("842 x 595"));
}

void TestReportPreview::numberOutsideReportsRunsNothing_data() {
    QTest::addColumn<int>("number");
    QTest::newRow("7") << 7;
    QTest::newRow("-1") << -1;
    QTest::newRow("4") << 4;
}

// A report number without a report: nothing is set, nothing is shown or
// written, no error.
void TestReportPreview::numberOutsideReportsRunsNothing() {
    QFETCH(int, number);
    AppFolder folder;
    addPeople(folder);
    Host host(folder);
    host.setPref(prefs::key::exportPrint, number);
    const QStringList before = filesIn(folder.data());

    QVERIFY(!host.print());
    host.reports->RvProject1().ProjectFile = reportProjectPath(folder.path());
    host.reports->RvProject1().Open();
    host.reports->setravevariablen(number);
    QVERIFY(host.reports->RvProject1().params().isEmpty());
    host.reports->RvProject1().Close();

    QTemporaryDir out;
    host.exportPdf(out.filePath(QStringLiteral("liste.pdf")));
    QVERIFY(filesIn(out.path()).isEmpty());
    QCOMPARE(filesIn(folder.data()), before);
    QCOMPARE(host.errors.classes, QStringList());
}

// The export leaves the report system pointed at its file; printing sets the
// preview again and writes nothing.
void TestReportPreview::printAfterExportStillPreviews() {
    AppFolder folder;
    addPeople(folder);
    Host host(folder);
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("export.pdf"));
    host.exportPdf(pdf);
    QVERIFY(QFile::exists(pdf));
    QVERIFY(QFile::remove(pdf));

    QVERIFY(host.print([](TForm4& form) { QCOMPARE(form.RvRenderPreview()->Pages(), 1); }));
    QVERIFY(filesIn(out.path()).isEmpty());
    QCOMPARE(host.reports->RvSystem1().destination, ReportDestination::Preview);
}

void TestReportPreview::pageButtonsStopAtTheEnds() {
    AppFolder folder;
    addMany(folder, 100);
    Host host(folder);
    QVERIFY(host.print([](TForm4& form) {
        TRvRenderPreview* r = form.RvRenderPreview();
        QVERIFY(r->Pages() >= 3);
        const QString last = QString::number(r->Pages());
        auto page = [&]() { return form.label(2)->text(); };
        auto click = [&](int n) { QTest::mouseClick(form.toolButton(n), Qt::LeftButton); };
        QCOMPARE(page(), QStringLiteral("1"));
        click(2);
        QCOMPARE(page(), QStringLiteral("1"));
        click(3);
        QCOMPARE(page(), QStringLiteral("2"));
        click(4);
        QCOMPARE(page(), last);
        click(3);
        QCOMPARE(page(), last);
        QCOMPARE(r->CurrentPage(), r->Pages());
        click(1);
        QCOMPARE(page(), QStringLiteral("1"));

        // Page Down / Page Up turn pages, also in the scroll box that would scroll.
        QTest::keyClick(form.ScrollBox1(), Qt::Key_PageDown);
        QCOMPARE(page(), QStringLiteral("2"));
        QTest::keyClick(form.ScrollBox1(), Qt::Key_PageUp);
        QTest::keyClick(form.ScrollBox1(), Qt::Key_PageUp);
        QCOMPARE(page(), QStringLiteral("1"));

        // The wheel scrolls the page and, at its end, turns to the next one.
        QScrollBar* bar = form.ScrollBox1()->verticalScrollBar();
        QWidget* viewport = form.ScrollBox1()->viewport();
        auto wheel = [&](int dy) {
            QWheelEvent e(QPointF(10, 10), viewport->mapToGlobal(QPointF(10, 10)), QPoint(),
                          QPoint(0, dy), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(viewport, &e);
        };
        bar->setValue(bar->maximum());
        wheel(-120);
        QCOMPARE(page(), QStringLiteral("2"));
        QCOMPARE(bar->value(), bar->minimum());
        wheel(120);
        QCOMPARE(page(), QStringLiteral("1"));
        bar->setValue(bar->minimum());
        wheel(120);
        QCOMPARE(page(), QStringLiteral("1"));
    }));
}

// Zoom in from 100 % reaches 110 %, 120 % and stops at 200 %; zoom out stops
// at 10 %. The page is drawn at the zoom, not scaled from a bitmap.
void TestReportPreview::zoomStopsAt10And200() {
    AppFolder folder;
    addPeople(folder);
    Host host(folder);
    QVERIFY(host.print([](TForm4& form) {
        TRvRenderPreview* r = form.RvRenderPreview();
        auto zoom = [&]() { return form.label(4)->text(); };
        QCOMPARE(zoom(), QStringLiteral("100 %"));
        const QSize at100 = r->size();
        QTest::mouseClick(form.toolButton(6), Qt::LeftButton);
        QCOMPARE(zoom(), QStringLiteral("110 %"));
        QTest::mouseClick(form.toolButton(6), Qt::LeftButton);
        QCOMPARE(zoom(), QStringLiteral("120 %"));
        for (int i = 0; i < 12; ++i)
            QTest::mouseClick(form.toolButton(6), Qt::LeftButton);
        QCOMPARE(zoom(), QStringLiteral("200 %"));
        QCOMPARE(r->ZoomFactor(), 200.0);
        QVERIFY(qAbs(r->width() - 2 * at100.width()) <= 2);

        // Drawn at the zoom, a stroke keeps edges about a pixel wide while its
        // core doubles: at 200 % the grey (edge) pixels per dark one roughly
        // halve. A page scaled up from a bitmap keeps or raises that share.
        auto greyShare = [&]() {
            const QImage img = r->grab(QRect(0, 0, r->width() / 3, r->height() / 8)).toImage();
            int dark = 0, grey = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const int v = qGray(img.pixel(x, y));
                    dark += v < 64;
                    grey += v >= 64 && v < 192;
                }
            return dark ? double(grey) / dark : 1e9;
        };
        const double sharp200 = greyShare();

        for (int i = 0; i < 30; ++i)
            QTest::mouseClick(form.toolButton(7), Qt::LeftButton);
        QCOMPARE(zoom(), QStringLiteral("10 %"));
        r->setZoomFactor(100);
        const double sharp100 = greyShare();
        QVERIFY2(sharp200 <= sharp100 * 0.8,
                 qPrintable(QStringLiteral("%1 vs %2").arg(sharp200).arg(sharp100)));

        // The renderer's own rules: below 10 becomes 10, above 200 becomes 200.
        r->setZoomFactor(3);
        QCOMPARE(r->ZoomFactor(), 10.0);
        r->setZoomFactor(950);
        QCOMPARE(r->ZoomFactor(), 200.0);
    }));
}

// After a language switch the next run shows the new language everywhere.
void TestReportPreview::languageSwitchReachesEverything() {
    AppFolder folder;
    addPeople(folder);
    Host host(folder);
    host.setPref(prefs::key::exportPrint, 2);
    QVERIFY(host.print([](TForm4& form) {
        QCOMPARE(form.label(1)->text(), QStringLiteral("Seite"));
        QCOMPARE(form.toolButton(1)->toolTip(), QStringLiteral("Erste Seite"));
    }));

    host.sync.setLanguage(QStringLiteral("English"));
    QVERIFY(host.print([](TForm4& form) {
        QCOMPARE(form.windowTitle(), QStringLiteral("Pintpreview"));
        QCOMPARE(form.label(1)->text(), QStringLiteral("Page"));
        QCOMPARE(form.label(3)->text(), QStringLiteral("Size"));
        const QStringList hints = strs({"First page", "back", "forward", "Last page", "Zoom in",
                                        "Zoom out", "Print", "Close"});
        QStringList got;
        for (int n : {1, 2, 3, 4, 6, 7, 9, 11})
            got << form.toolButton(n)->toolTip();
        QCOMPARE(got, hints);
        const ReportDocument& doc = *form.RvRenderPreview()->document();
        QCOMPARE(texts(doc, ReportDocument::Heading), strs({"Birthday list"}));
        QCOMPARE(texts(doc, ReportDocument::Caption),
                 (strs({"Name", "First name", "Telephone", "Mobile", "E-Mail", "Birthday"})));
        QCOMPARE(texts(doc, ReportDocument::Footer), strs({"Page 1 of 1"}));
    }));

    host.sync.setLanguage(QStringLiteral("French"));
    QVERIFY(host.print([](TForm4& form) {
        QCOMPARE(form.windowTitle(), QStringLiteral("Aperçu avant impression"));
        const ReportDocument& doc = *form.RvRenderPreview()->document();
        QCOMPARE(texts(doc, ReportDocument::Heading), strs({"Liste des anniversaires"}));
        QCOMPARE(texts(doc, ReportDocument::Footer), strs({"Page 1 sur 1"}));
    }));
}

void TestReportPreview::printDialogCancelled() {
    AppFolder folder;
    addPeople(folder);
    Host host(folder);
    QTemporaryDir out;
    PrintToFile printer(out.filePath(QStringLiteral("never.pdf")), false);
    QVERIFY(host.print([&](TForm4& form) {
        QTest::mouseClick(form.toolButton(9), Qt::LeftButton);
        QCOMPARE(printer.asked, 1);
        QVERIFY(form.isVisible());
    }));
    QVERIFY(filesIn(out.path()).isEmpty());
}

// The status window counts the pages as they are laid out; cancelling it
// ends the command without a preview or a file.
void TestReportPreview::cancelledWhileGenerating() {
    AppFolder folder;
    addMany(folder, 300);
    Host host(folder);
    host.reports->RvSystem1().statusDelay = 0;
    QStringList labels;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        auto* progress = host.window.findChild<QProgressDialog*>();
        if (!progress || !progress->isVisible())
            return;
        labels << progress->labelText() << progress->windowTitle();
        if (progress->value() >= 2) {
            poll.stop();
            progress->cancel();
        }
    });
    poll.start();
    QVERIFY(!host.print());
    QVERIFY(labels.contains(QStringLiteral("Generating page 2")));
    QVERIFY(labels.contains(QStringLiteral("Status")));

    QTemporaryDir out;
    poll.start();
    host.exportPdf(out.filePath(QStringLiteral("liste.pdf")));
    QVERIFY(filesIn(out.path()).isEmpty());
    QCOMPARE(host.errors.classes, QStringList());
}

void TestReportPreview::damagedProjectReachesAppException_data() {
    QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
    QTest::addColumn<QString>("part");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("existiert nicht");
    QTest::newRow("not XML") << QByteArray("\x00\x01RAVE", 6) << QStringLiteral("XML");
    QTest::newRow("unknown field")
        << QByteArray("<reportproject version=\"1\"><report name=\"Report0\"><page size=\"A4\" "
                      "orientation=\"landscape\" left=\"1\" top=\"1\" right=\"1\" bottom=\"1\"/>"
                      "<table><column field=\"Spitzname\" caption=\"name\" width=\"1\"/></table>")
        << QStringLiteral("Spitzname");
    QTest::newRow("report missing")
        << QByteArray("<reportproject version=\"1\"/>") << QStringLiteral("Report0");
}

// A missing or damaged project: the error reaches the application-wide
// handler, no preview opens and no file is written.
void TestReportPreview::damagedProjectReachesAppException() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, part);
    AppFolder folder;
    addPeople(folder);
    const QString rav = folder.dataFile(QStringLiteral("velmora.rav"));
    QVERIFY(QFile::remove(rav));
    if (!bytes.isEmpty())
        writeFileAtomically(rav, bytes);
    Host host(folder);

    QVERIFY(!host.print());
    QTemporaryDir out;
    host.exportPdf(out.filePath(QStringLiteral("liste.pdf")));
    QVERIFY(filesIn(out.path()).isEmpty());
    QCOMPARE(host.errors.classes, (strs({"EReportProjectError", "EReportProjectError"})));
    QVERIFY2(host.errors.messages.at(0).contains(part), qPrintable(host.errors.messages.at(0)));
    QVERIFY(host.errors.messages.at(0).contains(rav));
    QVERIFY(!host.reports->RvProject1().isOpen());
}

// print = 3 exported: the web list with its heading in the current language,
// title and author from ab.ini as pdfinfo reads them.
void TestReportPreview::exportWebListAndDocumentInformation() {
    REQUIRE_TOOL("pdftotext");
    AppFolder folder;
    addPeople(folder);
    Host host(folder);
    host.setPref(prefs::key::exportPrint, 3);
    host.setPref(prefs::key::pdfTitle, QStringLiteral("Webseiten für Jürgen"));
    host.setPref(prefs::key::pdfAuthor, QStringLiteral("Jörg Groß"));
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("web.pdf"));
    host.exportPdf(pdf);
    QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Webliste")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("https://adler.example.org")));
    QVERIFY(text.contains(QStringLiteral("Webseite")));
    QVERIFY(!text.contains(QStringLiteral("24.12.1970")));
    QCOMPARE(pdfInfoField(pdf, QStringLiteral("Title")), QStringLiteral("Webseiten für Jürgen"));
    QCOMPARE(pdfInfoField(pdf, QStringLiteral("Author")), QStringLiteral("Jörg Groß"));

    host.sync.setLanguage(QStringLiteral("Spanish"));
    host.exportPdf(pdf);
    text = pdfText(pdf);
    QVERIFY2(!text.contains(QStringLiteral("Webliste")), qPrintable(text));
    QVERIFY(text.contains(host.lng->GetString(QStringLiteral("rep3headline"))));
    QVERIFY(host.lng->GetString(QStringLiteral("rep3headline")) != u"Webliste");
}

// The report lists what the table shows: a group filter restricts the rows.
void TestReportPreview::groupFilterRestrictsRows() {
    REQUIRE_TOOL("pdftotext");
    AppFolder folder;
    addPeople(folder);
    Host host(folder);
    host.table->setFilter(QStringLiteral("Gruppe = [Freunde]"));
    host.table->setFiltered(true);
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("freunde.pdf"));
    host.exportPdf(pdf);
    const QString text = pdfText(pdf);
    QVERIFY(text.contains(QStringLiteral("Groß")));
    QVERIFY(!text.contains(QStringLiteral("Adler")));

    host.table->setFiltered(false);
    host.exportPdf(pdf);
    QVERIFY(pdfText(pdf).contains(QStringLiteral("Adler")));
}

// The command line's export: the report from --report or ab.ini, the stored
// language and group; a report number that names no report is an error.
void TestReportPreview::commandLineExport() {
    REQUIRE_TOOL("pdftotext");
    AppFolder folder;
    addPeople(folder);
    {
        IniFile ab(AppPaths(folder.path()).preferences());
        writePref(ab, prefs::key::language, QStringLiteral("english"));
        writePref(ab, prefs::key::group, QStringLiteral("Arbeit"));
        writePref(ab, prefs::key::exportPrint, 3);
    }
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("batch.pdf"));
    exportPdfBatch(folder.path(), pdf);
    QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Web list")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Adler")));
    QVERIFY(!text.contains(QStringLiteral("Groß")));

    exportPdfBatch(folder.path(), pdf, 2);
    QVERIFY(pdfText(pdf).contains(QStringLiteral("Birthday list")));

    const QString never = out.filePath(QStringLiteral("never.pdf"));
    QVERIFY_THROWS_EXCEPTION(EReportError, exportPdfBatch(folder.path(), never, 9));
    QVERIFY(!QFile::exists(never));
    QVERIFY(QFile::remove(folder.dataFile(QStringLiteral("velmora.rav"))));
    QVERIFY_THROWS_EXCEPTION(EReportProjectError, exportPdfBatch(folder.path(), never, 1));
    QVERIFY(!QFile::exists(never));
}

QTEST_MAIN(TestReportPreview)
#include "tst_reportpreview.moc"
