// The commands that hand the shown address to other programs, run in the
// whole program; what would be opened or started is recorded, never done.
#include "../output/LetterTestUtil.h"
#include "addressbook/ui/DBControls.h"
#include "addressbook/ui/FieldsPanel.h"
#include "app/TForm1.h"
#include "testsupport/DialogRecorder.h"
#include "testsupport/ProgramFixture.h"

#include <QAction>
#include <QLibrary>
#include <QToolButton>

#include <cstdint>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

QString s(const char* text) {
    return QString::fromUtf8(text);
}

void setShown(const ProgramFixture& p, int field, const QString& text) {
    p.main->fieldsPanel()->editFor(field)->setText(text);
}

} // namespace

class TestLinkCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buttons_data();
    void buttons();
    void allFieldsEmpty();
    void letterTakesUnsavedEdits();
    void contactExport();
    void contactExportWithoutHandlerOrWithBadBirthday();
    void saveAsVCard();
    void windowsMobile();
};

void TestLinkCommands::buttons_data() {
    QTest::addColumn<QByteArray>("mapUrl");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("opened"); // empty: nothing opened
    QTest::addColumn<QString>("warning");   // empty: no message
    const QString refused = s("Diese Adresse wird nicht geöffnet: nur Internetadressen mit "
                              "http, https oder ftp sind erlaubt.");
    QTest::newRow("mail encoded") << QByteArray() << int(fEmail) << s(" a@b.de?bcc=x@y.z ")
                                  << s("SpeedButton2") << QByteArray("mailto:a@b.de%3Fbcc=x@y.z")
                                  << QString();
    QTest::newRow("mail empty") << QByteArray() << int(fEmail) << QString() << s("SpeedButton2")
                                << QByteArray() << s("Keine E-Mail Adresse angegeben!");
    QTest::newRow("web without scheme")
        << QByteArray() << int(fHomepage) << s("www.example.de/a b") << s("SpeedButton3")
        << QByteArray("https://www.example.de/a%20b") << QString();
    QTest::newRow("web javascript refused")
        << QByteArray() << int(fHomepage) << s("javascript:alert(1)") << s("SpeedButton3")
        << QByteArray() << refused;
    QTest::newRow("web local path refused") << QByteArray() << int(fHomepage) << s("/etc/passwd")
                                            << s("SpeedButton3") << QByteArray() << refused;
    QTest::newRow("web empty") << QByteArray() << int(fHomepage) << s("  ") << s("SpeedButton3")
                               << QByteArray() << s("Keine Internetadresse angegeben!");
    QTest::newRow("map service set") << QByteArray("http://maps.example.com") << int(fStrasse)
                                     << s("Alte Gasse") << s("SpeedButton4")
                                     << QByteArray("http://maps.example.com/maps/qvd.php"
                                                   "?street=Alte+Gasse+7&city=12345+Bad+Orb"
                                                   "&lng=German")
                                     << QString();
    QTest::newRow("map OpenStreetMap")
        << QByteArray() << int(fStrasse) << s("Alte Gasse") << s("SpeedButton4")
        << QByteArray("https://www.openstreetmap.org/search"
                      "?query=Alte%20Gasse%207%2C%2012345%20Bad%20Orb")
        << QString();
    QTest::newRow("map refused service")
        << QByteArray("file:///etc") << int(fStrasse) << s("Alte Gasse") << s("SpeedButton4")
        << QByteArray() << refused;
}

