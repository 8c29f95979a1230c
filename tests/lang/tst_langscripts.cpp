#include "LangTestUtil.h"

#include "lang/Multilanguage.h"
#include "lang/PropertyRegistry.h"
#include "lang/Script.h"
#include "lang/Scripts.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

using namespace kalvendo;

namespace {

QString s(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const QStringList kLanguages{QStringLiteral("German"), QStringLiteral("English"),
                             QStringLiteral("French"), QStringLiteral("Spanish"),
                             QStringLiteral("Italian")};

QStringList scriptNamed(const QString& name) {
    if (name == u"form1")
        return scriptForm1();
    if (name == u"form2")
        return scriptForm2();
    return scriptForm3();
}

QStringList keysOf(const QStringList& selected) {
    QStringList keys;
    for (const QString& line : selected)
        keys << parseScriptLine(line).key;
    return keys;
}

template <typename T> T* make(QWidget* parent, const QString& name) {
    T* w = new T(parent);
    w->setObjectName(name);
    return w;
}

QString numbered(const char* stem, int n) {
    return QString::fromLatin1(stem) + QString::number(n);
}

// The main window's controls under their designer names, the way the main window builds them.
std::unique_ptr<QMainWindow> mainWindow() {
    auto w = std::make_unique<QMainWindow>();
    w->setObjectName(QStringLiteral("Form1"));
    const QList<QPair<const char*, QStringList>> menus{
        {"Programm1", {QStringLiteral("Einstellungen1"), QString(), QStringLiteral("Beenden1")}},
        {"Datensatz1",
         {QStringLiteral("NeuerDatensatz1"), QStringLiteral("Datensatzlschen1"),
          QStringLiteral("nderungenspeichern1"), QString(), QStringLiteral("Import1"),
          QStringLiteral("Export1"), QString(), QStringLiteral("SucheimInternet1"),
          QStringLiteral("SucheinDatenstzen1"), QString(), QStringLiteral("OutlookExport1"),
          QStringLiteral("AlsvCardspeichern1"), QStringLiteral("WindowsMobile1")}},
        {"Datenbank1",
         {QStringLiteral("Sichern1"), QStringLiteral("Wiederherstellen1"), QString(),
          QStringLiteral("Nummernaufbereiten1"), QString(), QStringLiteral("Drucken1")}},
        {"Hilfe1",
         {QStringLiteral("Hilfe2"), QString(), QStringLiteral("Errorlogsenden1"), QString(),
          QStringLiteral("Datenpacken1"), QString(), QStringLiteral("Info1")}},
    };
    for (const auto& [menuName, entries] : menus) {
        QMenu* menu = w->menuBar()->addMenu(QString());
        menu->setObjectName(QString::fromLatin1(menuName));
        for (const QString& entry : entries) {
            if (entry.isEmpty())
                menu->addSeparator();
            else
                menu->addAction(QString())->setObjectName(entry);
        }
    }
    QToolBar* bar = w->addToolBar(QString());
    bar->setObjectName(QStringLiteral("ToolBar1"));
    for (int n : {1, 2, 3, 5, 6, 7, 8, 9, 10})
        bar->addWidget(make<QToolButton>(bar, numbered("ToolButton", n)));
    auto* panel = make<QWidget>(bar, QStringLiteral("Panel1"));
    make<QLabel>(panel, QStringLiteral("Label13"));
    make<QLineEdit>(panel, QStringLiteral("Edit1"));
    make<QLabel>(panel, QStringLiteral("Label14"));
    make<QComboBox>(panel, QStringLiteral("ComboBox1"));
    bar->addWidget(panel);
    bar->addWidget(make<QToolButton>(bar, QStringLiteral("ToolButton4")));

    auto* central = new QWidget(w.get());
    for (int n = 1; n <= 15; ++n) {
        if (n != 13 && n != 14) // those two sit in the search panel
            make<QLabel>(central, numbered("Label", n));
    }
    for (int n = 1; n <= 14; ++n)
        make<QLineEdit>(central, numbered("DBEdit", n));
    make<QComboBox>(central, QStringLiteral("DBComboBox1"));
    for (int n = 1; n <= 4; ++n) {
        make<QPushButton>(central, numbered("Button", n));
        make<QToolButton>(central, numbered("SpeedButton", n));
    }
    auto* grid = make<QTableView>(central, QStringLiteral("DBAdvGrid1"));
    grid->setModel(new QStandardItemModel(0, 16, grid));
    w->setCentralWidget(central);

    auto* status = make<TStatusBar>(w.get(), QStringLiteral("StatusBar1"));
    status->addPanel(140, Qt::AlignCenter);
    status->addPanel(40, Qt::AlignCenter);
    status->addPanel(50);
    w->setStatusBar(status);
    return w;
}

std::unique_ptr<QWidget> settingsDialog() {
    auto w = std::make_unique<QDialog>();
    w->setObjectName(QStringLiteral("Form2"));
    for (int n = 1; n <= 4; ++n)
        make<QToolButton>(w.get(), numbered("SpeedButton", n));
    QGroupBox* pages[4];
    for (int n = 0; n < 4; ++n)
        pages[n] = make<QGroupBox>(w.get(), numbered("GroupBox", n + 2));
    for (int n = 1; n <= 31; ++n)
        make<QLabel>(pages[n <= 15 ? 0 : n <= 22 ? 1 : 2], numbered("Label", n));
    for (int n = 1; n <= 21; ++n)
        make<QLineEdit>(pages[n <= 15 ? 0 : n <= 18 ? 1 : n <= 20 ? 2 : 3], numbered("Edit", n));
    for (int n = 1; n <= 5; ++n) {
        make<QComboBox>(pages[n <= 3 ? 1 : 2], numbered("ComboBox", n));
        make<QCheckBox>(pages[n <= 2 ? 1 : 2], numbered("CheckBox", n));
    }
    make<QPushButton>(pages[3], QStringLiteral("Button1"));
    make<QPushButton>(pages[3], QStringLiteral("Button2"));
    make<QListWidget>(pages[3], QStringLiteral("ListBox1"));
    return w;
}

std::unique_ptr<QWidget> numberSearch() {
    auto w = std::make_unique<QDialog>();
    w->setObjectName(QStringLiteral("Form3"));
    auto* byName = make<QGroupBox>(w.get(), QStringLiteral("GroupBox1"));
    make<QLabel>(byName, QStringLiteral("Label1"));
    make<QLineEdit>(byName, QStringLiteral("Edit1"));
    make<QLabel>(byName, QStringLiteral("Label2"));
    make<QLineEdit>(byName, QStringLiteral("Edit2"));
    make<QPushButton>(byName, QStringLiteral("Button1"));
    auto* reverse = make<QGroupBox>(w.get(), QStringLiteral("GroupBox2"));
    make<QLabel>(reverse, QStringLiteral("Label3"));
    make<QLineEdit>(reverse, QStringLiteral("Edit3"));
    make<QPushButton>(reverse, QStringLiteral("Button2"));
    return w;
}

std::unique_ptr<QWidget> windowFor(const QString& script) {
    if (script == u"form1")
        return mainWindow();
    if (script == u"form2")
        return settingsDialog();
    return numberSearch();
}

void addScriptRows() {
    QTest::addColumn<QString>("script");
    for (const char* name : {"form1", "form2", "form3"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

} // namespace

class TestLangScripts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sections_data() { addScriptRows(); }
    void sections();
    void sameKeysInEverySection_data();
    void sameKeysInEverySection();
    void everyPropertyKeyApplies_data();
    void everyPropertyKeyApplies();
    void texts_data();
    void texts();
    void switchAllWindowsAndBack();
};

void TestLangScripts::sections() {
    QFETCH(QString, script);
    QStringList languages;
    ListLanguages(scriptNamed(script), languages);
    QCOMPARE(languages, kLanguages);
}

void TestLangScripts::sameKeysInEverySection_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("lines");
    // The main window's count is that of the keys its controls and messages need: 71 property
    // keys and 58 named strings.
    QTest::newRow("form1") << QStringLiteral("form1") << 129;
    QTest::newRow("form2") << QStringLiteral("form2") << 41;
    QTest::newRow("form3") << QStringLiteral("form3") << 8;
}

void TestLangScripts::sameKeysInEverySection() {
    QFETCH(QString, script);
    QFETCH(int, lines);
    const QStringList text = scriptNamed(script);
    const QStringList german = keysOf(selectLanguageLines(text, QStringLiteral("German")));
    QCOMPARE(german.size(), lines);
    QCOMPARE(QSet<QString>(german.begin(), german.end()).size(), german.size());

    for (const QString& language : kLanguages) {
        const QStringList selected = selectLanguageLines(text, language);
        const QStringList keys = keysOf(selected);
        for (const QString& key : german)
            QVERIFY2(keys.contains(key), qPrintable(language + u": missing " + key));
        for (const QString& key : keys)
            QVERIFY2(german.contains(key), qPrintable(language + u": extra '" + key + u'\''));
        for (qsizetype i = 0; i < keys.size(); ++i)
            QVERIFY2(keys.at(i) == german.at(i),
                     qPrintable(language + u": " + keys.at(i) + u" out of order"));
        for (const QString& line : selected)
            QVERIFY2(!parseScriptLine(line).value.isEmpty(),
                     qPrintable(language + u": empty text in " + line));
    }
}

void TestLangScripts::everyPropertyKeyApplies_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("language");
    for (const char* name : {"form1", "form2", "form3"})
        for (const QString& language : kLanguages)
            QTest::addRow("%s %s", name, qPrintable(language))
                << QString::fromLatin1(name) << language;
}

// Every property key must reach a control of its window, and no named string may hit one.
void TestLangScripts::everyPropertyKeyApplies() {
    QFETCH(QString, script);
    QFETCH(QString, language);
    const auto window = windowFor(script);
    for (const QString& line : selectLanguageLines(scriptNamed(script), language)) {
        const ScriptEntry e = parseScriptLine(line);
        const bool propertyKey = e.key.contains(u'.') || e.key == u"Caption";
        QVERIFY2(PropertyRegistry::standard().apply(window.get(), e.key, e.value) == propertyKey,
                 qPrintable(e.key));
    }
}

void TestLangScripts::texts_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    const QString f1 = QStringLiteral("form1");
    const QString f2 = QStringLiteral("form2");
    const QStringList allGroups{QStringLiteral("Alle Gruppen"), QStringLiteral("All groups"),
                                QStringLiteral("Tous les groupes"),
                                QStringLiteral("Todos los grupos"),
                                QStringLiteral("Tutti i gruppi")};
    for (int i = 0; i < kLanguages.size(); ++i) {
        for (const QString& f : {f1, f2})
            QTest::addRow("%s varGroup %s", qPrintable(f), qPrintable(kLanguages.at(i)))
                << f << kLanguages.at(i) << QStringLiteral("varGroup") << allGroups.at(i);
    }
    const QString de = QStringLiteral("German");
    const QString en = QStringLiteral("English");
    QTest::newRow("double colon") << f1 << de << QStringLiteral("Label8.Caption")
                                  << QStringLiteral("Telefax::");
    QTest::newRow("map hint") << f1 << de << QStringLiteral("SpeedButton4.Hint")
                              << QStringLiteral("Adresse auf der Karte zeigen");
    QTest::newRow("vcard menu") << f1 << QStringLiteral("Italian")
                                << QStringLiteral("AlsvCardspeichern1.Caption")
                                << s("Salva come vCard…");
    QTest::newRow("menu trailing blank") << f1 << de << QStringLiteral("OutlookExport1.Caption")
                                         << QStringLiteral("Outlook-Export ");
    QTest::newRow("bank trailing blank")
        << f1 << en << QStringLiteral("bank") << QStringLiteral("Bank account: ");
    QTest::newRow("spelling kept")
        << f1 << en << QStringLiteral("reporttitle") << QStringLiteral("Pintpreview");
    QTest::newRow("umlaut") << f1 << de << QStringLiteral("msgdeldatarecord")
                            << s("Aktuellen Datensatz wirklich löschen?");
    QTest::newRow("search fields")
        << f1 << de << QStringLiteral("ComboBox1.Items")
        << s("Name\r\nVorname\r\nStraße\r\nPLZ\r\nWohnort\r\nTelefon\r\nMobil\r\nE-Mail\r\n"
             "Definierbar");
    QTest::newRow("quote inside") << f1 << QStringLiteral("French")
                                  << QStringLiteral("StatusBar1.Panels[0].Text")
                                  << QStringLiteral("Nombre d'enregistrements:");
    QTest::newRow("caption prefix")
        << f2 << de << QStringLiteral("varCaption") << QStringLiteral("Einstellungen - ");
    QTest::newRow("italian trailing blank")
        << f2 << QStringLiteral("Italian") << QStringLiteral("Label4.Caption")
        << QStringLiteral("Via / NR.: ");
    QTest::newRow("reports")
        << f2 << en << QStringLiteral("ComboBox5.Items")
        << QStringLiteral("Address list 1\r\nAddress list 2\r\nBirthday list\r\nWeb list");
}

