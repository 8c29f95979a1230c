#include "LetterTestUtil.h"
#include "common/SaveFile.h"
#include "output/letter/BookmarkXml.h"
#include "output/letter/LetterDocument.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <filesystem>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A template with one part changed, for the error cases.
void rewriteTemplate(const QString& path, const QString& part, const QByteArray& from,
                     const QByteArray& to) {
    PackageWriter w;
    {
        const PackageReader r(path);
        w.copyFrom(r);
        QByteArray xml = r.read(part);
        QVERIFY(xml.contains(from));
        w.add(part, xml.replace(from, to));
    }
    w.save(path);
}

QString libreOffice() {
    for (const char* name : {"soffice", "libreoffice"}) {
        const QString p = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!p.isEmpty())
            return p;
    }
    return {};
}

// Converts with LibreOffice into `dir`; returns the converted file or empty.
QString convert(const QString& office, const QString& file, const QString& filter,
                const QString& dir) {
    QProcess p;
    p.start(office,
            {QStringLiteral("-env:UserInstallation=file://") + dir + QStringLiteral("/profile"),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter,
             QStringLiteral("--outdir"), dir, file});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return {};
    const QString out =
        dir + u'/' + QFileInfo(file).completeBaseName() + u'.' + filter.section(u':', 0, 0);
    return QFileInfo::exists(out) ? out : QString();
}

} // namespace

