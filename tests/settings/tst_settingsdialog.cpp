#include "capi/CapiBinding.h"
#include "capi/CapiInfo.h"
#include "common/CommandGuard.h"
#include "common/FileDialogs.h"
#include "common/IniFile.h"
#include "common/TextFile.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "settings/ui/DirectoryEdit.h"
#include "settings/ui/SettingsHost.h"
#include "settings/ui/TForm2.h"
#include "testsupport/Files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

// The main window as the dialog sees it: its search-field list, its group
// field list and its language engine (created first, as in the program).
class Host : public SettingsHost {
public:
    explicit Host(bool driverUsable) {
        QVERIFY(QDir().mkpath(data()));
        QVERIFY(QDir().mkpath(exeFolder()));
        putFile(data() + QStringLiteral("/group.txt"), "Familie\r\nFreunde\r\nArbeit\r\n");
        main.setObjectName(QStringLiteral("Form1"));
        search = new QComboBox(&main);
        search->setObjectName(QStringLiteral("ComboBox1"));
        groups = new QComboBox(&main);
        groups->setObjectName(QStringLiteral("DBComboBox1"));
        engine = new TMultilanguage(&main, QStringLiteral("lng"));
        engine->setScript(scriptForm1());
        QObject::connect(engine, &TMultilanguage::OnTranslate, engine,
                         [this]() { mainLanguages << engine->Language(); });
        engine->Loaded();
        mainLanguages.clear();

        UnloadCapi();
        qputenv("KALVENDO_CAPI_LIBRARY",
                driverUsable ? QByteArray(CAPISIM_LIBRARY) : QByteArray("/nonexistent/libcapi.so"));
        info = std::make_unique<TCapiInfo>();
    }

    QString applicationPath() const override { return m_dir.path() + u'/'; }
    QComboBox* searchFieldList() const override { return search; }
    IsdnStatus isdnStatus() const override {
        if (info->Error != 0)
            return {false, info->ErrorString};
        return {true, info->VersionText()};
    }
    QString executableFolder() const override { return exeFolder(); }
    void reloadGroupList() override {
        ++reloads;
        groups->clear();
        groups->addItems(readTextLines(file("group.txt")));
    }

    QString data() const { return m_dir.path() + QStringLiteral("/daten"); }
    QString exeFolder() const { return m_dir.path() + QStringLiteral("/bin"); }
    QString file(const char* name) const { return data() + u'/' + QString::fromLatin1(name); }

    QTemporaryDir m_dir;
    QWidget main;
    QComboBox* search = nullptr;
    QComboBox* groups = nullptr;
    TMultilanguage* engine = nullptr;
    std::unique_ptr<TCapiInfo> info;
    int reloads = 0;
    QStringList mainLanguages;
};

template <typename T> T* child(const QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (c == nullptr)
        qFatal("no control %s", name);
    return c;
}

// The user closes the dialog, which is shown first as in the program.
void showAndClose(TForm2& dialog) {
    dialog.show();
    dialog.close();
    QVERIFY(!dialog.isVisible());
}