void TestLangScripts::texts() {
    QFETCH(QString, script);
    QFETCH(QString, language);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(lookUpString(selectLanguageLines(scriptNamed(script), language), key), value);
}

void TestLangScripts::switchAllWindowsAndBack() {
    // Created in program order: the main window, the settings dialog with the sync, the
    // number search.
    const auto form1 = mainWindow();
    auto* lng1 = new TMultilanguage(form1.get(), QStringLiteral("lng"));
    lng1->setScript(scriptForm1());
    lng1->Loaded();
    const auto form2 = settingsDialog();
    auto* lng2 = new TMultilanguage(form2.get(), QStringLiteral("lng"));
    new TMultilanguageSync(form2.get(), QStringLiteral("sync"));
    lng2->setScript(scriptForm2());
    lng2->Loaded();
    lng2->setLanguage(QStringLiteral("German"));
    const auto form3 = numberSearch();
    auto* lng3 = new TMultilanguage(form3.get(), QStringLiteral("Multilanguage1"));
    lng3->setScript(scriptForm3());
    lng3->Loaded(); // joins in the current language at once
    QCOMPARE(form3->windowTitle(), QStringLiteral("Suche im Internet"));

    const QList<QWidget*> windows{form1.get(), form2.get(), form3.get()};
    QList<QStringList> german;
    for (QWidget* w : windows)
        german << snapshotTexts(w);

    for (const QString& language : kLanguages.mid(1)) {
        lng2->setLanguage(language);
        for (int i = 0; i < windows.size(); ++i)
            QVERIFY2(snapshotTexts(windows.at(i)) != german.at(i),
                     qPrintable(language + u' ' + windows.at(i)->objectName()));
    }
    lng2->setLanguage(QStringLiteral("English"));
    auto* model = form1->findChild<QTableView*>(QStringLiteral("DBAdvGrid1"))->model();
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Last name"));
    QCOMPARE(form1->findChild<QAction*>(QStringLiteral("SucheimInternet1"))->text(),
             QStringLiteral("Internet search"));
    QCOMPARE(form1->findChild<TStatusBar*>()->panelText(0),
             QStringLiteral("Number of datarecords:"));
    QCOMPARE(form1->findChild<QToolButton*>(QStringLiteral("ToolButton9"))->toolTip(),
             QStringLiteral("Print (Strg+P)"));
    QCOMPARE(form1->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->itemText(8),
             QStringLiteral("Definably"));
    QCOMPARE(lng1->GetString(QStringLiteral("call")), QStringLiteral("Incoming call:"));
    QCOMPARE(lng3->Language(), QStringLiteral("English"));

    lng1->setLanguage(QStringLiteral("German"));
    for (int i = 0; i < windows.size(); ++i)
        QCOMPARE(snapshotTexts(windows.at(i)), german.at(i));
}

QTEST_MAIN(TestLangScripts)
#include "tst_langscripts.moc"
