#include "LetterTestUtil.h"
#include "common/CommandGuard.h"
#include "lang/Multilanguage.h"
#include "output/letter/ui/LetterController.h"

#include <QPushButton>
#include <QWidget>

using namespace kalvendo;
using namespace kalvendo::test;

class TestLetterController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { setApplicationExceptionHandler({}); }

    // Each click reads the shown record anew, so edits not yet saved go in.
    void eachClickTakesTheShownTexts() {
        LetterFolder app;
        app.setIni(senderIni(1, "0", "0"));
        QWidget main;
        main.setObjectName(QStringLiteral("Form1"));
        auto* lng = new TMultilanguage(&main, QStringLiteral("lng"));
        lng->setScript(scriptForm1());
        lng->Loaded();
        Record shown = recipient();
        Launches launches;
        LetterController letters(
            app.path(), [&shown]() { return shown; }, lng, launches.launcher());

        const QString first = letters.SpeedButton1Click();
        shown[fName] = QStringLiteral("Geändert, nicht gespeichert");
        const QString second = letters.SpeedButton1Click();
        QVERIFY(first != second);
        QCOMPARE(readMarks(first)[QStringLiteral("enachname")].text, QStringLiteral("Beispiel"));
        QCOMPARE(readMarks(second)[QStringLiteral("enachname")].text,
                 QStringLiteral("Geändert, nicht gespeichert"));
        QCOMPARE(launches.opened.size(), 2);
    }

    // The button runs through the command guard: a word processor that does
    // not start is reported with the named string of the current language.
    void buttonReportsAFailedStart() {
        LetterFolder app;
        app.setIni(senderIni(0, "1", "0"));
        QWidget main;
        main.setObjectName(QStringLiteral("Form1"));
        auto* lng = new TMultilanguage(&main, QStringLiteral("lng"));
        lng->setScript(scriptForm1());
        lng->Loaded();
        lng->setLanguage(QStringLiteral("English"));
        Launches launches;
        launches.desktopSucceeds = false;
        LetterController letters(
            app.path(), []() { return recipient(); }, lng, launches.launcher());
        auto* button = new QPushButton(&main);
        button->setObjectName(QStringLiteral("SpeedButton1"));
        button->setEnabled(false);
        letters.connectButton(button);
        QVERIFY(button->isEnabled());

        QStringList reported;
        setApplicationExceptionHandler([&](QObject* sender, const std::exception& e) {
            reported << (sender ? sender->objectName() : QString()) + u' ' + exceptionClassName(e) +
                            u' ' + exceptionMessage(e);
        });
        button->click();
        QCOMPARE(reported, QStringList(QStringLiteral(
                               "SpeedButton1 EOleError MS Word could not be started!")));
        QCOMPARE(launches.opened.size(), 1);
    }
};

QTEST_MAIN(TestLetterController)
#include "tst_lettercontroller.moc"