// The user picks an entry of a list.
void pick(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

QByteArray userSection(const QByteArray& name = {}) {
    return "[user]\r\nname=" + name +
           "\r\nfirstname=\r\ncompany=\r\nstreet=\r\nzip=\r\ncity=\r\ncountry=\r\ntel=\r\n"
           "fax=\r\nmobil=\r\nmail=\r\nwebsite=\r\nbank=\r\ncode=\r\naccount=\r\n";
}

// A complete file in the dialog's layout.
QByteArray fullFile(const QByteArray& preferences, const QByteArray& rest) {
    return "[preferences]\r\n" + preferences + "\r\n" + userSection("M\xc3\xbcller") + "\r\n" +
           rest;
}

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

    QStringList m_errors; // "Class: message" of every error that reached the handler

    std::unique_ptr<TForm2> open(Host& host) { return std::make_unique<TForm2>(host); }

private Q_SLOTS:
    void init() {
        m_errors.clear();
        setApplicationExceptionHandler([this](QObject*, const std::exception& e) {
            m_errors << exceptionClassName(e) + QStringLiteral(": ") + exceptionMessage(e);
        });
    }
    void cleanup() {
        setApplicationExceptionHandler({});
        setFileDialogAnswerer({});
    }

    void firstCloseLaysOutTheWholeFile() {
        Host host(true);
        auto dialog = open(host);
        showAndClose(*dialog);
        const QByteArray app = host.applicationPath().toUtf8();
        QCOMPARE(readBytes(host.file("ab.ini")),
                 "[preferences]\r\nlanguage=\r\ndbpath=\r\ngroup=\r\noffice=0\r\ndefinably=\r\n"
                 "isdn=0\r\nisdnlog=0\r\nisdncp=0\r\nisdnpath=" +
                     app + "daten\r\n\r\n" + userSection() +
                     "\r\n[letter]\r\nadresses=\r\ngreetings=\r\nbank=0\r\ncountry=0\r\n\r\n"
                     "[export]\r\nformat=0\r\nprint=0\r\n\r\n[pdf]\r\ntitle=\r\nauthor=\r\n");
        QCOMPARE(readBytes(host.file("group.txt")), QByteArray("Familie\r\nFreunde\r\nArbeit\r\n"));
        QCOMPARE(host.reloads, 1);
        QCOMPARE(m_errors, QStringList());
    }

    // Every key is rewritten in place with the value it had; a legacy group
    // file comes back as UTF-8 with the same groups in the same order.
    void closeWithoutChangeRewritesEverything() {
        Host host(true);
        const QByteArray canonical = fullFile(
            "language=German\r\ndbpath=/srv/backup\r\ngroup=Gr\xc3\xbc"
            "ne\r\noffice=1\r\ndefinably=Kunden-Nr.:\r\nisdn=1\r\nisdnlog=1\r\nisdncp=0\r\n"
            "isdnpath=/var/log/isdn\r\n",
            "[letter]\r\nadresses=Liebe Freunde,\r\ngreetings=Gru\xc3\x9f\r\nbank=1\r\n"
            "country=0\r\n\r\n[export]\r\nformat=2\r\nprint=3\r\n\r\n[pdf]\r\ntitle=Liste\r\n"
            "author=A. M.\r\n\r\n[search]\r\nnumber=https://example.org/?q=%variable:name%\r\n");
        QByteArray spaced;
        for (const QByteArray& line : canonical.split('\n')) {
            QByteArray l = line;
            if (!l.startsWith('[') && !l.startsWith("number=") && l.contains('='))
                l.replace(l.indexOf('='), 1, " = ");
            spaced += l + (line.endsWith('\r') ? "\n" : "");
        }
        putFile(host.file("ab.ini"), spaced);
        putFile(host.file("group.txt"), "Familie\nGr\xfcne\nArbeit");

        auto dialog = open(host);
        QCOMPARE(child<QComboBox>(*dialog, "ComboBox2")->currentText(), QStringLiteral("Grüne"));
        QCOMPARE(child<QLineEdit>(*dialog, "Edit1")->text(), QStringLiteral("Müller"));
        showAndClose(*dialog);
        QCOMPARE(readBytes(host.file("ab.ini")), canonical);
        QCOMPARE(readBytes(host.file("group.txt")),
                 QByteArray("Familie\r\nGr\xc3\xbcne\r\nArbeit\r\n"));
        QCOMPARE(host.groups->count(), 3);
        QCOMPARE(m_errors, QStringList());
    }

    void isdnBoxes_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("driver");
        QTest::addColumn<QString>("ticked");  // ISDN, log, search offer: "1" ticked
        QTest::addColumn<QString>("enabled"); // the same three, then the log folder
        QTest::addColumn<QString>("written"); // the three keys as stored by the close
        QTest::newRow("no keys") << QByteArray() << true << QStringLiteral("000")
                                 << QStringLiteral("1000") << QStringLiteral("000");
        QTest::newRow("isdn only") << QByteArray("isdn=1\r\n") << true << QStringLiteral("100")
                                   << QStringLiteral("1111") << QStringLiteral("100");
        QTest::newRow("log implies isdn")
            << QByteArray("isdn=0\r\nisdnlog=1\r\n") << true << QStringLiteral("110")
            << QStringLiteral("1111") << QStringLiteral("110");
        QTest::newRow("search offer implies isdn")
            << QByteArray("isdn=0\r\nisdncp=5\r\n") << true << QStringLiteral("101")
            << QStringLiteral("1111") << QStringLiteral("101");
        QTest::newRow("driver missing")
            << QByteArray("isdn=1\r\nisdnlog=1\r\nisdncp=1\r\n") << false << QStringLiteral("000")
            << QStringLiteral("0000") << QStringLiteral("000");
    }
    void isdnBoxes() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, driver);
        QFETCH(QString, ticked);
        QFETCH(QString, enabled);
        QFETCH(QString, written);
        Host host(driver);
        putFile(host.file("ab.ini"), "[preferences]\r\n" + stored);
        auto dialog = open(host);
        QCheckBox* boxes[3] = {child<QCheckBox>(*dialog, "CheckBox3"),
                               child<QCheckBox>(*dialog, "CheckBox4"),
                               child<QCheckBox>(*dialog, "CheckBox5")};
        QString isTicked, isEnabled;
        for (QCheckBox* b : boxes) {
            isTicked += b->isChecked() ? u'1' : u'0';
            isEnabled += b->isEnabled() ? u'1' : u'0';
        }
        isEnabled += child<DirectoryEdit>(*dialog, "AdvDirectoryEdit2")->isEnabled() ? u'1' : u'0';
        QCOMPARE(isTicked, ticked);
        QCOMPARE(isEnabled, enabled);
        const QString label = child<QLabel>(*dialog, "Label30")->text();
        if (driver) {
            QCOMPARE(label, QStringLiteral("CAPI: 2.0  Version: 0.5"));
        } else {
            QCOMPARE(label, host.info->ErrorString);
            QVERIFY2(label.contains(QStringLiteral("not found")), qPrintable(label));
        }
        showAndClose(*dialog);
        const IniFile ab(host.file("ab.ini"));
        QString result;
        for (const char* key : {"isdn", "isdnlog", "isdncp"})
            result += ab.readString(QStringLiteral("preferences"), QString::fromLatin1(key), {});
        QCOMPARE(result, written);
    }

    // The user's clicks follow the same rules as the loading.
    void isdnBoxClicks() {
        Host host(true);
        putFile(host.file("ab.ini"), "[preferences]\r\nisdn=1\r\nisdnlog=1\r\nisdncp=1\r\n");
        auto dialog = open(host);
        auto* isdn = child<QCheckBox>(*dialog, "CheckBox3");
        auto* log = child<QCheckBox>(*dialog, "CheckBox4");
        auto* offer = child<QCheckBox>(*dialog, "CheckBox5");
        auto* folder = child<DirectoryEdit>(*dialog, "AdvDirectoryEdit2");
        dialog->show();
        QVERIFY(log->isChecked() && offer->isChecked());
        isdn->click();
        QVERIFY(!log->isChecked() && !offer->isChecked());
        QVERIFY(!log->isEnabled() && !offer->isEnabled() && !folder->isEnabled());
        isdn->click();
        QVERIFY(log->isEnabled() && offer->isEnabled() && folder->isEnabled());
        QVERIFY(!log->isChecked() && !offer->isChecked());
        log->click();
        QVERIFY(log->isChecked() && isdn->isChecked());
        log->click();
        QVERIFY(!log->isChecked() && isdn->isChecked());
    }

    void storedValuesShown_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("letter bank 2 shows ticked")
            << QByteArray("[letter]\r\nbank=2\r\n") << QByteArray("bank=1\r\n");
        QTest::newRow("format out of range")
            << QByteArray("[export]\r\nformat=7\r\n") << QByteArray("format=-1\r\n");
        QTest::newRow("office out of range")
            << QByteArray("[preferences]\r\noffice=-3\r\n") << QByteArray("office=-1\r\n");
        QTest::newRow("isdnpath kept")
            << QByteArray("[preferences]\r\nisdnpath=/x/y\r\n") << QByteArray("isdnpath=/x/y\r\n");
    }
    void storedValuesShown() {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, written);
        Host host(true);
        putFile(host.file("ab.ini"), file);
        auto dialog = open(host);
        showAndClose(*dialog);
        QVERIFY2(readBytes(host.file("ab.ini")).contains(QByteArray("\n" + written)),
                 readBytes(host.file("ab.ini")).constData());
    }

    void typedListText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("format");
        QTest::newRow("matches no entry") << QStringLiteral("Word-Datei") << -1;
        QTest::newRow("an entry's text") << QStringLiteral("Csv-Dateien   (*.csv)") << 2;
        QTest::newRow("emptied") << QString() << -1;
    }
    void typedListText() {
        QFETCH(QString, text);
        QFETCH(int, format);
        Host host(true);
        putFile(host.file("ab.ini"), "[export]\r\nformat=1\r\n");
        auto dialog = open(host);
        auto* box = child<QComboBox>(*dialog, "ComboBox4");
        QCOMPARE(box->currentIndex(), 1);
        box->setEditText(text);
        showAndClose(*dialog);
        QVERIFY(readBytes(host.file("ab.ini"))
                    .contains(QByteArray("format=" + QByteArray::number(format) + "\r\n")));
    }

    void displayedGroup_data() {
        QTest::addColumn<QByteArray>("language");
        QTest::addColumn<QByteArray>("group");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty means all groups")
            << QByteArray("German") << QByteArray() << QStringLiteral("Alle Gruppen");
        QTest::newRow("a group") << QByteArray("German") << QByteArray("Arbeit")
                                 << QStringLiteral("Arbeit");
        QTest::newRow("other case")
            << QByteArray("German") << QByteArray("FREUNDE") << QStringLiteral("Freunde");
        QTest::newRow("English caption under German")
            << QByteArray("German") << QByteArray("All groups") << QString();
        QTest::newRow("French caption under French")
            << QByteArray("French") << QByteArray("Tous les groupes")
            << QStringLiteral("Tous les groupes");
        QTest::newRow("unknown group") << QByteArray("German") << QByteArray("Verein") << QString();
    }
    void displayedGroup() {
        QFETCH(QByteArray, language);
        QFETCH(QByteArray, group);
        QFETCH(QString, shown);
        Host host(true);
        putFile(host.file("ab.ini"),
                "[preferences]\r\nlanguage=" + language + "\r\ngroup=" + group + "\r\n");
        auto dialog = open(host);
        auto* box = child<QComboBox>(*dialog, "ComboBox2");
        QCOMPARE(box->count(), 4);
        QCOMPARE(box->currentText(), shown);
        QCOMPARE(box->currentIndex() < 0, shown.isEmpty());
        showAndClose(*dialog);
        QVERIFY(readBytes(host.file("ab.ini"))
                    .contains(QByteArray("\ngroup=" + shown.toUtf8() + "\r\n")));
    }

    void startupLanguage_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("mainLanguages");
        QTest::addColumn<QString>("firstSearchField");
        QTest::newRow("English") << QByteArray("language=English\r\n") << QStringLiteral("English")
                                 << QStringLiteral("Preferences - User data")
                                 << QStringList{QStringLiteral("German"), QStringLiteral("English")}
                                 << QStringLiteral("Last Name");
        QTest::newRow("other case")
            << QByteArray("language=iTALIAN\r\n") << QStringLiteral("Italian")
            << QStringLiteral("Impostazioni - Dati personali")
            << QStringList{QStringLiteral("German"), QStringLiteral("Italian")}
            << QStringLiteral("Cognome");
        // The main window keeps the German texts; every message reads empty.
        QTest::newRow("missing") << QByteArray() << QString() << QStringLiteral("Nutzerdaten")
                                 << QStringList{QStringLiteral("German"), QString()}
                                 << QStringLiteral("Name");
        QTest::newRow("not in the script")
            << QByteArray("language=Klingon\r\n") << QString() << QStringLiteral("Nutzerdaten")
            << QStringList{QStringLiteral("German"), QString()} << QStringLiteral("Name");
    }
    void startupLanguage() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, listed);
        QFETCH(QString, caption);
        QFETCH(QStringList, mainLanguages);
        QFETCH(QString, firstSearchField);
        Host host(true);
        putFile(host.file("ab.ini"), "[preferences]\r\n" + stored);
        auto dialog = open(host);
        QCOMPARE(host.mainLanguages, mainLanguages);
        auto* list = child<QComboBox>(*dialog, "ComboBox1");
        QCOMPARE(list->count(), 5);
        QCOMPARE(list->currentText(), listed);
        QCOMPARE(dialog->windowTitle(), caption);
        QCOMPARE(host.engine->GetString(QStringLiteral("errormsg")).isEmpty(), listed.isEmpty());
        QCOMPARE(host.search->itemText(0), firstSearchField);
        showAndClose(*dialog);
        QVERIFY(readBytes(host.file("ab.ini"))
                    .contains(QByteArray("language=" + listed.toUtf8() + "\r\n")));
        QCOMPARE(m_errors, QStringList());
    }

    void switchingLanguageKeepsChoices() {
        Host host(true);
        putFile(host.file("ab.ini"), "[preferences]\r\nlanguage=German\r\n[export]\r\nprint=2\r\n");
        auto dialog = open(host);
        host.search->setCurrentIndex(3);
        auto* reports = child<QComboBox>(*dialog, "ComboBox5");
        QCOMPARE(reports->currentText(), QStringLiteral("Geburtstagsliste"));
        host.mainLanguages.clear();

        pick(child<QComboBox>(*dialog, "ComboBox1"), 2);
        QCOMPARE(host.mainLanguages, QStringList{QStringLiteral("French")});
        QCOMPARE(host.search->currentIndex(), 3);
        QCOMPARE(host.search->currentText(), QStringLiteral("Code postal"));
        QCOMPARE(reports->currentIndex(), 2);
        QCOMPARE(reports->currentText(), QStringLiteral("Liste d'anniversaire"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Préférences - Programme"));
        QCOMPARE(child<QComboBox>(*dialog, "ComboBox1")->currentText(), QStringLiteral("French"));
        showAndClose(*dialog);
        QVERIFY(readBytes(host.file("ab.ini")).contains("language=French\r\n"));
        QVERIFY(readBytes(host.file("ab.ini")).contains("print=2\r\n"));
    }

    void pageSwitching() {
        Host host(true);
        putFile(host.file("ab.ini"), "[preferences]\r\nlanguage=German\r\ngroup=Freunde\r\n");
        auto dialog = open(host);
        dialog->show();
        const char* pages[4] = {"GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5"};
        const char* buttons[4] = {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"};
        const QString captions[4] = {QStringLiteral("Einstellungen - Nutzerdaten"),
                                     QStringLiteral("Einstellungen - Programm"),
                                     QStringLiteral("Einstellungen - Export/ISDN"),
                                     QStringLiteral("Einstellungen - Gruppen")};
        for (int i : {2, 3, 0, 1}) {
            child<QToolButton>(*dialog, buttons[i])->click();
            QCOMPARE(dialog->windowTitle(), captions[i]);
            for (int j = 0; j < 4; ++j)
                QCOMPARE(child<QGroupBox>(*dialog, pages[j])->isVisible(), i == j);
        }

        // Opening the "Programm" page reads group.txt and the stored group
        // again, replacing a choice that was not stored.
        auto* shown = child<QComboBox>(*dialog, "ComboBox2");
        shown->setEditText(QStringLiteral("getippt"));
        putFile(host.file("group.txt"), "Neu\r\nFreunde\r\n");
        putFile(host.file("ab.ini"), "[preferences]\r\nlanguage=German\r\ngroup=neu\r\n");
        child<QToolButton>(*dialog, "SpeedButton2")->click();
        QCOMPARE(shown->count(), 3);
        QCOMPARE(shown->currentText(), QStringLiteral("Neu"));

        // The page in front stays in front across a close.
        showAndClose(*dialog);
        dialog->show();
        QVERIFY(child<QGroupBox>(*dialog, "GroupBox3")->isVisible());
        QCOMPARE(dialog->windowTitle(), captions[1]);
    }

    void groupEditor() {
        Host host(true);
        auto dialog = open(host);
        dialog->show();
        auto* edit = child<QLineEdit>(*dialog, "Edit21");
        auto* add = child<QPushButton>(*dialog, "Button1");
        auto* remove = child<QPushButton>(*dialog, "Button2");
        auto* list = child<QListWidget>(*dialog, "ListBox1");
        auto items = [list]() {
            QStringList out;
            for (int i = 0; i < list->count(); ++i)
                out << list->item(i)->text();
            return out;
        };

        add->click(); // empty edit: nothing
        edit->setText(QStringLiteral(" Verein "));
        add->click();
        QCOMPARE(edit->text(), QString());
        edit->setText(QStringLiteral(" Verein "));
        add->click();
        list->clearSelection();
        list->setCurrentRow(-1);
        remove->click(); // nothing selected: nothing
        QCOMPARE(items(), (QStringList{QStringLiteral("Familie"), QStringLiteral("Freunde"),
                                       QStringLiteral("Arbeit"), QStringLiteral(" Verein "),
                                       QStringLiteral(" Verein ")}));
        list->setCurrentRow(0);
        remove->click();
        // Only the close stores the list.
        QCOMPARE(readBytes(host.file("group.txt")), QByteArray("Familie\r\nFreunde\r\nArbeit\r\n"));
        QCOMPARE(host.reloads, 0);

        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(readBytes(host.file("group.txt")),
                 QByteArray("Freunde\r\nArbeit\r\n Verein \r\n Verein \r\n"));
        QCOMPARE(host.reloads, 1);
        QCOMPARE(host.groups->itemText(2), QStringLiteral(" Verein "));
    }

    // Text pasted with line breaks stays one value and one group.
    void pastedLineBreaks() {
        Host host(true);
        auto dialog = open(host);
        child<QLineEdit>(*dialog, "Edit17")->setText(QStringLiteral("Hallo\n[export]\nformat=3"));
        child<QLineEdit>(*dialog, "Edit21")->setText(QStringLiteral("Neue\r\nGruppe"));
        child<QPushButton>(*dialog, "Button1")->click();
        showAndClose(*dialog);
        const IniFile ab(host.file("ab.ini"));
        QCOMPARE(ab.readString(QStringLiteral("letter"), QStringLiteral("adresses"), {}),
                 QStringLiteral("Hallo [export] format=3"));
        QCOMPARE(ab.readInteger(QStringLiteral("export"), QStringLiteral("format"), -9), 0);
        QVERIFY(readBytes(host.file("group.txt")).endsWith("Arbeit\r\nNeue Gruppe\r\n"));
    }

    void refusedWriteIsReportedAndNothingElseIsDone() {
        Host host(true);
        const QByteArray before = "[preferences]\r\nlanguage=German\r\n";
        putFile(host.file("ab.ini"), before);
        QFile::setPermissions(host.file("ab.ini"), QFileDevice::ReadOwner);
        auto dialog = open(host);
        dialog->show();
        child<QLineEdit>(*dialog, "Edit21")->setText(QStringLiteral("Neu"));
        child<QPushButton>(*dialog, "Button1")->click();
        showAndClose(*dialog);
        QCOMPARE(m_errors,
                 QStringList{QStringLiteral("EIniFileException: In ") + host.file("ab.ini") +
                             QStringLiteral(" kann nicht geschrieben werden")});
        QCOMPARE(readBytes(host.file("ab.ini")), before);
        QCOMPARE(readBytes(host.file("group.txt")), QByteArray("Familie\r\nFreunde\r\nArbeit\r\n"));
        QCOMPARE(host.reloads, 0);
        // The values stay in the dialog; the next close stores them.
        QFile::setPermissions(host.file("ab.ini"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        showAndClose(*dialog);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(readBytes(host.file("group.txt")).endsWith("Neu\r\n"));
        QCOMPARE(host.reloads, 1);
    }

    void badSideFiles() {
        Host host(true);
        putFile(host.file("ab.ini"),
                "\xff\xfe garbage\r\n[preferences\r\nlanguage=English\r\n=\r\nno equals\r\n"
                "[user]\r\nname\r\nname==x\r\n");
        QFile::remove(host.file("group.txt"));
        putFile(host.exeFolder() + QStringLiteral("/adslocal.cfg"),
                "[SETTINGS]\r\nANSI_CHAR_SET=GERMAN\r\nOEM_CHAR_SET=GERMAN850\r\n");
        auto dialog = open(host);
        QCOMPARE(m_errors, QStringList());
        QCOMPARE(child<QComboBox>(*dialog, "ComboBox1")->currentText(), QStringLiteral("English"));
        QCOMPARE(child<QLineEdit>(*dialog, "Edit1")->text(), QStringLiteral("=x"));
        QCOMPARE(child<QLabel>(*dialog, "Label24")->text(), QStringLiteral("GERMAN"));
        QCOMPARE(child<QLabel>(*dialog, "Label25")->text(), QStringLiteral("GERMAN850"));
        QCOMPARE(child<QListWidget>(*dialog, "ListBox1")->count(), 0);
        showAndClose(*dialog);
        const QByteArray out = readBytes(host.file("ab.ini"));
        // A legacy file is written back as UTF-8, with every line it had.
        QVERIFY(out.startsWith("\xc3\xbf\xc3\xbe garbage\r\n[preferences\r\nlanguage=English\r\n"
                               "=\r\nno equals\r\ndbpath=\r\n"));
        QVERIFY(out.contains("[user]\r\nname\r\nname==x\r\nfirstname=\r\n"));
        // A missing group file is created by the close.
        QVERIFY(QFile::exists(host.file("group.txt")));
        QCOMPARE(host.reloads, 1);

        // Groups that are there but unreadable are not replaced by an empty list.
        dialog.reset();
        Host other(true);
        QFile::remove(other.file("group.txt"));
        QVERIFY(QDir().mkpath(other.file("group.txt")));
        auto second = open(other);
        QCOMPARE(m_errors.size(), 1);
        QVERIFY(m_errors.at(0).startsWith(QStringLiteral("EInOutError: ")));
        showAndClose(*second);
        QVERIFY(QFileInfo(other.file("group.txt")).isDir());
        QVERIFY(readBytes(other.file("ab.ini")).contains("isdnpath="));
    }

    // Unknown lines of the dialog's script are skipped; the list follows the
    // sections of the new script.
    void scriptWithGarbageLines() {
        Host host(true);
        putFile(host.file("ab.ini"), "[preferences]\r\nlanguage=German\r\n");
        auto dialog = open(host);
        dialog->engine()->setScript(
            {QStringLiteral("[German]"), QStringLiteral("Label1.Caption = 'Nachname:'"),
             QStringLiteral("just text"), QStringLiteral("NoSuchControl.Caption = 'x'"),
             QStringLiteral("Label2.NoSuchProperty = 'y'"), QStringLiteral("= 'z'"),
             QStringLiteral("varCaption = 'Optionen - '"), QStringLiteral("[Plattdeutsch]"),
             QStringLiteral("Label1.Caption = 'Naam:'")});
        QCOMPARE(child<QLabel>(*dialog, "Label1")->text(), QStringLiteral("Nachname:"));
        QCOMPARE(child<QLabel>(*dialog, "Label2")->text(), QStringLiteral("Vorname:"));
        dialog->updatelanguages();
        auto* list = child<QComboBox>(*dialog, "ComboBox1");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentText(), QStringLiteral("German"));
        pick(list, 1);
        QCOMPARE(child<QLabel>(*dialog, "Label1")->text(), QStringLiteral("Naam:"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Programm"));
        QCOMPARE(m_errors, QStringList());
    }

    void folderBrowser() {
        Host host(true);
        auto dialog = open(host);
        auto* folder = child<DirectoryEdit>(*dialog, "AdvDirectoryEdit1");
        folder->setText(QStringLiteral("/start"));
        QString caption, start, answer = QStringLiteral("/srv/sicherung");
        setFileDialogAnswerer([&](const FileDialogRequest& r) {
            caption = r.caption;
            start = r.start;
            return r.kind == FileDialogKind::Folder ? answer : QStringLiteral("<not a folder>");
        });
        folder->browseButton()->click();
        QCOMPARE(caption, QStringLiteral("Select Directory"));
        QCOMPARE(start, QStringLiteral("/start"));
        QCOMPARE(folder->text(), QStringLiteral("/srv/sicherung"));
        answer.clear(); // cancelled
        folder->browseButton()->click();
        QCOMPARE(folder->text(), QStringLiteral("/srv/sicherung"));
        showAndClose(*dialog);
        QVERIFY(readBytes(host.file("ab.ini")).contains("dbpath=/srv/sicherung\r\n"));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