// Each button reads the edit fields as shown, saved or not.
void TestLinkCommands::buttons() {
    QFETCH(QByteArray, mapUrl);
    QFETCH(int, field);
    QFETCH(QString, value);
    QFETCH(QString, button);
    QFETCH(QByteArray, opened);
    QFETCH(QString, warning);

    AppFolder folder;
    folder.write(QStringLiteral("ab.ini"),
                 "[preferences]\r\nlanguage=German\r\n[map]\r\nurl=" + mapUrl + "\r\n");
    folder.addRecord({{fName, "Muster"}, {fNr, "7"}, {fPLZ, "12345"}, {fWohnort, "Bad Orb"}});
    ProgramFixture p(folder);
    DialogRecorder dialogs;
    LaunchRecorder launches;
    setShown(p, field, value);
    p.main->toolButton(button)->click();

    QCOMPARE(launches.urls.size(), opened.isEmpty() ? 0 : 1);
    if (!opened.isEmpty())
        QCOMPARE(launches.urls.first().toEncoded(), opened);
    QCOMPARE(dialogs.shown.size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty()) {
        QCOMPARE(dialogs.shown.first().text, warning);
        QCOMPARE(dialogs.shown.first().kind, DialogKind::Warning);
    }
    QVERIFY(launches.programs.isEmpty());
}

// A record with every field empty: mail and web warn, the map searches for nothing.
void TestLinkCommands::allFieldsEmpty() {
    AppFolder folder;
    folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=German\r\n");
    folder.addRecord({{fName, ""}});
    ProgramFixture p(folder);
    DialogRecorder dialogs;
    LaunchRecorder launches;
    for (const char* b : {"SpeedButton2", "SpeedButton3", "SpeedButton4"})
        p.main->toolButton(QString::fromLatin1(b))->click();
    QCOMPARE(dialogs.shown.size(), 2);
    QCOMPARE(dialogs.shown[0].text, s("Keine E-Mail Adresse angegeben!"));
    QCOMPARE(dialogs.shown[1].text, s("Keine Internetadresse angegeben!"));
    QCOMPARE(launches.urls,
             QList<QUrl>{QUrl(QStringLiteral("https://www.openstreetmap.org/search?query="))});
}

void TestLinkCommands::letterTakesUnsavedEdits() {
    LetterFolder folder;
    folder.setIni("[preferences]\r\nlanguage=German\r\n" + senderIni(1, "0", "0").mid(15));
    folder.addRecord({{fName, "Gespeichert"}, {fVorname, "Erika"}});
    ProgramFixture p(folder);
    DialogRecorder dialogs;
    LaunchRecorder launches;
    setShown(p, fName, s("Geändert <b> & Co"));
    p.main->toolButton(QStringLiteral("SpeedButton1"))->click();

    // LibreOffice when it is on the PATH, else the desktop's handler.
    QString file;
    if (!launches.programs.isEmpty())
        file = launches.programs.first().last();
    else if (!launches.urls.isEmpty())
        file = launches.urls.first().toLocalFile();
    QVERIFY2(!file.isEmpty(), "nothing was opened");
    QCOMPARE(launches.programs.size() + launches.urls.size(), 1);
    QCOMPARE(readMarks(file)[QStringLiteral("enachname")].text, s("Geändert <b> & Co"));
    QCOMPARE(p.stored(fName), s("Gespeichert"));
    QVERIFY(dialogs.shown.isEmpty());
}

void TestLinkCommands::contactExport() {
    AppFolder folder;
    folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=German\r\n");
    folder.addRecord({{fName, "Muster"}, {fVorname, "Erika"}});
    ProgramFixture p(folder);
    DialogRecorder dialogs;
    LaunchRecorder launches;
    setShown(p, fWohnort, s("Köln"));
    QTest::keyClick(p.main, Qt::Key_F12);

    QCOMPARE(p.main->windowTitle(), s("Kalvendo 2009   -   Erika Muster"));
    QCOMPARE(launches.urls.size(), 1);
    const QString file = launches.urls.first().toLocalFile();
    QCOMPARE(QFileInfo(file).fileName(), s("Erika Muster.vcf"));
    QCOMPARE(QFileInfo(QFileInfo(file).path()).permissions() & 0x0077, QFileDevice::Permissions());
    const QByteArray card = readBytes(file);
    QVERIFY(card.contains("FN:Erika Muster\r\n"));
    QVERIFY(card.contains(s(";Köln;").toUtf8()));
    QVERIFY(dialogs.shown.isEmpty());

    // The folder stays while the program runs, for the contacts program to read.
    QTest::keyClick(p.main, Qt::Key_F12);
    QVERIFY(QFile::exists(file));
}

