#include "app/Help.h"
#include "app/Program.h"
#include "app/TForm1.h"
#include "app/TForm5.h"
#include "app/Windows.h"
#include "common/Launcher.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "testsupport/AppFolder.h"
#include "testsupport/DialogRecorder.h"

#include <QAction>
#include <QEnterEvent>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

template <typename T> T* child(const QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (c == nullptr)
        qFatal("no control %s", name);
    return c;
}

// Records what would be opened outside the program.
using Opened = LaunchRecorder;

} // namespace

class TestAboutBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void captionKeepsTheLanguageOfItsCreation() {
        QObject mainWindow;
        TMultilanguage engine(&mainWindow, QStringLiteral("lng"));
        engine.setScript(scriptForm1());
        engine.Loaded();
        engine.setLanguage(QStringLiteral("English"));
        TForm5 box(&engine);
        QCOMPARE(box.windowTitle(), QStringLiteral("Information - Version: 6.1"));
        engine.setLanguage(QStringLiteral("German"));
        QCOMPARE(box.windowTitle(), QStringLiteral("Information - Version: 6.1"));

        TForm5 early(nullptr);
        QCOMPARE(early.windowTitle(), QStringLiteral(" - Version: 6.1"));
    }

    void layout() {
        TForm5 box(nullptr);
        box.show();
        QCOMPARE(box.size(), QSize(420, 300));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        QCOMPARE(child<QLabel>(box, "Image1")->pixmap().size(), QSize(64, 64));
        QCOMPARE(child<QLabel>(box, "Label1")->text(), QStringLiteral("Kalvendo 2009"));
        QCOMPARE(child<QLabel>(box, "Label7")->text(), QStringLiteral("Besonderen Dank an:"));
        // Six people and three tools, one per line.
        QCOMPARE(child<QLabel>(box, "HTMLabel2")->text().count(QStringLiteral("<br>")), 8);
        child<QPushButton>(box, "Button1")->click();
        QVERIFY(!box.isVisible());
    }

    void makerNameHighlightsOnHover() {
        TForm5 box(nullptr);
        box.show();
        auto* maker = child<QLabel>(box, "Label2");
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(maker, &enter);
        QVERIFY(maker->font().underline());
        QCOMPARE(maker->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(maker, &leave);
        QVERIFY(!maker->font().underline());
        QCOMPARE(maker->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(maker->cursor().shape(), Qt::PointingHandCursor);
    }

    void linksOpenOutside() {
        Opened opened;
        TForm5 box(nullptr);
        box.show();
        QTest::mouseClick(child<QLabel>(box, "Label1"), Qt::LeftButton);
        QTest::mouseClick(child<QLabel>(box, "Image1"), Qt::LeftButton);
        QTest::mouseClick(child<QLabel>(box, "Label2"), Qt::LeftButton);
        QCOMPARE(opened.urls,
                 (QList<QUrl>{productWebAddress(), productWebAddress(), makerWebAddress()}));

        auto* credits = child<QLabel>(box, "HTMLabel2");
        const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
        QStringList links;
        for (auto it = href.globalMatch(credits->text()); it.hasNext();)
            links << it.next().captured(1);
        QCOMPARE(links.size(), 3);
        opened.urls.clear();
        for (const QString& link : links)
            Q_EMIT credits->linkActivated(link);
        QCOMPARE(opened.urls.size(), 3);
        for (const QUrl& url : opened.urls)
            QVERIFY2(url.isValid() && url.scheme() == QStringLiteral("https"),
                     qPrintable(url.toString()));
    }

    void helpOpensTheShippedPages() {
        Opened opened;
        openHelp(QStringLiteral("/opt/kalvendo/"));
        QCOMPARE(opened.urls,
                 QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/opt/kalvendo/help/index.html"))});

        // Every in-page link of the shipped help has its target.
        QFile page(QStringLiteral(KALVENDO_DEFAULTS "/help/index.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(page.readAll());
        const QRegularExpression anchor(QStringLiteral("href=\"#([^\"]+)\""));
        int anchors = 0;
        for (auto it = anchor.globalMatch(html); it.hasNext(); ++anchors) {
            const QString id = it.next().captured(1);
            QVERIFY2(html.contains(QStringLiteral("id=\"") + id + u'"'), qPrintable(id));
        }
        QVERIFY(anchors > 0);
    }

    // The program's windows: the stored language reaches all of them, and the
    // settings button and the about entry show their windows.
    void createdWindows() {
        AppFolder folder;
        folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=English\r\n");
        DialogRecorder dialogs;
        ProgramWindows w = createWindows(QString(), folder.path());
        QCOMPARE(w.form1->action(QStringLiteral("Einstellungen1"))->text(),
                 QStringLiteral("Preferences"));
        QCOMPARE(w.form2->windowTitle(), QStringLiteral("Preferences - User data"));
        QCOMPARE(w.form5->windowTitle(), QStringLiteral("Information - Version: 6.1"));

        w.form1->show();
        w.form1->action(QStringLiteral("Einstellungen1"))->trigger();
        QVERIFY(w.form2->isVisible());
        QVERIFY(!w.form2->isModal());
        w.form2->close();
        QVERIFY(folder.read(QStringLiteral("ab.ini")).contains("language=English\r\n"));

        w.form1->action(QStringLiteral("Info1"))->trigger();
        QVERIFY(w.form5->isVisible());
        QVERIFY(!w.form5->isModal());
        QCOMPARE(dialogs.shown.size(), 0);
    }
};

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
