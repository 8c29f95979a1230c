// The output commands of the whole program: print, export and import run from
// the main window's menu with the dialogs answered through the seams.
#include "addressbook/Fields.h"
#include "common/IniFile.h"
#include "common/StatusBar.h"
#include "output/export/FileExport.h"
#include "output/import/FileImport.h"
#include "output/ui/TForm4.h"
#include "testsupport/DialogRecorder.h"
#include "testsupport/ProgramFixture.h"
#include "testsupport/Records.h"

#include <QAction>
#include <QApplication>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

void trigger(const ProgramFixture& p, const QString& name) {
    QAction* a = p.main->action(name);
    QVERIFY2(a && a->isEnabled(), qPrintable(name));
    a->trigger();
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void setFormat(const AppFolder& folder, int format) {
    IniFile(folder.dataFile(QStringLiteral("ab.ini")))
        .writeInteger(QStringLiteral("export"), QStringLiteral("format"), format);
}

AddressTable& tableOf(const ProgramFixture& p) {
    return *p.main->context().table;
}

const QByteArray kTwoRows = "Adler,Anna,,,,,,,,,,,,,\r\nBerg,Ben,,,,,,,,,,,,,\r\n";

} // namespace

class TestOutputCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The print command opens the preview of the table's rows.
    void printPreviews() {
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", ""}, {"Berg", "Ben", ""}});
        ProgramFixture p(folder);
        CaughtErrors errors;
        int pages = 0;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&]() {
            auto* form = qobject_cast<TForm4*>(QApplication::activeModalWidget());
            if (!form || !form->isVisible())
                return;
            poll.stop();
            pages = form->RvRenderPreview()->Pages();
            QTest::mouseClick(form->toolButton(11), Qt::LeftButton);
        });
        poll.start();
        trigger(p, QStringLiteral("Drucken1"));
        QCOMPARE(errors.messages, QStringList());
        QCOMPARE(pages, 1);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // CSV: the save dialog's filter, the default suffix added, the rows in the
    // grid's order, the current record left current.
    void exportWritesTheShownRows() {
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", ""}, {"Berg", "Ben", ""}});
        setFormat(folder, 2);
        ProgramFixture p(folder);
        CaughtErrors errors;
        DialogRecorder dialogs;
        FileDialogRecorder files;
        QVERIFY(tableOf(p).locate(QStringLiteral("Name"), QStringLiteral("Berg")));
        QTemporaryDir out;
        files.answerNext(out.filePath(QStringLiteral("liste")));
        trigger(p, QStringLiteral("Export1"));
        QCOMPARE(errors.messages, QStringList());
        QCOMPARE(files.asked.size(), 1);
        QCOMPARE(files.asked.first().kind, FileDialogKind::Save);
        QCOMPARE(files.asked.first().filter, saveDialogSetup(ExportFormat::Csv).filter);
        QCOMPARE(bytesOf(out.filePath(QStringLiteral("liste.csv"))), kTwoRows);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(tableOf(p).fieldValue(fName), QStringLiteral("Berg"));
    }

    // Replacing asks first; No and a cancelled dialog write nothing.
    void exportConfirmsReplacing() {
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", ""}, {"Berg", "Ben", ""}});
        setFormat(folder, 2);
        ProgramFixture p(folder);
        CaughtErrors errors;
        DialogRecorder dialogs;
        FileDialogRecorder files;
        QTemporaryDir out;
        const QString csv = out.filePath(QStringLiteral("liste.csv"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("alt") == 3);
        f.close();

        trigger(p, QStringLiteral("Export1")); // dialog cancelled
        dialogs.answerNext(DialogResult::No);
        files.answerNext(csv);
        trigger(p, QStringLiteral("Export1"));
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().kind, DialogKind::Confirmation);
        QVERIFY(dialogs.shown.first().text.contains(csv));
        QCOMPARE(bytesOf(csv), QByteArray("alt"));

        dialogs.answerNext(DialogResult::Yes);
        files.answerNext(csv);
        trigger(p, QStringLiteral("Export1"));
        QCOMPARE(bytesOf(csv), kTwoRows);
        QCOMPARE(errors.messages, QStringList());
    }

    // PDF through the report controller; a format outside 0 .. 3 asks nothing.
    void exportPdfAndUnknownFormat() {
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", ""}});
        setFormat(folder, 1);
        ProgramFixture p(folder);
        CaughtErrors errors;
        FileDialogRecorder files;
        QTemporaryDir out;
        files.answerNext(out.filePath(QStringLiteral("liste.pdf")));
        trigger(p, QStringLiteral("Export1"));
        QCOMPARE(errors.messages, QStringList());
        QCOMPARE(files.asked.first().filter, saveDialogSetup(ExportFormat::Pdf).filter);
        QVERIFY(bytesOf(out.filePath(QStringLiteral("liste.pdf"))).startsWith("%PDF-"));

        setFormat(folder, 4);
        trigger(p, QStringLiteral("Export1"));
        QCOMPARE(files.asked.size(), 1);
    }

    void exportErrorReachesTheHandler() {
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", ""}});
        setFormat(folder, 2);
        ProgramFixture p(folder);
        CaughtErrors errors;
        FileDialogRecorder files;
        files.answerNext(QStringLiteral("/nonexistent/dir/liste.csv"));
        trigger(p, QStringLiteral("Export1"));
        QCOMPARE(errors.classes, QStringList{QStringLiteral("EFCreateError")});
    }

    // CSV and vCard: appended, the count in panel 1, the last record current.
    void importAppends() {
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", ""}, {"Berg", "Ben", ""}});
        ProgramFixture p(folder);
        CaughtErrors errors;
        FileDialogRecorder files;
        QTemporaryDir in;
        const QString csv = in.filePath(QStringLiteral("neu.csv"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("Muster,Erika\r\nAal,Udo\r\n") > 0);
        f.close();
        files.answerNext(csv);
        trigger(p, QStringLiteral("Import1"));
        QCOMPARE(errors.messages, QStringList());
        QCOMPARE(files.asked.first().kind, FileDialogKind::Open);
        QCOMPARE(files.asked.first().filter, importDialogFilter());
        QVERIFY(importDialogFilter().contains(QStringLiteral("*.vcf")));
        QCOMPARE(p.main->statusPanels()->panelText(1), QStringLiteral("4"));
        QCOMPARE(tableOf(p).fieldValue(fName), QStringLiteral("Muster"));
        QCOMPARE(tableOf(p).fieldValue(fVorname), QStringLiteral("Erika"));

        const QString vcf = in.filePath(QStringLiteral("karte.vcf"));
        QFile v(vcf);
        QVERIFY(v.open(QIODevice::WriteOnly) &&
                v.write("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Zander;Zoe;;;\r\nFN:Zoe Zander\r\n"
                        "END:VCARD\r\n") > 0);
        v.close();
        files.answerNext(vcf);
        trigger(p, QStringLiteral("Import1"));
        QCOMPARE(errors.messages, QStringList());
        QCOMPARE(p.main->statusPanels()->panelText(1), QStringLiteral("5"));
        QCOMPARE(tableOf(p).fieldValue(fName), QStringLiteral("Zander"));
    }

    // Cancelling the progress keeps what was read and shows its count.
    void importCancelledByProgress() {
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", ""}});
        ProgramFixture p(folder);
        CaughtErrors errors;
        FileDialogRecorder files;
        QTemporaryDir in;
        const QString csv = in.filePath(QStringLiteral("viele.csv"));
        QByteArray lines;
        for (int i = 0; i < 200000; ++i)
            lines += "Name" + QByteArray::number(i) + ",Vorname\r\n";
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(lines) == lines.size());
        f.close();
        bool shown = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&]() {
            for (QProgressDialog* d : p.main->findChildren<QProgressDialog*>()) {
                if (d->isVisible()) {
                    shown = true;
                    poll.stop();
                    d->cancel();
                }
            }
        });
        poll.start();
        files.answerNext(csv);
        trigger(p, QStringLiteral("Import1"));
        QCOMPARE(errors.messages, QStringList());
        if (!shown)
            QSKIP("the import finished before its progress dialog showed");
        const qint64 count = tableOf(p).recordCount();
        QVERIFY2(count > 1 && count < 200001, qPrintable(QString::number(count)));
        QCOMPARE(p.main->statusPanels()->panelText(1), QString::number(count));
    }

    // A cancelled dialog imports nothing; an unreadable file reaches the handler.
    void importCancelAndError() {
        AppFolder folder;
        folder.addRecords({{"Adler", "Anna", ""}});
        ProgramFixture p(folder);
        CaughtErrors errors;
        FileDialogRecorder files;
        trigger(p, QStringLiteral("Import1"));
        QCOMPARE(tableOf(p).recordCount(), 1);
        files.answerNext(QStringLiteral("/nonexistent/neu.csv"));
        trigger(p, QStringLiteral("Import1"));
        QCOMPARE(errors.classes.size(), 1);
        QCOMPARE(tableOf(p).recordCount(), 1);
    }
};

QTEST_MAIN(TestOutputCommands)
#include "tst_outputcommands.moc"
