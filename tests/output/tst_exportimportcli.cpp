// The built program exports and imports from its command line without a
// display, as a script or a nightly job would run it.
#include "ImportExportFixture.h"
#include "ReportTestUtil.h"

#include "app/ProgramRun.h"
#include "common/IniFile.h"

#include <QTemporaryDir>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

// A desktop session's runtime folder, without which Qt's platform layer warns
// on stderr.
ProgramResult runKalvendo(const AppFolder& app, const QStringList& arguments) {
    QTemporaryDir runtime;
    QProcessEnvironment env = environmentWithoutDisplay();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    return runProgram(QStringList{QStringLiteral("--appdir"), app.path()} + arguments, env);
}

void seed(AppFolder& app) {
    AddressStore store;
    store.open(app.data());
    Record abel = rec({"Abel", "Anna", "Am Hang, Hof"});
    store.insertRecords(std::vector<Record>{abel, rec({"Bauer", "Bea"})});
    IniFile ab(app.dataFile(QStringLiteral("ab.ini")));
    ab.writeInteger(QStringLiteral("export"), QStringLiteral("print"), 0);
}

QStringList names(const AppFolder& app) {
    AddressTable t;
    t.connectFolder(app.data());
    t.open();
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldValue(fName);
    return out;
}

} // namespace

class TestExportImportCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void csvExportAndImport() {
        AppFolder app;
        seed(app);
        QTemporaryDir out;
        const QString csv = out.filePath(QStringLiteral("liste.csv"));
        ProgramResult r = runKalvendo(app, {QStringLiteral("--export"), csv});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.isEmpty() && r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(readFile(csv), QByteArray("Abel,Anna,\"Am Hang, Hof\",,,,,,,,,,,,\r\n"
                                           "Bauer,Bea,,,,,,,,,,,,,\r\n"));

        const QString in = out.filePath(QStringLiteral("neu.csv"));
        writeFile(in, "Muster,Erika\r\n");
        r = runKalvendo(app, {QStringLiteral("--import"), in});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.isEmpty() && r.err.isEmpty());
        QCOMPARE(names(app), (QStringList{QStringLiteral("Abel"), QStringLiteral("Bauer"),
                                          QStringLiteral("Muster")}));
    }

    // Fonts come from the offscreen platform: no display is needed.
    void pdfExportWithoutDisplay() {
        AppFolder app;
        seed(app);
        QTemporaryDir out;
        const QString pdf = out.filePath(QStringLiteral("liste.pdf"));
        const ProgramResult r = runKalvendo(app, {QStringLiteral("--export"), pdf,
                                                  QStringLiteral("--report"), QStringLiteral("1")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.isEmpty() && r.err.isEmpty(), qPrintable(r.err));
        QVERIFY(readFile(pdf).startsWith("%PDF-"));
        REQUIRE_TOOL("pdftotext");
        const QString text = pdfText(pdf);
        QVERIFY2(text.contains(QStringLiteral("Abel")) && text.contains(QStringLiteral("Bauer")),
                 qPrintable(text));
    }

    void failureIsOneLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("part");
        QTest::newRow("export into a missing folder")
            << QStringList{QStringLiteral("--export"), QStringLiteral("/nonexistent/dir/a.csv")}
            << QStringLiteral("Cannot Create file");
        QTest::newRow("import of a missing file")
            << QStringList{QStringLiteral("--import"), QStringLiteral("/nonexistent/a.csv")}
            << QStringLiteral("/nonexistent/a.csv");
        QTest::newRow("export without a format")
            << QStringList{QStringLiteral("--export"), QStringLiteral("/tmp/kalvendo-none.txt")}
            << QString();
    }
    void failureIsOneLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, part);
        AppFolder app;
        seed(app);
        IniFile(app.dataFile(QStringLiteral("ab.ini")))
            .writeInteger(QStringLiteral("export"), QStringLiteral("format"), 7);
        const ProgramResult r = runKalvendo(app, arguments);
        QVERIFY(r.finished);
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY(r.code != 0);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith(QStringLiteral("kalvendo: ")) && r.err.count(u'\n') == 1 &&
                     r.err.endsWith(u'\n') && r.err.contains(part),
                 qPrintable(r.err));
        QCOMPARE(names(app), (QStringList{QStringLiteral("Abel"), QStringLiteral("Bauer")}));
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/kalvendo-none.txt")));
    }
};

QTEST_GUILESS_MAIN(TestExportImportCli)
#include "tst_exportimportcli.moc"