void TestLinkCommands::contactExportWithoutHandlerOrWithBadBirthday() {
    AppFolder folder;
    folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=German\r\n");
    folder.addRecord({{fName, "Muster"}, {fVorname, "Erika"}});
    ProgramFixture p(folder);
    DialogRecorder dialogs;
    {
        LaunchRecorder refusing(false);
        p.main->action(QStringLiteral("OutlookExport1"))->trigger();
        QCOMPARE(refusing.urls.size(), 1);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.shown.first().text, s("MS Outlook konnte nicht gestartet werden!"));
        QCOMPARE(p.main->windowTitle(), s("Kalvendo 2009  -   Outlook-Export ..."));
    }
    dialogs.shown.clear();
    LaunchRecorder launches;
    setShown(p, fGeburtstag, s("31.02.1980"));
    p.main->action(QStringLiteral("OutlookExport1"))->trigger();
    QVERIFY(launches.urls.isEmpty());
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.first().kind, DialogKind::Error);
    QVERIFY2(dialogs.shown.first().text.contains(s("31.02.1980")),
             qPrintable(dialogs.shown.first().text));
    QCOMPARE(p.main->windowTitle(), s("Kalvendo 2009  -   Outlook-Export ..."));
}

void TestLinkCommands::saveAsVCard() {
    AppFolder folder;
    folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=German\r\n");
    folder.addRecord({{fName, "Muster"}, {fVorname, "Erika"}});
    ProgramFixture p(folder);
    DialogRecorder dialogs;
    FileDialogRecorder files;
    LaunchRecorder launches;
    QAction* entry = p.main->action(QStringLiteral("AlsvCardspeichern1"));
    QVERIFY(entry->isEnabled());

    entry->trigger(); // cancelled
    QCOMPARE(files.asked.size(), 1);
    QCOMPARE(files.asked.first().kind, FileDialogKind::Save);
    QVERIFY(files.asked.first().start.endsWith(s("/Erika Muster.vcf")));

    const QString target = folder.path() + QStringLiteral("kontakt");
    files.answerNext(target);
    setShown(p, fTelefon, s("030 12345"));
    entry->trigger();
    const QByteArray card = readBytes(target + QStringLiteral(".vcf"));
    QVERIFY(card.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
    QVERIFY(card.contains("N:Muster;Erika;;;\r\n"));
    QVERIFY(card.contains("030 12345"));
    QVERIFY(dialogs.shown.isEmpty());
    QVERIFY(launches.urls.isEmpty());
}

void TestLinkCommands::windowsMobile() {
    AppFolder folder;
    folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nlanguage=German\r\n");
    ProgramFixture p(folder);
    DialogRecorder dialogs;
    QAction* entry = p.main->action(QStringLiteral("WindowsMobile1"));

    qputenv("KALVENDO_RAPI_LIBRARY", QFile::encodeName(folder.path() + s("no-librapi.so")));
    entry->trigger();
    QVERIFY(dialogs.shown.isEmpty());

    qputenv("KALVENDO_RAPI_LIBRARY", qgetenv("KALVENDO_RAPIFAKE"));
    QLibrary fake(qEnvironmentVariable("KALVENDO_RAPIFAKE"));
    using Set = void (*)(std::int32_t, std::int32_t, int);
    const auto set = reinterpret_cast<Set>(fake.resolve("rapifake_set"));
    QVERIFY(set);
    set(std::int32_t(0x80004005), 0, 0); // no device
    entry->trigger();
    QVERIFY(dialogs.shown.isEmpty());

    set(0, 0, 0);
    entry->trigger();
    QCOMPARE(dialogs.shown.size(), 1);
    QCOMPARE(dialogs.shown.first().text, s("oki"));
    qunsetenv("KALVENDO_RAPI_LIBRARY");
}

QTEST_MAIN(TestLinkCommands)
#include "tst_linkcommands.moc"
