// The output commands of the whole program: print, export and import run from
// the main window's menu with the dialogs answered through the seams.
#include "addressbook/Fields.h"
#include "common/IniFile.h"
#include "output/ui/TForm4.h"
#include "testsupport/DialogRecorder.h"
#include "testsupport/ProgramFixture.h"
#include "testsupport/Records.h"

#include <QAction>
#include <QApplication>
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
};

QTEST_MAIN(TestOutputCommands)
#include "tst_outputcommands.moc"