class TestLetter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every bookmark in its part with its value; the bank line and the country
    // only when asked for.
    void fillsTheBookmarks_data() {
        QTest::addColumn<int>("office");
        QTest::addColumn<QByteArray>("bank");
        QTest::addColumn<QByteArray>("country");
        QTest::addColumn<int>("filled");
        QTest::newRow("Word, plain") << 0 << QByteArray("0") << QByteArray("0") << 23;
        QTest::newRow("Word, both options") << 0 << QByteArray("1") << QByteArray("1") << 25;
        QTest::newRow("Writer, plain") << 1 << QByteArray("0") << QByteArray("0") << 23;
        QTest::newRow("Writer, both options") << 1 << QByteArray("1") << QByteArray("1") << 25;
        QTest::newRow("Writer, bank 2 is no bank line")
            << 1 << QByteArray("2") << QByteArray("0") << 23;
        QTest::newRow("Word, country 2 is on") << 0 << QByteArray("0") << QByteArray("2") << 24;
    }
    void fillsTheBookmarks() {
        QFETCH(int, office);
        QFETCH(QByteArray, bank);
        QFETCH(QByteArray, country);
        QFETCH(int, filled);
        LetterFolder app;
        app.setIni(senderIni(office, bank.constData(), country.constData()));
        Launches launches;
        const QString file = app.compose(launches);
        const Marks marks = readMarks(file);

        const bool word = office == 0;
        const QString head = word ? QStringLiteral("header1.xml") : QStringLiteral("styles.xml");
        const QString foot = word ? QStringLiteral("footer1.xml") : QStringLiteral("styles.xml");
        const QString body = word ? QStringLiteral("document.xml") : QStringLiteral("content.xml");
        const bool bankLine = bank == "1";
        const bool withCountry = country != "0";
        const QList<std::tuple<const char*, QString, QString>> expected{
            {"vorname1", head, QStringLiteral("Max")},
            {"name1", head, QStringLiteral("Mustermann")},
            {"strasse1", head, QStringLiteral("Musterweg 12")},
            {"plz1", head, QStringLiteral("12345")},
            {"wohnort1", head, QStringLiteral("Musterstadt")},
            {"vorname2", body, QStringLiteral("Max")},
            {"name2", body, QStringLiteral("Mustermann")},
            {"strasse2", body, QStringLiteral("Musterweg 12")},
            {"plz2", body, QStringLiteral("12345")},
            {"wohnort2", body, QStringLiteral("Musterstadt")},
            {"telefon", foot, QStringLiteral("030 1234567")},
            {"fax", foot, QStringLiteral("030 1234568")},
            {"mobil", foot, QStringLiteral("0171 2345678")},
            {"mail", foot, QStringLiteral("max@example.de")},
            {"datum", body, QStringLiteral("09.03.2024")},
            {"anrede", body, QStringLiteral("Sehr geehrte Frau Beispiel,")},
            {"gruss", body, QStringLiteral("Mit freundlichen Grüßen")},
            {"bank", foot,
             bankLine ? QStringLiteral(
                            "Bankverbindung: Sparkasse (BLZ. 100 500 00) Konto-Nr. 1234567890")
                      : QString()},
            {"evorname", body, QStringLiteral("Erika")},
            {word ? "ename" : "enachname", body, QStringLiteral("Beispiel")},
            {"estrasse", body, QStringLiteral("Heidestraße")},
            {"enr", body, QStringLiteral("17a")},
            {"eplz", body, QStringLiteral("51147")},
            {"ewohnort", body, QStringLiteral("Köln")},
            {"eland", body, withCountry ? QStringLiteral("Österreich") : QString()},
        };
        for (const auto& [name, part, value] : expected) {
            const QString n = QString::fromLatin1(name);
            QVERIFY2(marks.contains(n), name);
            QCOMPARE(marks[n].part, part);
            QCOMPARE(marks[n].text, value);
        }
        QCOMPARE(filledCount(marks), filled);
        // The other template's name for the last name is not there.
        QVERIFY(!marks.contains(word ? QStringLiteral("enachname") : QStringLiteral("ename")));
    }

    // Labels and separators stay when the sender gave no bank data; the labels
    // follow the interface language.
    void bankLineLabels_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("withData");
        QTest::addColumn<QString>("line");
        QTest::newRow("German, no bank data")
            << QStringLiteral("German") << false
            << QStringLiteral("Bankverbindung:  (BLZ. ) Konto-Nr. ");
        QTest::newRow("English") << QStringLiteral("English") << true
                                 << QStringLiteral("Bank account: Sparkasse (Bank code 100 500 00) "
                                                   "Account number 1234567890");
    }
    void bankLineLabels() {
        QFETCH(QString, language);
        QFETCH(bool, withData);
        QFETCH(QString, line);
        for (int office : {0, 1}) {
            LetterFolder app;
            QByteArray ini = senderIni(office, "1", "0");
            if (!withData)
                ini.replace("bank=Sparkasse", "bank=")
                    .replace("code=100 500 00", "code=")
                    .replace("account=1234567890", "account=");
            app.setIni(ini);
            Launches launches;
            const QString file =
                app.compose(launches, recipient(), language.toLatin1().constData());
            QCOMPARE(readMarks(file)[QStringLiteral("bank")].text, line);
        }
    }

    // Values are text: blanks, tabs and line breaks survive, markup and
    // entities come out as characters.
    void valuesAreText() {
        Record to = recipient();
        to[fName] = QStringLiteral("Two  blanks\tand a tab\nnew line <b>&amp; & \"q\" 'a'");
        to[fStrasse] = QStringLiteral(" edge blank ");
        to[fVorname] = QStringLiteral("bad\x01"
                                      "control");
        for (int office : {0, 1}) {
            LetterFolder app;
            app.setIni(senderIni(office, "0", "0"));
            Launches launches;
            const Marks marks = readMarks(app.compose(launches, to));
            const QString last =
                office == 0 ? QStringLiteral("ename") : QStringLiteral("enachname");
            QCOMPARE(marks[last].text, to[fName]);
            QCOMPARE(marks[QStringLiteral("estrasse")].text, to[fStrasse]);
            // A character XML cannot carry is dropped, not a broken document.
            QCOMPARE(marks[QStringLiteral("evorname")].text, QStringLiteral("badcontrol"));
        }
    }

    void officeNeitherWordNorWriterDoesNothing() {
        for (const char* office : {"2", "-1", "7"}) {
            LetterFolder app;
            QByteArray ini = senderIni(0, "1", "1");
            app.setIni(ini.replace("office=0", QByteArray("office=").append(office)));
            Launches launches;
            QCOMPARE(app.compose(launches), QString());
            QVERIFY(launches.started.isEmpty());
            QVERIFY(launches.opened.isEmpty());
        }
    }

    // Writer goes to LibreOffice on the PATH, else the desktop; Word to the
    // desktop's handler. A refusal is the named string's error.
    void opensTheLetter_data() {
        QTest::addColumn<int>("office");
        QTest::addColumn<QStringList>("programs");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<QString>("program"); // empty: the desktop
        QTest::addColumn<QString>("error");
        const QStringList both{QStringLiteral("soffice"), QStringLiteral("libreoffice")};
        const QString oo = QStringLiteral("Open Office Writer konnte nicht gestartet werden!");
        const QString ms = QStringLiteral("MS Word konnte nicht gestartet werden!");
        QTest::newRow("Writer: soffice")
            << 1 << both << true << QStringLiteral("/opt/bin/soffice") << QString();
        QTest::newRow("Writer: libreoffice")
            << 1 << QStringList{QStringLiteral("libreoffice")} << true
            << QStringLiteral("/opt/bin/libreoffice") << QString();
        QTest::newRow("Writer: desktop") << 1 << QStringList() << true << QString() << QString();
        QTest::newRow("Writer: start fails")
            << 1 << both << false << QStringLiteral("/opt/bin/soffice") << oo;
        QTest::newRow("Writer: desktop refuses") << 1 << QStringList() << false << QString() << oo;
        QTest::newRow("Word: desktop") << 0 << both << true << QString() << QString();
        QTest::newRow("Word: desktop refuses") << 0 << both << false << QString() << ms;
    }
    void opensTheLetter() {
        QFETCH(int, office);
        QFETCH(QStringList, programs);
        QFETCH(bool, starts);
        QFETCH(QString, program);
        QFETCH(QString, error);
        LetterFolder app;
        app.setIni(senderIni(office, "0", "0"));
        const QString tpl =
            letterTemplatePath(app.path(), office == 0 ? LetterRoad::Word : LetterRoad::Writer);
        const QByteArray before = fileBytes(tpl);
        Launches launches;
        launches.programs = programs;
        launches.startSucceeds = launches.desktopSucceeds = starts;
        QString file;
        try {
            file = app.compose(launches);
            QVERIFY2(error.isEmpty(), "no error raised");
        } catch (const EOleError& e) {
            QCOMPARE(e.message(), error);
            QCOMPARE(e.className(), "EOleError");
        }
        if (program.isEmpty()) {
            QVERIFY(launches.started.isEmpty());
            QCOMPARE(launches.opened.size(), 1);
            file = launches.opened[0].toLocalFile();
        } else {
            QCOMPARE(launches.started.size(), 1);
            QCOMPARE(launches.started[0].mid(0, 3),
                     QStringList({program, QStringLiteral("--writer"), QStringLiteral("-n")}));
            file = launches.started[0].value(3);
        }
        // A template again (a new untitled document), in a folder of its own.
        QCOMPARE(QFileInfo(file).suffix(),
                 office == 0 ? QStringLiteral("dotx") : QStringLiteral("ott"));
        QVERIFY(QFileInfo::exists(file));
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFileInfo(QFileInfo(file).path()).permissions() & others,
                 QFileDevice::Permissions());
        QVERIFY(QFileInfo(QFileInfo(file).path()).permissions() & QFileDevice::WriteOwner);
        QVERIFY(!QFileInfo(file).path().startsWith(app.path()));
        QCOMPARE(fileBytes(tpl), before);
        // Word opens the letter as a new document from a template.
        if (office == 0)
            QVERIFY(PackageReader(file)
                        .read(QStringLiteral("[Content_Types].xml"))
                        .contains("wordprocessingml.template.main+xml"));
    }

    // Each letter has a folder of its own; those of earlier days are cleared
    // away, a letter of a minute ago stays for the word processor to load.
    void oldLetterFoldersGo() {
        namespace fs = std::filesystem;
        const QString pattern = QDir::tempPath() + QStringLiteral("/kalvendo-brief-XXXXXX");
        QTemporaryDir old(pattern);
        QTemporaryDir recent(pattern);
        QVERIFY(old.isValid() && recent.isValid());
        QVERIFY(QFile(old.filePath(QStringLiteral("Brief.ott"))).open(QIODevice::WriteOnly));
        fs::last_write_time(fs::path(old.path().toStdString()),
                            fs::file_time_type::clock::now() - std::chrono::hours(49));

        const QString file = writeLetterFile({"bytes", QStringLiteral("ott")});
        QCOMPARE(fileBytes(file), QByteArray("bytes"));
        QVERIFY(!QFileInfo::exists(old.path()));
        QVERIFY(QFileInfo::exists(recent.path()));
        QDir(QFileInfo(file).path()).removeRecursively();
    }

    // Nothing is opened and nothing is written for a template that is missing,
    // broken or short of a bookmark; the error names the file and bookmark.
    void templateErrors_data() {
        QTest::addColumn<int>("office");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("named");
        QTest::newRow("Word template missing") << 0 << QStringLiteral("remove") << QString();
        QTest::newRow("Writer template missing") << 1 << QStringLiteral("remove") << QString();
        QTest::newRow("Word bookmark missing")
            << 0 << QStringLiteral("gruss") << QStringLiteral("gruss");
        QTest::newRow("Writer bookmark missing")
            << 1 << QStringLiteral("enachname") << QStringLiteral("enachname");
        QTest::newRow("Writer XML broken")
            << 1 << QStringLiteral("xml") << QStringLiteral("content.xml");
        QTest::newRow("not a zip") << 0 << QStringLiteral("text") << QString();
    }
    void templateErrors() {
        QFETCH(int, office);
        QFETCH(QString, damage);
        QFETCH(QString, named);
        LetterFolder app;
        app.setIni(senderIni(office, "1", "1"));
        const QString tpl =
            letterTemplatePath(app.path(), office == 0 ? LetterRoad::Word : LetterRoad::Writer);
        const QString part =
            office == 0 ? QStringLiteral("word/document.xml") : QStringLiteral("content.xml");
        if (damage == QStringLiteral("remove"))
            QVERIFY(QFile::remove(tpl));
        else if (damage == QStringLiteral("text"))
            writeFileAtomically(tpl, "no zip");
        else if (damage == QStringLiteral("xml"))
            rewriteTemplate(tpl, part, "</office:text>", "</office:txt>");
        else
            rewriteTemplate(tpl, part, QStringLiteral("\"%1\"").arg(damage).toUtf8(), "\"other\"");

        const QStringList before = QDir::temp().entryList({QStringLiteral("kalvendo-brief-*")});
        Launches launches;
        try {
            app.compose(launches);
            QFAIL("no error raised");
        } catch (const EInOutError& e) {
            QVERIFY2(e.message().contains(tpl), qPrintable(e.message()));
            QVERIFY2(e.message().contains(named), qPrintable(e.message()));
        }
        QVERIFY(launches.started.isEmpty());
        QVERIFY(launches.opened.isEmpty());
        QCOMPARE(QDir::temp().entryList({QStringLiteral("kalvendo-brief-*")}), before);
    }

    // Anchor text of an ODF bookmark goes, whatever spans it crosses; the tags
    // around its end stay balanced. Word inserts after a start in a hyperlink.
    void replacesAnchorText_data() {
        QTest::addColumn<bool>("word");
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        const QByteArray odf = "<o xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">";
        QTest::newRow("anchor text")
            << false
            << odf + "<text:p>a<text:bookmark-start text:name=\"x\"/>old<text:bookmark-end "
                     "text:name=\"x\"/>b</text:p></o>"
            << odf + "<text:p>a<text:bookmark-start "
                     "text:name=\"x\"/>V<text:bookmark-end "
                     "text:name=\"x\"/>b</text:p></o>";
        QTest::newRow("end in a later span")
            << false
            << odf + "<text:p><text:span>a<text:bookmark-start "
                     "text:name=\"x\"/>o</text:span>l<text:span>d<text:bookmark-end "
                     "text:name=\"x\"/>b</text:span></text:p></o>"
            << odf + "<text:p><text:span>a<text:bookmark-start "
                     "text:name=\"x\"/>V</"
                     "text:span><text:span><text:bookmark-end "
                     "text:name=\"x\"/>b</text:span></text:p></o>";
        QTest::newRow("other bookmark inside kept")
            << false
            << odf + "<text:p><text:bookmark-start text:name=\"x\"/>o<text:bookmark "
                     "text:name=\"y\"/>ld<text:bookmark-end text:name=\"x\"/></text:p></o>"
            << odf + "<text:p><text:bookmark-start "
                     "text:name=\"x\"/>V<text:bookmark "
                     "text:name=\"y\"/><text:bookmark-end "
                     "text:name=\"x\"/></text:p></o>";
        const QByteArray w =
            "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
            "xmlns:w14=\"urn:w14\" xmlns:mc=\"urn:mc\" mc:Ignorable=\"w14\">";
        QTest::newRow("Word: in a hyperlink, prefixes kept")
            << true
            << w + "<w:p w14:paraId=\"1\"><w:hyperlink><w:bookmarkStart w:id=\"0\" "
                   "w:name=\"X\"/><w:r><w:t>after</w:t></w:r></w:hyperlink><w:bookmarkEnd "
                   "w:id=\"0\"/></w:p></w:document>"
            << w + "<w:p w14:paraId=\"1\"><w:hyperlink><w:bookmarkStart w:id=\"0\" "
                   "w:name=\"X\"/><w:r><w:t "
                   "xml:space=\"preserve\">V</w:t></w:r><w:r><w:t>after</w:t></w:r></"
                   "w:hyperlink><w:bookmarkEnd w:id=\"0\"/></w:p></w:document>";
    }
    void replacesAnchorText() {
        QFETCH(bool, word);
        QFETCH(QByteArray, in);
        QFETCH(QByteArray, out);
        QSet<QString> filled;
        const QHash<QString, QString> values{{QStringLiteral("x"), QStringLiteral("V")}};
        const QByteArray got = word ? fillWordBookmarks(in, values, filled, QStringLiteral("p"))
                                    : fillOdfBookmarks(in, values, filled, QStringLiteral("p"));
        QCOMPARE(got, out + '\n');
        QCOMPARE(filled, QSet<QString>{QStringLiteral("x")});
    }

    // Anchors that cannot be replaced faithfully are refused, not mangled.
    void refusesBookmarksOutsideAParagraph() {
        const QHash<QString, QString> values{{QStringLiteral("x"), QStringLiteral("V")}};
        QSet<QString> filled;
        QVERIFY_THROWS_EXCEPTION(
            ELetterTemplateError,
            fillOdfBookmarks("<o xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
                             "<text:p><text:bookmark-start text:name=\"x\"/>a</text:p>"
                             "<text:p>b<text:bookmark-end text:name=\"x\"/></text:p></o>",
                             values, filled, QStringLiteral("p")));
        QVERIFY_THROWS_EXCEPTION(
            ELetterTemplateError,
            fillWordBookmarks("<w:body xmlns:w=\"http://schemas.openxmlformats.org/"
                              "wordprocessingml/2006/main\"><w:bookmarkStart w:id=\"1\" "
                              "w:name=\"x\"/><w:p/><w:bookmarkEnd w:id=\"1\"/></w:body>",
                              values, filled, QStringLiteral("p")));
    }

    // An independent reader: LibreOffice shows the values in the body in order,
    // and headers and footers in the printed page.
    void libreOfficeReadsTheLetter() {
        const QString office = libreOffice();
        if (office.isEmpty())
            QSKIP("LibreOffice (soffice) not installed: the independent reader is skipped");
        Record to = recipient();
        to[fStrasse] = QStringLiteral("Two  blanks\tTab <b>&");
        to[fNr] = QStringLiteral("1\nzweite Zeile");
        for (int road : {0, 1}) {
            LetterFolder app;
            app.setIni(senderIni(road, "1", "1"));
            Launches launches;
            const QString file = app.compose(launches, to);
            QTemporaryDir out;
            const QString txt =
                convert(office, file, QStringLiteral("txt:Text (encoded):UTF8"), out.path());
            QVERIFY2(!txt.isEmpty(), "LibreOffice did not convert the letter");
            QString text = QString::fromUtf8(fileBytes(txt));
            text.remove(QChar(0xFEFF));
            const QStringList lines = text.split(u'\n');
            const QStringList expected{
                QStringLiteral("Max Mustermann · Musterweg 12 · 12345 Musterstadt"),
                QStringLiteral("Erika Beispiel"),
                QStringLiteral("Two  blanks\tTab <b>& 1"),
                QStringLiteral("zweite Zeile"),
                QStringLiteral("51147 Köln"),
                QStringLiteral("Österreich"),
                QStringLiteral("Datum"),
                QStringLiteral("09.03.2024"),
                QStringLiteral("Betreff"),
                QStringLiteral("Sehr geehrte Frau Beispiel,"),
                QStringLiteral("Hier steht der Text Ihres Briefes."),
                QStringLiteral("Mit freundlichen Grüßen"),
            };
            QCOMPARE(lines.mid(0, expected.size()), expected);

            const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
            if (pdftotext.isEmpty())
                continue;
            const QString pdf = convert(office, file, QStringLiteral("pdf"), out.path());
            QVERIFY(!pdf.isEmpty());
            QProcess p;
            p.start(pdftotext, {pdf, QStringLiteral("-")});
            QVERIFY(p.waitForFinished(60000));
            const QString page = QString::fromUtf8(p.readAllStandardOutput()).simplified();
            for (const char* s : {"Max Mustermann Musterweg 12 · 12345 Musterstadt",
                                  "Telefon 030 1234567 · Telefax 030 1234568 · Mobil 0171 "
                                  "2345678 · E-Mail max@example.de",
                                  "Bankverbindung: Sparkasse (BLZ. 100 500 00) Konto-Nr. "
                                  "1234567890"})
                QVERIFY2(page.contains(QString::fromUtf8(s)), qPrintable(page));
        }
    }
};

QTEST_GUILESS_MAIN(TestLetter)
#include "tst_letter.moc"
