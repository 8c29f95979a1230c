// The command line's PDF export in a program that made only a QCoreApplication:
// a clear error instead of Qt's abort at the first font.

#include "output/report/ReportProject.h"
#include "output/ui/ReportBatch.h"
#include "testsupport/AppFolder.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace kalvendo;

class TestReportNoGui : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusedWithoutFonts() {
        test::AppFolder folder;
        folder.addRecords({{"Groß", "Jürgen", ""}});
        QTemporaryDir out;
        const QString pdf = out.filePath(QStringLiteral("liste.pdf"));
        try {
            exportPdfBatch(folder.path(), pdf, 0);
            QFAIL("exported without a QGuiApplication");
        } catch (const EReportError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("QGuiApplication")),
                     qPrintable(e.message()));
        }
        QVERIFY(!QFile::exists(pdf));
    }
};

QTEST_GUILESS_MAIN(TestReportNoGui)
#include "tst_reportnogui.moc"
