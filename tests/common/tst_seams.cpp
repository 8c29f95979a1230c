// The seams in front of what leaves the process: file dialogs and program
// starts answer through the test support recorders, and the real program
// start reports whether it worked.
#include "common/FileDialogs.h"
#include "common/ProgramLauncher.h"
#include "testsupport/DialogRecorder.h"

#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

class TestSeams : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileDialogsAreAnswered() {
        FileDialogRecorder dialogs;
        dialogs.answerNext(QStringLiteral("/tmp/a.csv"));
        QCOMPARE(chooseOpenFile(nullptr, QStringLiteral("Import"), QStringLiteral("/home"),
                                QStringLiteral("CSV (*.csv)")),
                 QStringLiteral("/tmp/a.csv"));
        QCOMPARE(chooseSaveFile(nullptr, QStringLiteral("Export"), QStringLiteral("/x.xlsx")),
                 QString()); // nothing queued: cancelled
        QCOMPARE(chooseFolder(nullptr, QStringLiteral("Sichern"), QStringLiteral("/srv")),
                 QString());
        QCOMPARE(dialogs.asked.size(), 3);
        QCOMPARE(dialogs.asked[0].kind, FileDialogKind::Open);
        QCOMPARE(dialogs.asked[0].filter, QStringLiteral("CSV (*.csv)"));
        QCOMPARE(dialogs.asked[1].kind, FileDialogKind::Save);
        QCOMPARE(dialogs.asked[1].start, QStringLiteral("/x.xlsx"));
        QCOMPARE(dialogs.asked[2].kind, FileDialogKind::Folder);
        QCOMPARE(dialogs.asked[2].caption, QStringLiteral("Sichern"));
    }

    void programStartsAreRecorded() {
        LaunchRecorder launches(false);
        QVERIFY(!startProgram(QStringLiteral("soffice"),
                              {QStringLiteral("--writer"), QStringLiteral("/tmp/brief.odt")}));
        QCOMPARE(launches.programs,
                 QList<QStringList>({{QStringLiteral("soffice"), QStringLiteral("--writer"),
                                      QStringLiteral("/tmp/brief.odt")}}));
    }

    void realStartReportsFailure() {
        QVERIFY(startProgram(QStringLiteral("true"), {}));
        QVERIFY(!startProgram(QStringLiteral("/nonexistent/kalvendo-word"), {}));
    }
};

QTEST_MAIN(TestSeams)
#include "tst_seams.moc"
